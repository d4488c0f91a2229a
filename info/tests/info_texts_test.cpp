#include "info/info_texts.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "picture/picture.h"
#include "platform/profile.h"

namespace fs = std::filesystem;

namespace {

struct DimensionCase {
    int pixels, dpi, unit;
    const char* text;
};

TEST(InfoTexts, DimensionsInEachUnit) {
    const DimensionCase cases[] = {
        {600, 300, info::kUnitCm, " 5.1"},     // 5.08 with one leading blank
        {600, 300, info::kUnitInch, " 2.0"},
        {600, 300, info::kUnitPixel, "  600"},
        {32767, 1, info::kUnitCm, "83228.2"},  // wider than the field: never cut
        {96, 0, info::kUnitInch, " 1.0"},      // no resolution counts as 96 dpi
        {1, 1000, info::kUnitCm, " 0.0"},
    };
    for (const DimensionCase& c : cases)
        EXPECT_EQ(info::DimensionText(c.pixels, c.dpi, c.unit), c.text) << c.pixels << " at " << c.dpi;
}

TEST(InfoTexts, ResolutionSizeAndTypeTexts) {
    EXPECT_EQ(info::DpiText(72), " 72 DPI");
    EXPECT_EQ(info::DpiText(1200), "1200 DPI");
    EXPECT_EQ(info::ImageSizeText(1536), "   1.5KB");
    // Stores beyond 4 GiB are counted in 64 bits.
    EXPECT_EQ(info::ImageSizeText(std::uint64_t(5) << 32), "20971520.0KB");
    EXPECT_EQ(info::PictureTypeText(ptBlackWhite), "Black & White");
    EXPECT_EQ(info::PictureTypeText(ptTrueColor32), "32 bit True Color");
    EXPECT_EQ(info::PictureTypeText(9), "");
    EXPECT_EQ(info::PictureTypeText(-1), "");
}

TEST(InfoTexts, FallbackResolutionBelowOneDpi) {
    EXPECT_EQ(info::UsableDpi(300, 96), 300);
    EXPECT_EQ(info::UsableDpi(0, 120), 120);
    EXPECT_EQ(info::UsableDpi(-5, 120), 120);
    EXPECT_EQ(info::UsableDpi(0, 0), kDefaultDpi);
}

TEST(InfoTexts, ThumbnailFactorIsTheLargerCeiling) {
    EXPECT_EQ(info::ThumbnailFactor(10, 10, 188, 140), 1);
    EXPECT_EQ(info::ThumbnailFactor(188, 140, 188, 140), 1);
    EXPECT_EQ(info::ThumbnailFactor(189, 10, 188, 140), 2);
    EXPECT_EQ(info::ThumbnailFactor(100, 700, 188, 140), 5);
    EXPECT_EQ(info::ThumbnailFactor(32767, 32767, 188, 140), 235);
    EXPECT_EQ(info::ThumbnailFactor(0, 0, 188, 140), 1);
    EXPECT_EQ(info::ThumbnailFactor(500, 500, 0, 0), 1);
}

TEST(InfoTexts, ProcessorName) {
    EXPECT_EQ(info::ProcessorName("i486", "model name : Something else\n"), "80486");
    EXPECT_EQ(info::ProcessorName("i386", ""), "80386");
    EXPECT_EQ(info::ProcessorName("i586", ""), "Pentium");
    const std::string cpuinfo =
        "processor\t: 0\nvendor_id\t: GenuineIntel\nmodel\t\t: 85\n"
        "model name\t: Intel(R) Xeon(R) CPU @ 2.00GHz\nstepping\t: 7\n\n"
        "processor\t: 1\nmodel name\t: Intel(R) Xeon(R) CPU @ 2.00GHz\n";
    EXPECT_EQ(info::ProcessorName("x86_64", cpuinfo), "Intel(R) Xeon(R) CPU @ 2.00GHz");
    // No model name (some ARM kernels): the machine.
    EXPECT_EQ(info::ProcessorName("aarch64", "processor\t: 0\nBogoMIPS\t: 50.00\nmodel name\t:\n"), "aarch64");
}

TEST(InfoTexts, KernelVersionAndSwap) {
    int major = -1, minor = -1;
    ASSERT_TRUE(info::ParseKernelVersion("6.1.0-18-amd64", major, minor));
    EXPECT_EQ(major, 6);
    EXPECT_EQ(minor, 1);
    ASSERT_TRUE(info::ParseKernelVersion("5.15.167.4-microsoft-standard-WSL2", major, minor));
    EXPECT_EQ(minor, 15);
    EXPECT_FALSE(info::ParseKernelVersion("", major, minor));
    EXPECT_FALSE(info::ParseKernelVersion("6", major, minor));
    EXPECT_FALSE(info::ParseKernelVersion("six.one", major, minor));

    std::uint64_t swap = 0;
    ASSERT_TRUE(info::ParseSwapFree("MemTotal: 100 kB\nSwapTotal: 8388604 kB\nSwapFree:  8000000 kB\n", swap));
    EXPECT_EQ(swap, 8000000ull * 1024);
    EXPECT_FALSE(info::ParseSwapFree("MemTotal: 100 kB\n", swap));
}

TEST(InfoTexts, SystemTextsLargeDisksAndUnknowns) {
    info::SystemFacts facts;
    facts.processor = "80486";
    facts.versionKnown = true;
    facts.major = 6;
    facts.minor = 12;
    facts.swapKnown = true;
    facts.swapFreeBytes = 2048;
    facts.currentDirectory = "/home/u";
    facts.cachePath = "/tmp";
    facts.diskKnown = true;
    facts.totalBytes = std::uint64_t(6) << 40;  // 6 TiB: beyond any 32-bit count
    facts.freeBytes = (std::uint64_t(5) << 40) + 512;
    info::SystemTexts t = info::FormatSystemFacts(facts);
    EXPECT_EQ(t.version, "6.12");
    EXPECT_EQ(t.swap, " 2.0 KB");
    EXPECT_EQ(t.totalSpace, " 6442450944.0 KB");
    EXPECT_EQ(t.freeSpace, " 5368709120.5 KB");

    facts.versionKnown = facts.swapKnown = facts.diskKnown = false;
    facts.currentDirectory.clear();
    t = info::FormatSystemFacts(facts);
    for (const std::string* s : {&t.version, &t.swap, &t.currentDirectory, &t.totalSpace, &t.freeSpace})
        EXPECT_EQ(*s, "not available");
    EXPECT_EQ(t.cachePath, "/tmp");
}

TEST(InfoTexts, GatheredFactsOfThisSystem) {
    const info::SystemFacts here = info::GatherSystemFacts(fs::temp_directory_path().string());
    EXPECT_FALSE(here.processor.empty());
    EXPECT_TRUE(here.versionKnown);
    EXPECT_EQ(here.currentDirectory, fs::current_path().string());
    ASSERT_TRUE(here.diskKnown);
    EXPECT_GT(here.totalBytes, 0u);
    EXPECT_LE(here.freeBytes, here.totalBytes);

    // A cache path on a directory that is not there: the path is shown, the
    // space is not made up.
    const info::SystemFacts missing = info::GatherSystemFacts("/nonexistent/stitchara-cache");
    EXPECT_EQ(missing.cachePath, "/nonexistent/stitchara-cache");
    EXPECT_FALSE(missing.diskKnown);
    EXPECT_EQ(info::FormatSystemFacts(missing).totalSpace, "not available");
}

class DisplayUnitTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "info-unit-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        path_ = dir_ + "/stitchara.ini";
        platform::SetProfilePath(path_);
    }
    void TearDown() override {
        platform::SetProfilePath("");
        fs::remove_all(dir_);
    }
    void Write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
    std::string Read() const {
        std::ifstream in(path_, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::string dir_, path_;
    info::DisplayUnitChoice unit_;
};

TEST_F(DisplayUnitTest, ReadOnceKeptForTheRunNeverWritten) {
    Write("[Preference]\nUnit=1\n");
    EXPECT_EQ(unit_.Get(), info::kUnitCm);
    // Read once: a later change of the file does not reach the running program.
    Write("[Preference]\nUnit=0\n");
    EXPECT_EQ(unit_.Get(), info::kUnitCm);
    unit_.Set(info::kUnitPixel);
    EXPECT_EQ(unit_.Get(), info::kUnitPixel);
    unit_.Set(3);
    unit_.Set(-1);
    EXPECT_EQ(unit_.Get(), info::kUnitPixel);
    EXPECT_EQ(Read(), "[Preference]\nUnit=0\n");
}

TEST_F(DisplayUnitTest, MissingOrOutOfRangeSettingIsPixel) {
    EXPECT_EQ(unit_.Get(), info::kUnitPixel);
    info::DisplayUnitChoice again;
    Write("[Preference]\nUnit=7\n");
    EXPECT_EQ(again.Get(), info::kUnitPixel);
}

}  // namespace
