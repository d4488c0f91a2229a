// The manager's own answers, outside an acquisition: the device list, the
// option access the source's dialog uses, the preview scan.
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>

#include "platform/twain/testing/sane_test_config.h"
#include "platform/twain/dsm.h"
#include "platform/twain/twain_types.h"

using namespace twain;

namespace {

class Manager : public ::testing::Test {
protected:
    static void SetUpTestSuite() { sanetest::UseTestBackend(::testing::TempDir() + "manager_" + std::to_string(::getpid()) + "_config"); }
};

// Opens test:0 through the entry point and hands its device to check.
struct DeviceUi : SourceUi {
    std::function<void(ScanDevice&)> check;
    bool Run(ScanDevice& device, void*) override {
        check(device);
        return false;
    }
};

TEST_F(Manager, ListsDevicesAndGivesTheirOptionsAndAPreview) {
    std::vector<DeviceInfo> devices;
    std::string error;
    ASSERT_TRUE(ListDevices(devices, error)) << error;
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].name, "test:0");
    EXPECT_EQ(DefaultSourceName(), "test:0");

    bool checked = false;
    DeviceUi ui;
    ui.check = [&](ScanDevice& d) {
        checked = true;
        OptionDescriptor mode, resolution, tlx;
        ASSERT_TRUE(d.Describe("mode", mode));
        EXPECT_EQ(mode.constraint, Constraint::Strings);
        EXPECT_EQ(mode.strings, (std::vector<std::string>{"Gray", "Color"}));
        ASSERT_TRUE(d.Describe("resolution", resolution));
        EXPECT_EQ(resolution.unit, OptionUnit::Dpi);
        EXPECT_EQ(resolution.constraint, Constraint::Range);
        ASSERT_TRUE(d.Describe("tl-x", tlx));
        EXPECT_EQ(tlx.unit, OptionUnit::Mm);
        // A value outside the range comes back clamped by the device.
        double v = 5000;
        EXPECT_TRUE(d.SetNumber("resolution", v));
        EXPECT_EQ(v, resolution.maximum);
        EXPECT_FALSE(d.SetString("mode", "Infrared"));
        EXPECT_FALSE(d.SetString("no-such-option", "x"));
        // The preview: a whole scan in 8 bits a sample.
        v = 25;
        ASSERT_TRUE(d.SetNumber("resolution", v));
        ASSERT_TRUE(d.SetString("mode", "Color"));
        ASSERT_TRUE(d.SetString("test-picture", "Grid"));
        ScanImage image;
        std::string why;
        ASSERT_TRUE(d.ScanWhole(image, why)) << why;
        EXPECT_EQ(image.channels, 3);
        EXPECT_EQ(image.width, 78);
        EXPECT_EQ(image.height, 98);
        EXPECT_EQ(image.pixels.size(), std::size_t(78 * 98 * 3));
        EXPECT_EQ(image.pixels[0], 255);
        ASSERT_TRUE(d.SetBool("three-pass", true));
        ScanImage planes;
        ASSERT_TRUE(d.ScanWhole(planes, why)) << why;
        EXPECT_EQ(planes.pixels, image.pixels);
    };
    SetSourceUi(&ui);
    ManagerLibrary& library = SaneManagerLibrary();
    ASSERT_TRUE(library.Load());
    DsmEntryProc entry = library.Entry();
    TwIdentity app, source;
    void* parent = nullptr;
    ASSERT_EQ(entry(&app, nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &parent), TWRC_SUCCESS);
    ASSERT_EQ(entry(&app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source), TWRC_SUCCESS);
    EXPECT_STREQ(source.ProductName, "test:0");
    // The feeder capabilities follow the device's "source" option.
    TwCapability cap;
    cap.Cap = CAP_FEEDERENABLED;
    ASSERT_EQ(entry(&app, &source, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &cap), TWRC_SUCCESS);
    EXPECT_EQ(cap.Items[0], 0u);
    cap.Items[0] = 1;
    ASSERT_EQ(entry(&app, &source, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap), TWRC_SUCCESS);
    cap = TwCapability{};
    cap.Cap = CAP_FEEDERLOADED;
    ASSERT_EQ(entry(&app, &source, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &cap), TWRC_SUCCESS);
    EXPECT_EQ(cap.Items[0], 1u);
    TwUserInterface shown;
    ASSERT_EQ(entry(&app, &source, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &shown), TWRC_SUCCESS);
    EXPECT_TRUE(checked);
    // Cancelled in the dialog: the source asks to be closed.
    TwEvent event;
    EXPECT_EQ(entry(&app, &source, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event), TWRC_DSEVENT);
    EXPECT_EQ(event.TWMessage, MSG_CLOSEDSREQ);
    EXPECT_EQ(entry(&app, &source, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event), TWRC_NOTDSEVENT);
    EXPECT_EQ(entry(&app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source), TWRC_SUCCESS);
    EXPECT_EQ(entry(&app, nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent), TWRC_SUCCESS);
    library.Release();
    SetSourceUi(nullptr);
}

}  // namespace
