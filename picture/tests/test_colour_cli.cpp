// stitchara-cli convert (colour options), rescale and deskew, run as a user
// runs them: exit codes and the pictures they leave.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "picture/image_store.h"
#include "picture/picture.h"

namespace {

class ColourCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* build = std::getenv("STITCHARA_BUILD_DIR");
        tool_ = build ? std::string(build) + "/bin/stitchara-cli"
                      : AppDirectory('/') + "../bin/stitchara-cli";
        if (::access(tool_.c_str(), X_OK) != 0) GTEST_SKIP() << "no " << tool_;
        char pattern[] = "/tmp/stitchara-colour-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        // A 24-bit picture with a gradient, written as BMP.
        CPicture picture;
        ASSERT_TRUE(picture.Create(ptTrueColor24, 40, 30, 0, nullptr, 3780, 3780, kStoreMemory));
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x)
                picture.SetPixelValue(x, y, MakeRgb(std::uint8_t(x * 6), std::uint8_t(y * 8), 99));
        input_ = dir_ + "/in.bmp";
        std::FILE* f = std::fopen(input_.c_str(), "wb");
        ASSERT_TRUE(f);
        ASSERT_TRUE(picture.WriteBmp(f));
        std::fclose(f);
    }
    void TearDown() override {
        if (!dir_.empty()) std::system(("rm -rf '" + dir_ + "'").c_str());
    }
    // Exit status of the tool; its stdout goes to out_.
    int Tool(const std::vector<std::string>& args) {
        std::string command = "'" + tool_ + "'";
        for (const auto& a : args) command += " '" + a + "'";
        command += " --quiet >'" + dir_ + "/.out' 2>/dev/null </dev/null";
        int raw = std::system(command.c_str());
        std::ifstream in(dir_ + "/.out");
        std::stringstream s;
        s << in.rdbuf();
        out_ = s.str();
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    // The "type=... width=... height=..." part of info's line.
    std::string Info(const std::string& path) {
        if (Tool({"info", path}) != 0) return "";
        return out_.substr(0, out_.find(" xdpi"));
    }
    std::string tool_, dir_, input_, out_;
};

}  // namespace

TEST_F(ColourCliTest, ConvertTakesTypeModePatternAndMatrix) {
    const std::string out = dir_ + "/out.bmp";
    EXPECT_EQ(Tool({"convert", input_, out, "--type", "bw", "--mode", "3", "--pattern", "1",
                    "--matrix", "8"}), 0);
    EXPECT_EQ(Info(out), "type=BlackWhite width=40 height=30");
    EXPECT_EQ(Tool({"convert", input_, out, "--type", "color256", "--mode", "1"}), 0);
    EXPECT_EQ(Info(out), "type=Color256 width=40 height=30");
    EXPECT_EQ(Tool({"convert", input_, out, "--type", "gray16"}), 0);
    EXPECT_EQ(Info(out), "type=Gray16 width=40 height=30");
    // A pair the converter refuses fails with exit status 1.
    const std::string bw = dir_ + "/bw.bmp";
    ASSERT_EQ(Tool({"convert", input_, bw, "--type", "bw"}), 0);
    EXPECT_EQ(Tool({"convert", bw, out, "--type", "bw", "--mode", "2"}), 1);
}

TEST_F(ColourCliTest, RescaleAndDeskew) {
    const std::string out = dir_ + "/out.bmp";
    EXPECT_EQ(Tool({"rescale", input_, out, "--size", "81x7"}), 0);
    EXPECT_EQ(Info(out), "type=TrueColor24 width=81 height=7");
    EXPECT_EQ(Tool({"rescale", input_, out, "--size", "0x7"}), 2);
    EXPECT_EQ(Tool({"rescale", input_, out, "--size", "12"}), 2);

    // A tilted line grows the picture; a vertical one leaves it as it is.
    EXPECT_EQ(Tool({"deskew", input_, out, "--thumbs", "20,2,24,28"}), 0);
    EXPECT_EQ(Info(out), "type=TrueColor24 width=44 height=35");
    EXPECT_EQ(Tool({"deskew", input_, out, "--thumbs", "20,2,20,28"}), 0);
    EXPECT_EQ(Info(out), "type=TrueColor24 width=40 height=30");
    EXPECT_EQ(Tool({"deskew", input_, out, "--thumbs", "20,2,24"}), 2);
}
