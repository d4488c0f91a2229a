// stitchara-cli formats, info and convert, run as a user runs them: exit
// codes, the info line and the files they leave.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "document/import_export.h"
#include "document/tests/test_import_export_support.h"
#include "picture/picture.h"

namespace {

// STITCHARA_BUILD_DIR/bin/stitchara-cli, else bin/ of the build directory
// this test runs from (build/document/document_tests).
std::string ToolPath() {
    if (const char* build = std::getenv("STITCHARA_BUILD_DIR"))
        return std::string(build) + "/bin/stitchara-cli";
    char self[4096];
    ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return "stitchara-cli";
    std::string path(self, std::size_t(n));
    path = path.substr(0, path.rfind('/'));  // build/document
    path = path.substr(0, path.rfind('/'));  // build
    return path + "/bin/stitchara-cli";
}

struct ToolRun {
    int status = -1;
    std::string out, err;
};

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        tool_ = ToolPath();
        if (::access(tool_.c_str(), X_OK) != 0) GTEST_SKIP() << "no " << tool_;
        ASSERT_FALSE(dir_.empty());
    }
    // Runs the tool with the arguments (each quoted), stdout and stderr apart;
    // environment is one NAME=value setting for the run.
    ToolRun Tool(const std::vector<std::string>& args, const std::string& environment = "") {
        std::string command = environment.empty() ? "" : "env '" + environment + "' ";
        command += "'" + tool_ + "'";
        for (const auto& a : args) command += " '" + a + "'";
        command += " >'" + dir_ + "/.out' 2>'" + dir_ + "/.err' </dev/null";
        ToolRun r;
        int raw = std::system(command.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = Read(dir_ + "/.out");
        r.err = Read(dir_ + "/.err");
        return r;
    }
    static std::string Read(const std::string& path) { return file_test::FileContents(path); }
    // A 24-bit picture file of the given size at 200 x 100 dpi.
    std::string ColourFile(const std::string& name, int width, int height) {
        CPicture picture;
        EXPECT_TRUE(picture.Create(ptTrueColor24, width, height, 0, nullptr, DpiToPpm(200),
                                   DpiToPpm(100), kStoreAny));
        std::vector<std::uint8_t> row(std::size_t(width) * 3);
        for (int y = 0; y < height; ++y) {
            for (std::size_t i = 0; i < row.size(); ++i) row[i] = std::uint8_t(i * 7 + y);
            picture.WriteRow(0, width - 1, y, row.data());
        }
        std::string path = dir_ + "/" + name;
        EXPECT_TRUE(WriteImageFile(path, &picture));
        return path;
    }
    std::string tool_;
    file_test::TempFolder folder_{"cli"};
    std::string dir_ = folder_.Path();
};

TEST_F(CliTest, InfoPrintsTheContractLine) {
    std::string in = ColourFile("in.bmp", 31, 17);
    ToolRun r = Tool({"info", in});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "type=TrueColor24 width=31 height=17 xdpi=200 ydpi=100 bits=24\n");
}

TEST_F(CliTest, ConvertByExtensionAndToTheDocumentFile) {
    std::string in = ColourFile("in.bmp", 40, 30);
    std::string png = dir_ + "/out.png", vdl = dir_ + "/out.vdl";
    ToolRun r = Tool({"convert", in, png, "--quiet"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Read(png).substr(1, 3), "PNG");
    r = Tool({"convert", png, vdl});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Read(vdl).substr(0, 2), "BM");
    r = Tool({"info", vdl});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "type=TrueColor24 width=40 height=30 xdpi=200 ydpi=100 bits=24\n");

    // The long spellings users type.
    EXPECT_EQ(Tool({"convert", in, dir_ + "/long.jpeg"}).status, 0);
    EXPECT_EQ(Tool({"convert", in, dir_ + "/long.TIFF"}).status, 0);
    EXPECT_EQ(Read(dir_ + "/long.jpeg").substr(0, 2), "\xff\xd8");

    // A JPEG quality option reaches the writer: a lower quality, a smaller file.
    std::string big = ColourFile("big.bmp", 300, 200);
    ASSERT_EQ(Tool({"convert", big, dir_ + "/q90.jpg", "--quality", "90"}).status, 0);
    ASSERT_EQ(Tool({"convert", big, dir_ + "/q10.jpg", "--quality", "10"}).status, 0);
    EXPECT_LT(Read(dir_ + "/q10.jpg").size(), Read(dir_ + "/q90.jpg").size());
}

TEST_F(CliTest, FailuresExitOneWithAReasonAndLeaveNoFile) {
    std::string in = ColourFile("in.bmp", 8, 8);
    std::ofstream(dir_ + "/junk.png") << "not a png at all";
    ::mkdir((dir_ + "/folder.bmp").c_str(), 0755);
    std::string out = dir_ + "/out.bmp", locked = dir_ + "/locked.png";
    file_test::PutFile(locked, "read-only");
    ::chmod(locked.c_str(), 0444);
    const std::vector<std::vector<std::string>> failing = {
        {"info", dir_ + "/missing.bmp"},
        {"info", dir_ + "/junk.png"},
        {"info", dir_ + "/folder.bmp"},
        {"convert", dir_ + "/missing.bmp", out},
        {"convert", in, dir_ + "/out.xyz"},
        {"convert", in, dir_ + "/noextension"},
        {"convert", in, dir_ + "/nodir/out.bmp"},
        {"convert", in, locked},
    };
    for (const auto& args : failing) {
        ToolRun r = Tool(args);
        EXPECT_EQ(r.status, 1) << args[0] << " " << args[1] << " " << args.back();
        EXPECT_EQ(r.err.rfind("stitchara-cli: ", 0), 0u) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
    struct stat st {};
    EXPECT_NE(::stat(out.c_str(), &st), 0);
    EXPECT_EQ(Read(locked), "read-only");
}

TEST_F(CliTest, UsageErrorsExitTwo) {
    std::string in = ColourFile("in.bmp", 8, 8);
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {"frobnicate"},
        {"info"},
        {"info", in, in},
        {"convert", in},
        {"convert", in, dir_ + "/o.png", "--mode", "9"},
        {"convert", in, dir_ + "/o.png", "--matrix", "5"},
        {"convert", in, dir_ + "/o.png", "--type", "purple"},
        {"convert", in, dir_ + "/o.jpg", "--quality", "0"},
        {"convert", in, dir_ + "/o.tif", "--compression", "zip"},
        {"convert", in, dir_ + "/o.png", "--bogus", "1"},
        {"formats", "extra"},
    };
    for (const auto& args : wrong) {
        ToolRun r = Tool(args);
        EXPECT_EQ(r.status, 2) << (args.empty() ? "(none)" : args[0]) << " ... "
                               << (args.empty() ? "" : args.back());
    }
}

TEST_F(CliTest, MemoryLimitSendsPicturesToSwapFiles) {
    std::string in = ColourFile("in.bmp", 300, 200);
    std::string plain = dir_ + "/plain.bmp", limited = dir_ + "/limited.bmp";
    // A conversion to an optimised palette reads the picture whole (a
    // change of format alone takes the file's rows one at a time).
    const std::vector<std::string> optimise = {"--type", "color256", "--mode", "1"};
    ASSERT_EQ(Tool({"convert", in, plain, "--quiet", optimise[0], optimise[1], optimise[2], optimise[3]}).status, 0);
    // Far below the picture's 180 KB, in the forms the setting takes too.
    for (const char* limit : {"4096", "4K"}) {
        ToolRun r = Tool({"convert", in, limited, "--memory-limit", limit, optimise[0], optimise[1], optimise[2],
                          optimise[3]});
        ASSERT_EQ(r.status, 0) << limit << ": " << r.err;
        EXPECT_EQ(Read(limited), Read(plain)) << limit;
    }
    // The picture really goes to a swap file: without a place for one it fails.
    ToolRun r =
        Tool({"convert", in, limited, "--memory-limit", "4096", optimise[0], optimise[1], optimise[2], optimise[3]},
             "TMPDIR=" + dir_ + "/gone");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("There is not enough memory."), std::string::npos) << r.err;
    for (const char* bad : {"0", "-4096", "lots", "4T", ""})
        EXPECT_EQ(Tool({"info", in, "--memory-limit", bad}).status, 2) << bad;
}

TEST_F(CliTest, UnwritableStandardOutputIsAFailure) {
    if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    int raw = std::system(("'" + tool_ + "' formats >/dev/full 2>/dev/null").c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 1);
}

TEST_F(CliTest, FormatsListsEachFormatOnce) {
    ToolRun r = Tool({"formats"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* wanted : {"\nJPG ", "\nPNG ", "\nTIF ", "\nVDL "}) {
        std::size_t at = r.out.find(wanted);
        EXPECT_NE(at, std::string::npos) << wanted;
        EXPECT_EQ(r.out.find(wanted, at + 1), std::string::npos) << wanted << " twice";
    }
}

}  // namespace

// info answers from the header alone: a picture whose pixels are cut short
// answers as a whole one, and one far too large for the memory given
// answers too (reading its pixels would need gigabytes). --check reads the
// pixels and reports the damage.
TEST_F(CliTest, InfoReadsTheHeaderOnlyAndCheckReadsThePixels) {
    std::string whole = ColourFile("whole.bmp", 61, 40);
    const std::string line = "type=TrueColor24 width=61 height=40 xdpi=200 ydpi=100 bits=24\n";
    ToolRun r = Tool({"info", whole, "--check"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, line);

    const std::string bytes = Read(whole);
    const std::string cut = dir_ + "/cut.bmp";
    file_test::PutFile(cut, bytes.substr(0, bytes.size() / 2));
    r = Tool({"info", cut});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, line);
    r = Tool({"info", cut, "--check"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, line);
    EXPECT_NE(r.err.find("stitchara-cli: cannot read"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("truncated"), std::string::npos) << r.err;

    // 30000 x 30000 pixels, with a memory budget of 4 KB and no place for swap files.
    const std::string huge = dir_ + "/huge.ppm";
    file_test::PutFile(huge, "P6\n30000 30000\n255\n" + std::string(300, '\x7f'));
    const std::string nowhere = "TMPDIR=" + dir_ + "/gone";
    r = Tool({"info", huge, "--memory-limit", "4096"}, nowhere);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "type=TrueColor24 width=30000 height=30000 xdpi=96 ydpi=96 bits=24\n");
    r = Tool({"info", huge, "--memory-limit", "4096", "--check"}, nowhere);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("stitchara-cli: "), std::string::npos);
}

// A binary PNM's rows go from file to file without the picture in memory;
// the files written are those the picture read whole gives (the same
// picture from a BMP file), for every command that takes that way.
TEST_F(CliTest, RowsStraightFromAPnmFileWriteWhatThePictureGives) {
    const std::string ppm = ColourFile("in.ppm", 331, 157);
    const std::string bmp = dir_ + "/in.bmp";
    ASSERT_EQ(Tool({"convert", ppm, bmp}).status, 0);
    const std::string pgm = dir_ + "/in.pgm", grayBmp = dir_ + "/gray.bmp";
    ASSERT_EQ(Tool({"convert", bmp, pgm}).status, 0);
    ASSERT_EQ(Tool({"convert", pgm, grayBmp}).status, 0);
    const std::vector<std::vector<std::string>> commands = {
        {"transform", "--op", "mirror-h"},    {"transform", "--op", "mirror-v"},
        {"transform", "--op", "mirror-d"},    {"transform", "--op", "rotate-half"},
        {"transform", "--op", "rotate-left"}, {"transform", "--op", "rotate-right"},
        {"rescale", "--size", "165x78"},      {"rescale", "--size", "662x314"},
        {"convert", "--type", "gray256"},     {"convert", "--type", "color256", "--mode", "3"},
        {"convert", "--type", "color256", "--mode", "0"}, {"convert"},
    };
    int n = 0;
    for (const auto& [rows, whole] : {std::pair{ppm, bmp}, std::pair{pgm, grayBmp}})
        for (const auto& c : commands)
            for (const char* ext : {".bmp", ".ppm"}) {  // bottom-up and top-down writers
                const std::string a = dir_ + "/a" + std::to_string(++n) + ext;
                const std::string b = dir_ + "/b" + std::to_string(n) + ext;
                std::vector<std::string> fromRows{c[0], rows, a}, fromWhole{c[0], whole, b};
                fromRows.insert(fromRows.end(), c.begin() + 1, c.end());
                fromWhole.insert(fromWhole.end(), c.begin() + 1, c.end());
                const ToolRun r = Tool(fromRows);
                ASSERT_EQ(r.status, Tool(fromWhole).status) << c[0] << " " << rows << " " << ext << r.err;
                EXPECT_EQ(Read(a), Read(b)) << c[0] << " " << c.back() << " " << rows << " " << ext;
            }
    // A file cut short is read as before, and the reader says so.
    const std::string bytes = Read(ppm);
    file_test::PutFile(dir_ + "/cut.ppm", bytes.substr(0, bytes.size() - 5));
    const ToolRun r = Tool({"transform", dir_ + "/cut.ppm", dir_ + "/cut_out.ppm", "--op", "mirror-h"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("truncated"), std::string::npos) << r.err;
}

// A picture taller than the rows made ahead of the writer, and quarter turns
// of more than one band: every row reaches its place, whether the writer
// starts at the top (PPM) or the bottom (BMP). Each byte of the picture
// differs from its neighbours, rows and columns alike.
TEST_F(CliTest, LongStreamsPutEveryRowInItsPlace) {
    const int w = 1100, h = 6000;
    const std::string head = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    std::string in(std::size_t(3) * w * h, '\0');
    for (std::size_t i = 0; i < in.size(); ++i) in[i] = char((std::uint32_t(i) * 2654435761u) >> 24);
    file_test::PutFile(dir_ + "/long.ppm", head + in);
    auto pixel = [&](int x, int y) { return in.substr((std::size_t(y) * w + x) * 3, 3); };
    std::string flipped, left, right;
    for (int y = h - 1; y >= 0; --y) flipped += in.substr(std::size_t(y) * w * 3, std::size_t(w) * 3);
    for (int i = 0; i < w; ++i)
        for (int j = 0; j < h; ++j) {
            left += pixel(w - 1 - i, j);   // result row i: source column w - 1 - i, downwards
            right += pixel(i, h - 1 - j);  // source column i, upwards
        }
    const std::string turned = "P6\n" + std::to_string(h) + " " + std::to_string(w) + "\n255\n";
    const struct {
        const char* op;
        std::string expected;
    } cases[] = {{"mirror-v", head + flipped}, {"rotate-left", turned + left}, {"rotate-right", turned + right}};
    for (const auto& c : cases)
        for (const char* ext : {".ppm", ".bmp"}) {
            const std::string out = dir_ + "/" + c.op + ext, back = dir_ + "/" + c.op + ext + ".ppm";
            ASSERT_EQ(Tool({"transform", dir_ + "/long.ppm", out, "--op", c.op}).status, 0) << c.op << ext;
            const bool bmp = std::string(ext) == ".bmp";
            if (bmp) {
                ASSERT_EQ(Tool({"convert", out, back}).status, 0);
            }
            EXPECT_TRUE(Read(bmp ? back : out) == c.expected) << c.op << ext;
            std::remove(out.c_str());
            std::remove(back.c_str());
        }
}

// Files of the compressed formats are decoded row by row as the writer asks
// (when the reader makes them in that order) or read whole (otherwise): the
// files written are those the same picture gives from a PPM, into a
// top-down (PPM) and a bottom-up (TGA) writer. A file cut short fails with
// the reader's reason and leaves the old output as it was.
TEST_F(CliTest, RowsDecodedFromEveryFormatWriteWhatThePictureGives) {
    const std::string ppm = ColourFile("in.ppm", 331, 157);
    std::vector<std::string> sources;
    for (const char* ext : {"png", "tif", "bmp", "jpg"}) {
        const std::string path = dir_ + "/src." + ext;
        ASSERT_EQ(Tool({"convert", ppm, path}).status, 0) << ext;
        sources.push_back(path);
    }
    const std::vector<std::vector<std::string>> commands = {
        {"transform", "--op", "mirror-h"}, {"transform", "--op", "mirror-v"},
        {"transform", "--op", "mirror-d"}, {"transform", "--op", "rotate-half"},
        {"rescale", "--size", "165x78"},   {"rescale", "--size", "662x314"},
        {"convert", "--type", "gray256"},  {"convert"},
    };
    int n = 0;
    for (const std::string& source : sources) {
        // The same pixels in a PPM file, from the picture read whole.
        const std::string reference = source + ".ppm";
        std::unique_ptr<CPicture> picture = ReadImageFile(source, false);
        ASSERT_TRUE(picture) << source;
        ASSERT_TRUE(WriteImageFile(reference, picture.get())) << source;
        for (const auto& c : commands)
            for (const char* ext : {".ppm", ".tga"}) {
                const std::string a = dir_ + "/a" + std::to_string(++n) + ext;
                const std::string b = dir_ + "/b" + std::to_string(n) + ext;
                std::vector<std::string> decoded{c[0], source, a}, whole{c[0], reference, b};
                decoded.insert(decoded.end(), c.begin() + 1, c.end());
                whole.insert(whole.end(), c.begin() + 1, c.end());
                const ToolRun r = Tool(decoded);
                ASSERT_EQ(r.status, 0) << c[0] << " " << source << " " << ext << r.err;
                ASSERT_EQ(Tool(whole).status, 0);
                EXPECT_TRUE(Read(a) == Read(b)) << c[0] << " " << c.back() << " " << source << " " << ext;
                std::remove(a.c_str());
                std::remove(b.c_str());
            }
    }
    const std::string bytes = Read(dir_ + "/src.png");
    file_test::PutFile(dir_ + "/cut.png", bytes.substr(0, bytes.size() / 2));
    const std::string out = dir_ + "/kept.ppm";
    file_test::PutFile(out, "an older file");
    const ToolRun r = Tool({"transform", dir_ + "/cut.png", out, "--op", "mirror-h"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("stitchara-cli: cannot read '" + dir_ + "/cut.png': ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_EQ(Read(out), "an older file");
}
