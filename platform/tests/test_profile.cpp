#include "platform/profile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "profile-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        path_ = dir_ + "/config/sub/stitchara.ini";
        platform::SetProfilePath(path_);
    }
    void TearDown() override {
        platform::SetProfilePath("");
        fs::remove_all(dir_);
    }
    void WriteFile(const std::string& text) {
        fs::create_directories(fs::path(path_).parent_path());
        std::ofstream(path_, std::ios::binary) << text;
    }
    std::string ReadFile() const {
        std::ifstream in(path_, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string dir_;
    std::string path_;
};

TEST_F(ProfileTest, MissingFileReadsAsDefaultsAndFirstWriteCreatesIt) {
    EXPECT_EQ(platform::GetProfileString("Init", "Dir", "fallback"), "fallback");
    EXPECT_EQ(platform::GetProfileInt("Init", "Count", 42), 42);
    EXPECT_FALSE(fs::exists(path_));

    ASSERT_NE(platform::WriteProfileString("Init", "Dir", "/home/u/pictures"), 0);
    ASSERT_NE(platform::WriteProfileInt("Preference", "Count", -7), 0);
    EXPECT_EQ(platform::GetProfileString("Init", "Dir", ""), "/home/u/pictures");
    EXPECT_EQ(platform::GetProfileInt("Preference", "Count", 0), -7);
    EXPECT_EQ(ReadFile(), "[Init]\nDir=/home/u/pictures\n\n[Preference]\nCount=-7\n");
}

TEST_F(ProfileTest, WritesKeepEverythingElseInPlace) {
    WriteFile("; settings\n"
              "[Init]\r\n"
              "Dir = /old\r\n"
              "Unknown line without equals\n"
              "Other=1\n"
              "\n"
              "[Recent File List]\n"
              "File1=/a.vdl\n");
    EXPECT_EQ(platform::GetProfileString("init", "DIR", ""), "/old");  // any case
    ASSERT_NE(platform::WriteProfileString("INIT", "dir", "/new"), 0);
    ASSERT_NE(platform::WriteProfileString("Init", "Added", "x"), 0);
    ASSERT_NE(platform::WriteProfileString("recent file list", "File2", "/b.vdl"), 0);
    EXPECT_EQ(ReadFile(),
              "; settings\n"
              "[Init]\r\n"
              "dir=/new\n"
              "Unknown line without equals\n"
              "Other=1\n"
              "Added=x\n"
              "\n"
              "[Recent File List]\n"
              "File1=/a.vdl\n"
              "File2=/b.vdl\n");
    EXPECT_EQ(platform::GetProfileInt("Init", "Other", 0), 1);
    // A key of one section is not found in another.
    EXPECT_EQ(platform::GetProfileString("Recent File List", "Other", "none"), "none");
}

TEST_F(ProfileTest, IntegersAndQuotedValues) {
    WriteFile("[S]\nA=12abc\nB=junk\nC=\nD=\"quoted text\"\nE=99999999999\nF=+5\n");
    EXPECT_EQ(platform::GetProfileInt("S", "A", 0), 12);
    EXPECT_EQ(platform::GetProfileInt("S", "B", 3), 3);
    EXPECT_EQ(platform::GetProfileInt("S", "C", 4), 4);
    EXPECT_EQ(platform::GetProfileInt("S", "E", 0), 2147483647);
    EXPECT_EQ(platform::GetProfileInt("S", "F", 0), 5);
    EXPECT_EQ(platform::GetProfileString("S", "D", ""), "quoted text");
}

TEST_F(ProfileTest, RefusesWritesThatWouldBreakTheFile) {
    WriteFile("[S]\nA=1\n");
    EXPECT_EQ(platform::WriteProfileString("S", "A", "two\nlines"), 0);
    EXPECT_EQ(platform::WriteProfileString("S", "K=ey", "v"), 0);
    EXPECT_EQ(platform::WriteProfileString("S]", "A", "v"), 0);
    EXPECT_EQ(platform::WriteProfileString("", "A", "v"), 0);
    EXPECT_EQ(ReadFile(), "[S]\nA=1\n");

    // Something other than a file at the path is neither read nor replaced.
    platform::SetProfilePath("/dev/zero");
    EXPECT_EQ(platform::GetProfileString("S", "A", "d"), "d");
    EXPECT_EQ(platform::WriteProfileString("S", "A", "v"), 0);
    platform::SetProfilePath(dir_);
    EXPECT_EQ(platform::WriteProfileString("S", "A", "v"), 0);
    EXPECT_TRUE(fs::is_directory(dir_));
}

TEST_F(ProfileTest, PathComesFromTheEnvironment) {
    platform::SetProfilePath("");
    const char* oldIni = std::getenv("STITCHARA_INI");
    const std::string savedIni = oldIni ? oldIni : "";
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string savedXdg = oldXdg ? oldXdg : "";

    setenv("STITCHARA_INI", (dir_ + "/named.ini").c_str(), 1);
    EXPECT_EQ(platform::ProfilePath(), dir_ + "/named.ini");
    unsetenv("STITCHARA_INI");
    setenv("XDG_CONFIG_HOME", (dir_ + "/xdg/").c_str(), 1);
    EXPECT_EQ(platform::ProfilePath(), dir_ + "/xdg/stitchara.ini");

    if (oldIni) setenv("STITCHARA_INI", savedIni.c_str(), 1);
    if (oldXdg) setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
    else unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
