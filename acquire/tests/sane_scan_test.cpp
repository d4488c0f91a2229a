// Scans through the real scanner library and its "test" backend: every
// kind of image arrives whole and right, by either transfer; three-pass
// equals single-pass; a feeder batch gives every page; a cancel, a backend
// error, short data, a missing device or library deliver nothing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/twain/testing/sane_test_config.h"
#include "acquire/twain_acquirer.h"
#include "base/message_box.h"
#include "base/testing/test_progress_host.h"
#include "platform/profile.h"
#include "platform/system.h"

using namespace twain;

namespace {

struct ScriptUi : SourceUi {
    std::function<bool(ScanDevice&)> run;
    bool Run(ScanDevice& device, void*) override { return run ? run(device) : true; }
};

struct Receiver : CTwainOwner {
    std::vector<std::unique_ptr<CPicture>> pictures;
    int natives = 0, empties = 0;
    void OnTwainXferDone(HGlobal dib, std::unique_ptr<CPicture> picture) override {
        if (dib) {
            picture = std::make_unique<CPicture>();
            if (!picture->AttachPackedDib(std::move(dib))) picture.reset();
            ++natives;
        }
        if (picture) pictures.push_back(std::move(picture));
        else ++empties;
    }
};

// Options for the device as the user would set them in the dialog.
struct Settings {
    std::string mode = "Color";
    int depth = 8;
    std::string picture = "Color pattern";
    double resolution = 50;
    bool threePass = false;
    bool feeder = false;
    std::vector<std::pair<std::string, bool>> flags;
    std::vector<std::pair<std::string, std::string>> strings;
};

bool Apply(ScanDevice& d, const Settings& s) {
    double resolution = s.resolution, depth = s.depth;
    bool ok = d.SetString("mode", s.mode) && d.SetNumber("depth", depth) &&
              d.SetString("test-picture", s.picture) && d.SetNumber("resolution", resolution);
    if (s.threePass) ok = ok && d.SetBool("three-pass", true);
    if (s.feeder) ok = ok && d.SetString("source", "Automatic Document Feeder");
    for (const auto& [name, value] : s.flags) ok = ok && d.SetBool(name, value);
    for (const auto& [name, value] : s.strings) ok = ok && d.SetString(name, value);
    return ok;
}

class SaneScan : public ::testing::Test {
protected:
    static void SetUpTestSuite() { sanetest::UseTestBackend(::testing::TempDir() + "sane_scan_" + std::to_string(::getpid()) + "_config"); }
    void SetUp() override {
        ini_ = ::testing::TempDir() + "sane_scan_" + std::to_string(::getpid()) + ".ini";
        std::remove(ini_.c_str());
        platform::SetProfilePath(ini_);
        SetSourceUi(&ui);
        SetMessageSink([this](const std::string& text) { messages.push_back(text); });
    }
    void TearDown() override {
        SetSourceUi(nullptr);
        SetReadWaiter(nullptr);
        SetDefaultSourceOverride("");
        SetMessageSink({});
        platform::SetProfilePath("");
        std::remove(ini_.c_str());
    }
    // One Acquire with settings, run to its end; the receiver holds what came.
    Receiver Scan(const Settings& settings, bool* closed = nullptr) {
        Receiver receiver;
        ui.run = [&](ScanDevice& d) {
            EXPECT_TRUE(Apply(d, settings));
            return true;
        };
        CTwainAcquirer acquirer;
        acquirer.Prepare(&receiver);
        if (acquirer.Acquire())
            while (acquirer.ProcessMessage(nullptr)) {
            }
        if (closed) *closed = !acquirer.IsManagerOpen() && !acquirer.IsSourceOpen();
        return receiver;
    }
    ScriptUi ui;
    std::vector<std::string> messages;
    std::string ini_;
};

// Pixel (x, y): the index for palette pictures, 0x00BBGGRR for colour.
std::uint32_t Pixel(CPicture& p, int x, int y) {
    std::vector<std::uint8_t> row(std::size_t(p.GetRowBytes()) + 4);
    p.ReadRow(0, p.GetWidth() - 1, y, row.data());
    switch (p.GetBitCount()) {
        case 1: return (row[std::size_t(x / 8)] >> (7 - x % 8)) & 1;
        case 8: return row[std::size_t(x)];
        default: return MakeRgb(row[std::size_t(3 * x + 2)], row[std::size_t(3 * x + 1)], row[std::size_t(3 * x)]);
    }
}

bool SamePixels(CPicture& a, CPicture& b) {
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() || a.GetType() != b.GetType()) return false;
    std::vector<std::uint8_t> ra(std::size_t(a.GetRowBytes())), rb(ra.size());
    for (int y = 0; y < a.GetHeight(); ++y) {
        a.ReadRow(0, a.GetWidth() - 1, y, ra.data());
        b.ReadRow(0, b.GetWidth() - 1, y, rb.data());
        if (ra != rb) return false;
    }
    return true;
}

TEST_F(SaneScan, EveryKindArrivesWithItsTypeSizeResolutionAndPixelsByEitherTransfer) {
    struct Case {
        const char* name;
        Settings settings;
        int type;
        // (x, y, value) at the first, a middle and the last column.
        std::vector<std::array<std::uint32_t, 3>> points;
    };
    const std::uint32_t border = MakeRgb(85, 85, 85);
    Settings colour, gray, gray16, lineart, grid;
    gray.mode = gray16.mode = lineart.mode = "Gray";
    gray16.depth = 16;
    lineart.depth = 1;
    lineart.picture = grid.picture = "Grid";
    const std::vector<Case> cases = {
        {"colour", colour, ptTrueColor24,
         {{0, 0, border}, {1, 98, MakeRgb(255, 0, 0)}, {78, 98, MakeRgb(240, 0, 0)}, {156, 98, MakeRgb(224, 0, 0)}, {156, 195, border}}},
        {"gray", gray, ptGray256, {{0, 0, 85}, {1, 98, 255}, {78, 98, 240}, {156, 98, 224}}},
        // 16-bit samples keep their high byte (the pattern differs from 8 bits).
        {"gray 16 bits", gray16, ptGray256, {{0, 0, 85}, {1, 98, 85}, {78, 98, 19038 >> 8}, {156, 98, 39006 >> 8}}},
        // The grid's white squares are index 1 (white), its black ones 0.
        {"lineart", lineart, ptBlackWhite, {{0, 0, 1}, {1, 98, 1}, {78, 98, 0}, {156, 98, 0}, {156, 195, 0}}},
        {"colour grid", grid, ptTrueColor24, {{0, 0, 0xFFFFFF}, {78, 98, 0}, {156, 98, 0}}},
    };
    for (int native = 0; native < 2; ++native) {
        platform::WriteProfileInt("MainWindow", "TwainNative", native);
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (native ? " native" : " memory"));
            Receiver r = Scan(c.settings);
            ASSERT_EQ(r.pictures.size(), 1u);
            EXPECT_EQ(r.natives, native);
            CPicture& p = *r.pictures[0];
            EXPECT_EQ(p.GetType(), c.type);
            EXPECT_EQ(p.GetWidth(), 157);
            EXPECT_EQ(p.GetHeight(), 196);
            EXPECT_EQ(p.GetXDpi(), 50);
            EXPECT_EQ(p.GetYDpi(), 50);
            for (const auto& [x, y, value] : c.points) EXPECT_EQ(Pixel(p, int(x), int(y)), value) << x << "," << y;
            if (c.type == ptBlackWhite) {
                EXPECT_EQ(p.GetColourTable()[0].red, 0);
                EXPECT_EQ(p.GetColourTable()[1].red, 255);
            }
        }
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(SaneScan, ThreePassGivesTheSinglePassPictureAlsoFromTheSwapFile) {
    Settings single;
    single.resolution = 75;
    Receiver one = Scan(single);
    ASSERT_EQ(one.pictures.size(), 1u);
    Settings three = single;
    three.threePass = true;
    for (int planar = 0; planar < 2; ++planar) {
        platform::WriteProfileInt("MainWindow", "UsedPlanar", planar);
        Receiver r = Scan(three);
        ASSERT_EQ(r.pictures.size(), 1u);
        EXPECT_TRUE(SamePixels(*one.pictures[0], *r.pictures[0]));
    }
    // A picture larger than the memory there is goes to its swap file and
    // takes each plane as a band.
    platform::SetMemoryBudget(64 * 1024);
    Receiver swapped = Scan(three);
    Receiver swappedSingle = Scan(single);
    platform::SetMemoryBudget(0);
    ASSERT_EQ(swapped.pictures.size(), 1u);
    ASSERT_EQ(swappedSingle.pictures.size(), 1u);
    EXPECT_EQ(swapped.pictures[0]->GetStoreState(), kStateOnDisk);
    EXPECT_TRUE(SamePixels(*one.pictures[0], *swapped.pictures[0]));
    EXPECT_TRUE(SamePixels(*one.pictures[0], *swappedSingle.pictures[0]));
    // Natively, the planes are joined by the source.
    platform::WriteProfileInt("MainWindow", "TwainNative", 1);
    Receiver native = Scan(three);
    ASSERT_EQ(native.pictures.size(), 1u);
    EXPECT_EQ(native.natives, 1);
    EXPECT_TRUE(SamePixels(*one.pictures[0], *native.pictures[0]));
}

TEST_F(SaneScan, FeederBatchGivesEveryPageThenCloses) {
    Settings s;
    s.mode = "Gray";
    s.feeder = true;
    s.resolution = 25;
    bool closed = false;
    Receiver r = Scan(s, &closed);
    // The backend's feeder holds ten sheets.
    EXPECT_EQ(r.pictures.size(), 10u);
    EXPECT_EQ(r.empties, 0);
    EXPECT_TRUE(closed);
    EXPECT_TRUE(messages.empty());
}

TEST_F(SaneScan, CancelAndFaultsDeliverNothingAndCloseTheConversation) {
    // Escape in the middle of the scan.
    for (int native = 0; native < 2; ++native) {
        platform::WriteProfileInt("MainWindow", "TwainNative", native);
        TestProgressHost host;
        host.escapeAtCall = 3;
        bool closed = false;
        // Small enough for the backend to have sent it all when the scan is
        // cancelled: the backend stops its sender thread unsafely otherwise.
        Settings small;
        small.mode = "Gray";
        small.resolution = 25;
        Receiver r = Scan(small, &closed);
        EXPECT_TRUE(r.pictures.empty());
        EXPECT_EQ(r.empties, 1);
        EXPECT_TRUE(host.escapeTaken);
        EXPECT_EQ(host.begins, host.ends);
        EXPECT_TRUE(closed);
    }
    EXPECT_TRUE(messages.empty());  // a cancel is no fault

    // The user cancels in the source's dialog.
    {
        Receiver receiver;
        ui.run = [](ScanDevice&) { return false; };
        CTwainAcquirer acquirer;
        acquirer.Prepare(&receiver);
        ASSERT_TRUE(acquirer.Acquire());
        while (acquirer.ProcessMessage(nullptr)) {
        }
        EXPECT_FALSE(acquirer.IsSourceOpen());
        EXPECT_TRUE(receiver.pictures.empty());
        EXPECT_EQ(receiver.empties, 0);
    }

    // A hand scanner does not know its length: the image still arrives whole.
    Settings hand;
    hand.flags = {{"hand-scanner", true}};
    Receiver r = Scan(hand);
    ASSERT_EQ(r.pictures.size(), 1u);
    EXPECT_GT(r.pictures[0]->GetHeight(), 0);

    // A device that is not there.
    messages.clear();
    SetDefaultSourceOverride("test:7");
    bool closed = false;
    Receiver none = Scan(Settings{}, &closed);
    EXPECT_TRUE(none.pictures.empty());
    EXPECT_TRUE(closed);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "The scanner driver could not be started. Please make sure that the scanner and its driver are installed correctly.");
}

TEST_F(SaneScan, SelectionIsRememberedAsTheDefaultAndNoLibraryMeansUnavailable) {
    struct Chooser : SourceChooser {
        std::vector<DeviceInfo> seen;
        bool Choose(const std::vector<DeviceInfo>& devices, const std::string&, std::string& chosen, void*) override {
            seen = devices;
            chosen = "test:1";
            return true;
        }
    } chooser;
    SetSourceChooser(&chooser);
    Receiver receiver;
    {
        CTwainAcquirer acquirer;
        acquirer.Prepare(&receiver);
        EXPECT_EQ(acquirer.SelectSource(), 1);
        EXPECT_STREQ(acquirer.SourceIdentity().ProductName, "test:1");
        EXPECT_FALSE(acquirer.IsManagerOpen());
    }
    SetSourceChooser(nullptr);
    EXPECT_EQ(chooser.seen.size(), 2u);
    EXPECT_EQ(DefaultSourceName(), "test:1");
    std::string opened;
    ui.run = [&](ScanDevice& d) {
        opened = d.Name();
        return false;
    };
    {
        CTwainAcquirer acquirer;
        acquirer.Prepare(&receiver);
        acquirer.Acquire();
        while (acquirer.ProcessMessage(nullptr)) {
        }
    }
    EXPECT_EQ(opened, "test:1");

    ::setenv("STITCHARA_SANE_LIBRARY", "libsane-not-here.so.1", 1);
    CTwainAcquirer acquirer;
    EXPECT_EQ(acquirer.Prepare(&receiver), 0);
    EXPECT_FALSE(acquirer.IsAvailable());
    std::vector<DeviceInfo> devices;
    std::string error;
    EXPECT_FALSE(ListDevices(devices, error));
    EXPECT_NE(error.find("libsane-not-here"), std::string::npos);
    ::unsetenv("STITCHARA_SANE_LIBRARY");
}

}  // namespace
