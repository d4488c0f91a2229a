// stitchara-cli transform as a user runs it: each --op turns the pixels the
// right way, ".vdl" goes through the document's save, bad use exits 2.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "document/import_export.h"
#include "picture/picture.h"

namespace {

class TransformCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* build = std::getenv("STITCHARA_BUILD_DIR");
        tool_ = std::string(build ? build : "build") + "/bin/stitchara-cli";
        if (::access(tool_.c_str(), X_OK) != 0) GTEST_SKIP() << "no " << tool_;
        char pattern[] = "/tmp/stitchara-transform-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        if (!dir_.empty()) std::system(("rm -rf '" + dir_ + "'").c_str());
    }
    int Tool(const std::vector<std::string>& args) {
        std::string command = "'" + tool_ + "'";
        for (const auto& a : args) command += " '" + a + "'";
        command += " >/dev/null 2>&1 </dev/null";
        const int raw = std::system(command.c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    // The blue, green and red bytes of pixel (x, y) of a 24-bit picture.
    static std::uint32_t At(CPicture* p, int x, int y) {
        std::uint8_t px[4] = {};
        p->ReadRow(x, x, y, px);
        return px[0] | (px[1] << 8) | (std::uint32_t(px[2]) << 16);
    }
    std::string tool_, dir_;
};

}  // namespace

TEST_F(TransformCliTest, EveryOperationAndItsErrors) {
    const int w = 9, h = 4;
    CPicture in;
    ASSERT_TRUE(in.Create(ptTrueColor24, w, h, 0, nullptr, 3780, 3780, kStoreAny));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) in.SetPixelValue(x, y, MakeRgb(std::uint8_t(x * 20), std::uint8_t(y * 50), 7));
    const std::string source = dir_ + "/in.bmp";
    ASSERT_TRUE(WriteImageFile(source, &in));

    struct Case {
        const char* op;
        int width;
        int fromX, fromY;  // source pixel of result pixel (0, 0)
    };
    const Case cases[] = {{"mirror-h", w, w - 1, 0},   {"mirror-v", w, 0, h - 1},
                          {"mirror-d", w, w - 1, h - 1}, {"rotate-left", h, w - 1, 0},
                          {"rotate-right", h, 0, h - 1}, {"rotate-half", w, w - 1, h - 1}};
    for (const Case& c : cases) {
        for (const char* ext : {".png", ".vdl"}) {
            const std::string out = dir_ + "/out" + ext;
            ASSERT_EQ(Tool({"transform", source, out, "--op", c.op, "--quiet"}), 0) << c.op;
            std::unique_ptr<CPicture> result(ReadImageFile(out, false));
            ASSERT_TRUE(result) << c.op << ext;
            EXPECT_EQ(result->GetWidth(), c.width) << c.op;
            EXPECT_EQ(At(result.get(), 0, 0), At(&in, c.fromX, c.fromY)) << c.op << ext;
        }
    }
    EXPECT_EQ(Tool({"transform", source, dir_ + "/x.png", "--op", "spin"}), 2);
    EXPECT_EQ(Tool({"transform", source, dir_ + "/x.png"}), 2);
    EXPECT_EQ(Tool({"transform", source, "--op", "mirror-h"}), 2);
    EXPECT_EQ(Tool({"transform", dir_ + "/absent.bmp", dir_ + "/x.png", "--op", "mirror-h"}), 1);
}
