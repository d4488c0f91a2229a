// The acquirer's rules against a scripted manager and source: which
// transfer it takes, how large its buffer is, how rows, colours, palettes
// and planes arrive, when the source stays open, which messages it shows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "acquire/twain_acquirer.h"
#include "base/message_box.h"
#include "platform/profile.h"
#include "platform/system.h"

using namespace twain;

namespace {

// What the scripted source offers and what it saw.
struct Script {
    // Offers.
    std::vector<std::uint32_t> mechanisms{TWSX_NATIVE, TWSX_MEMORY};
    bool offersPlanar = false;
    bool planarData = false;
    bool feeder = false;        // has a feeder, enabled
    int feederPages = 0;        // pages still in it (loaded while > 0)
    bool openFails = false;
    bool managerFails = false;
    TwImageInfo info;
    TwSetupMemXfer setup{TWON_DONTCARE32, TWON_DONTCARE32, TWON_DONTCARE32};
    TwPalette8 palette;
    bool paletteOk = false;
    int images = 1;             // images pending after XFERREADY
    int pixelsFailAfter = -1;   // memory transfer answers failure on this call
    // Seen.
    std::uint32_t mechanism = TWSX_NATIVE;
    std::vector<std::uint32_t> bufferLengths;
    std::vector<std::string> calls;
    TwCapability planarSet;
    bool planarWasSet = false;
    int delivered = 0;
    int memCalls = 0;
    bool enabled = false, open = false, manager = false;
    std::uint16_t notice = MSG_NULL;
    int row = 0, plane = 0;
};

Script* g_script = nullptr;

// Pixel (x, y) of the source's image, as the source sends it (red, green,
// blue for colour; the index for 8 bits).
std::uint8_t Sample(int x, int y, int c) { return std::uint8_t(x * 7 + y * 3 + c * 50); }

std::uint16_t ScriptEntry(TwIdentity*, TwIdentity*, std::uint32_t dg, std::uint16_t dat, std::uint16_t msg,
                          void* data) {
    Script& s = *g_script;
    if (dat == DAT_PARENT) {
        if (msg == MSG_OPENDSM) return s.managerFails ? TWRC_FAILURE : (s.manager = true, TWRC_SUCCESS);
        s.manager = false;
        return TWRC_SUCCESS;
    }
    if (dat == DAT_IDENTITY) {
        if (msg == MSG_OPENDS) return s.openFails ? TWRC_FAILURE : (s.open = true, TWRC_SUCCESS);
        if (msg == MSG_CLOSEDS) s.open = false;
        if (msg == MSG_USERSELECT) std::strcpy(static_cast<TwIdentity*>(data)->ProductName, "picked");
        return TWRC_SUCCESS;
    }
    if (dat == DAT_CAPABILITY) {
        auto& cap = *static_cast<TwCapability*>(data);
        const bool set = msg == MSG_SET;
        switch (cap.Cap) {
            case ICAP_XFERMECH:
                if (set) {
                    s.calls.push_back("mech=" + std::to_string(cap.Items[0]));
                    for (auto m : s.mechanisms)
                        if (m == cap.Items[0]) return s.mechanism = m, TWRC_SUCCESS;
                    return TWRC_FAILURE;
                }
                if (s.mechanisms.size() == 1) {
                    cap.ConType = TWON_ONEVALUE;
                    cap.Items[0] = s.mechanisms[0];
                } else {
                    cap.ConType = TWON_ENUMERATION;
                    cap.NumItems = std::uint32_t(s.mechanisms.size());
                    for (std::size_t i = 0; i < s.mechanisms.size(); ++i) cap.Items[i] = s.mechanisms[i];
                }
                return TWRC_SUCCESS;
            case ICAP_PLANARCHUNKY:
                if (set) return s.planarSet = cap, s.planarWasSet = true, TWRC_SUCCESS;
                cap.ConType = TWON_ENUMERATION;
                cap.NumItems = s.offersPlanar ? 2 : 1;
                cap.Items[0] = TWPC_CHUNKY;
                cap.Items[1] = TWPC_PLANAR;
                return TWRC_SUCCESS;
            case CAP_XFERCOUNT:
                if (set) s.calls.push_back("count=" + std::to_string(std::int16_t(cap.Items[0])));
                return TWRC_SUCCESS;
            case CAP_FEEDERENABLED:
                if (!s.feeder) return TWRC_FAILURE;
                cap.Items[0] = 1;
                return TWRC_SUCCESS;
            case CAP_FEEDERLOADED:
                cap.Items[0] = s.feederPages > 0 ? 1 : 0;
                return TWRC_SUCCESS;
            case CAP_AUTOFEED:
                return TWRC_SUCCESS;
        }
        return TWRC_FAILURE;
    }
    if (dat == DAT_USERINTERFACE) {
        s.enabled = msg == MSG_ENABLEDS;
        if (s.enabled) s.notice = MSG_XFERREADY;
        return TWRC_SUCCESS;
    }
    if (dat == DAT_EVENT) {
        auto& e = *static_cast<TwEvent*>(data);
        e.TWMessage = s.notice;
        s.notice = MSG_NULL;
        return e.TWMessage ? TWRC_DSEVENT : TWRC_NOTDSEVENT;
    }
    if (dat == DAT_IMAGEINFO) {
        *static_cast<TwImageInfo*>(data) = s.info;
        s.row = s.plane = 0;
        return TWRC_SUCCESS;
    }
    if (dat == DAT_SETUPMEMXFER) return *static_cast<TwSetupMemXfer*>(data) = s.setup, TWRC_SUCCESS;
    if (dat == DAT_PALETTE8) return s.paletteOk ? (*static_cast<TwPalette8*>(data) = s.palette, TWRC_SUCCESS) : TWRC_FAILURE;
    if (dat == DAT_PENDINGXFERS) {
        auto& p = *static_cast<TwPendingXfers*>(data);
        if (s.feederPages > 0) --s.feederPages;
        p.Count = std::int16_t(--s.images);
        return TWRC_SUCCESS;
    }
    if (dat == DAT_IMAGENATIVEXFER) {
        const TwImageInfo& i = s.info;
        const std::uint64_t rowBytes = ((std::uint64_t(i.BitsPerPixel) * i.ImageWidth + 31) / 32) * 4;
        const int colours = i.BitsPerPixel <= 8 ? 1 << i.BitsPerPixel : 0;
        HGlobal block = GlobalAlloc(kGlobalZeroInit, 40 + 4 * colours + rowBytes * std::uint64_t(i.ImageLength));
        BitmapInfoHeader h;
        h.biWidth = i.ImageWidth;
        h.biHeight = i.ImageLength;
        h.biBitCount = std::uint16_t(i.BitsPerPixel);
        std::memcpy(block->bytes.get(), &h, 40);
        *static_cast<HGlobal*>(data) = std::move(block);
        return TWRC_XFERDONE;
    }
    if (dat == DAT_IMAGEMEMXFER) {
        auto& x = *static_cast<TwImageMemXfer*>(data);
        s.bufferLengths.push_back(x.Memory.Length);
        if (++s.memCalls == s.pixelsFailAfter) return TWRC_FAILURE;
        const TwImageInfo& i = s.info;
        const int h = i.ImageLength, w = i.ImageWidth;
        const std::uint32_t fit = x.Memory.Length / x.BytesPerRow;
        std::uint32_t n = 0;
        auto* mem = static_cast<std::uint8_t*>(x.Memory.TheMem);
        x.YOffset = std::uint32_t(s.row);
        for (; n < fit && s.row < h; ++n, ++s.row) {
            std::uint8_t* out = mem + n * x.BytesPerRow;
            for (int px = 0; px < w; ++px) {
                if (s.planarData) out[px] = Sample(px, s.row, s.plane);
                else if (i.BitsPerPixel == 24)
                    for (int c = 0; c < 3; ++c) out[3 * px + c] = Sample(px, s.row, c);
                else if (i.BitsPerPixel == 8) out[px] = Sample(px, s.row, 0);
            }
        }
        x.Rows = n;
        if (s.row < h) return TWRC_SUCCESS;
        if (s.planarData && s.plane < 2) {
            ++s.plane;
            s.row = 0;
            return TWRC_SUCCESS;
        }
        return TWRC_XFERDONE;
    }
    (void)dg;
    return TWRC_FAILURE;
}

class ScriptLibrary : public ManagerLibrary {
public:
    bool present = true;
    int loads = 0, releases = 0;
    bool Present() override { return present; }
    bool Load() override { return ++loads, true; }
    DsmEntryProc Entry() override { return &ScriptEntry; }
    void Release() override { ++releases; }
};

struct Receiver : CTwainOwner {
    std::vector<std::unique_ptr<CPicture>> pictures;
    int natives = 0, empties = 0;
    void OnTwainXferDone(HGlobal dib, std::unique_ptr<CPicture> picture) override {
        if (dib) {
            auto p = std::make_unique<CPicture>();
            EXPECT_TRUE(p->AttachPackedDib(std::move(dib)));
            pictures.push_back(std::move(p));
            ++natives;
        } else if (picture) {
            pictures.push_back(std::move(picture));
        } else {
            ++empties;
        }
    }
};

TwImageInfo Info(int type, int bits, int w, int h, int dpi = 200) {
    TwImageInfo i;
    i.PixelType = std::int16_t(type);
    i.BitsPerPixel = std::int16_t(bits);
    i.ImageWidth = w;
    i.ImageLength = h;
    i.XResolution.Whole = i.YResolution.Whole = std::int16_t(dpi);
    return i;
}

class ScriptedSource : public ::testing::Test {
protected:
    void SetUp() override {
        ini_ = ::testing::TempDir() + "scripted_source_" + std::to_string(::getpid()) + ".ini";
        std::remove(ini_.c_str());
        platform::SetProfilePath(ini_);
        g_script = &script;
        SetMessageSink([this](const std::string& text) { messages.push_back(text); });
    }
    void TearDown() override {
        SetMessageSink({});
        platform::SetProfilePath("");
        std::remove(ini_.c_str());
        g_script = nullptr;
    }
    // Acquire and let the source's notices through, as the message loop would.
    void Scan(CTwainAcquirer& acquirer) {
        acquirer.Prepare(&receiver);
        if (!acquirer.Acquire()) return;
        while (acquirer.ProcessMessage(nullptr)) {
        }
    }
    Script script;
    Receiver receiver;
    ScriptLibrary library;
    std::vector<std::string> messages;
    std::string ini_;
};

TEST_F(ScriptedSource, ChoosesNativeOrMemoryAsTheSettingAndMemoryAllow) {
    // A source with native transfer only goes natively, whatever the setting.
    script.mechanisms = {TWSX_NATIVE};
    script.info = Info(TWPT_GRAY, 8, 10, 4);
    {
        CTwainAcquirer acquirer(library);
        Scan(acquirer);
        EXPECT_FALSE(acquirer.IsMemoryXfer());
    }
    ASSERT_EQ(receiver.pictures.size(), 1u);
    EXPECT_EQ(receiver.natives, 1);
    EXPECT_EQ(receiver.pictures[0]->GetXDpi(), 200);

    // Memory offered: memory, unless "TwainNative" asks for native and the
    // image fits in memory.
    script = Script{};
    script.info = Info(TWPT_GRAY, 8, 10, 4);
    script.images = 2;
    platform::WriteProfileInt("MainWindow", "TwainNative", 1);
    {
        CTwainAcquirer acquirer(library);
        Scan(acquirer);
    }
    EXPECT_EQ(receiver.natives, 3);
    // Too large for the memory there is: memory transfer after all.
    script = Script{};
    script.info = Info(TWPT_RGB, 24, 30000, 30000);
    script.pixelsFailAfter = 1;
    platform::SetMemoryBudget(64u << 20);
    {
        CTwainAcquirer acquirer(library);
        Scan(acquirer);
    }
    platform::SetMemoryBudget(0);
    EXPECT_EQ(receiver.natives, 3);
    EXPECT_EQ(script.memCalls, 1);
    EXPECT_EQ(script.calls.front(), "mech=2");
    EXPECT_EQ(receiver.empties, 1);  // the failed transfer delivers nothing
}

TEST_F(ScriptedSource, BufferSizeFollowsTheSourcesLimits) {
    struct Case {
        TwSetupMemXfer setup;
        int bits, width;
        std::uint32_t expected;
    };
    constexpr std::uint32_t any = TWON_DONTCARE32;
    // Gray rows of 100 pixels take 100 bytes.
    const Case cases[] = {
        {{any, any, 5000}, 8, 100, 5000},    // the preferred size
        {{any, any, any}, 8, 100, 65500},    // 64 KiB of whole rows
        {{70001, any, any}, 8, 100, 70100},  // the minimum, up to whole rows
        {{any, 1050, any}, 8, 100, 1000},    // the maximum, down to whole rows
        {{any, any, any}, 8, 30000, 60000},
        {{any, any, any}, 24, 30000, 90000},  // a row wider than 64 KiB: still one row
    };
    for (const Case& c : cases) {
        script = Script{};
        script.mechanisms = {TWSX_MEMORY};
        script.setup = c.setup;
        script.info = Info(c.bits == 8 ? TWPT_GRAY : TWPT_RGB, c.bits, c.width, 3);
        receiver.pictures.clear();
        CTwainAcquirer acquirer(library);
        Scan(acquirer);
        ASSERT_FALSE(script.bufferLengths.empty());
        EXPECT_EQ(script.bufferLengths[0], c.expected) << c.width;
        ASSERT_EQ(receiver.pictures.size(), 1u);
        if (c.bits != 8) continue;
        std::vector<std::uint8_t> row(std::size_t(c.width));
        receiver.pictures[0]->ReadRow(0, c.width - 1, 2, row.data());
        EXPECT_EQ(row[std::size_t(c.width - 1)], Sample(c.width - 1, 2, 0));
    }
}

TEST_F(ScriptedSource, MemoryRowsArriveInEveryColumnWithTheirColoursAndPalettes) {
    // Colour: red, green, blue from the source, blue, green, red stored.
    script.mechanisms = {TWSX_MEMORY};
    script.info = Info(TWPT_RGB, 24, 37, 21, 150);
    script.setup = {TWON_DONTCARE32, TWON_DONTCARE32, 5 * 112};  // strips of 5 rows
    {
        CTwainAcquirer acquirer(library);
        Scan(acquirer);
    }
    ASSERT_EQ(receiver.pictures.size(), 1u);
    CPicture& p = *receiver.pictures[0];
    EXPECT_EQ(p.GetType(), ptTrueColor24);
    EXPECT_EQ(p.GetXDpi(), 150);
    std::vector<std::uint8_t> row(37 * 3);
    for (int y : {0, 10, 20}) {
        p.ReadRow(0, 36, y, row.data());
        for (int x : {0, 18, 36})
            for (int c = 0; c < 3; ++c)
                EXPECT_EQ(row[std::size_t(3 * x + 2 - c)], Sample(x, y, c)) << x << "," << y << "," << c;
    }

    // A palette image takes the source's palette; a CMY palette or none
    // leaves the default table; gray of 16 bits cannot be received.
    struct Case {
        int type, bits;
        bool paletteOk;
        std::uint16_t paletteType;
        int expectedType;  // -1: nothing received
    };
    const Case cases[] = {
        {TWPT_PALETTE, 8, true, TWPA_RGB, ptColor256},
        {TWPT_PALETTE, 8, true, TWPA_CMY, ptColor256},
        {TWPT_GRAY, 8, false, 0, ptGray256},
        {TWPT_GRAY, 16, false, 0, -1},
        {TWPT_CMY, 24, false, 0, -1},
    };
    for (const Case& c : cases) {
        script = Script{};
        script.mechanisms = {TWSX_MEMORY};
        script.info = Info(c.type, c.bits, 8, 2);
        script.paletteOk = c.paletteOk;
        script.palette.NumColors = 256;
        script.palette.PaletteType = c.paletteType;
        for (int i = 0; i < 256; ++i) script.palette.Colors[i] = TwElement8{std::uint8_t(i), std::uint8_t(i), 7, 9};
        receiver.pictures.clear();
        receiver.empties = 0;
        CTwainAcquirer acquirer(library);
        Scan(acquirer);
        if (c.expectedType < 0) {
            EXPECT_TRUE(receiver.pictures.empty());
            EXPECT_EQ(receiver.empties, 1);
            continue;
        }
        ASSERT_EQ(receiver.pictures.size(), 1u);
        EXPECT_EQ(receiver.pictures[0]->GetType(), c.expectedType);
        const RgbQuad& q = receiver.pictures[0]->GetColourTable()[200];
        const bool sourcePalette = c.paletteOk && c.paletteType == TWPA_RGB;
        EXPECT_EQ(q.green == 7 && q.blue == 9, sourcePalette);
    }
}

TEST_F(ScriptedSource, PlanarTransferFillsEachChannelAndIsAskedForOnlyWithTheSetting) {
    script.mechanisms = {TWSX_MEMORY};
    script.offersPlanar = true;
    script.planarData = true;
    script.info = Info(TWPT_RGB, 24, 19, 13);
    script.info.Planar = true;
    script.setup = {TWON_DONTCARE32, TWON_DONTCARE32, 4 * 60};
    {
        CTwainAcquirer acquirer(library);
        Scan(acquirer);
    }
    EXPECT_FALSE(script.planarWasSet);
    ASSERT_EQ(receiver.pictures.size(), 1u);
    std::vector<std::uint8_t> row(19 * 3);
    for (int y : {0, 6, 12}) {
        receiver.pictures[0]->ReadRow(0, 18, y, row.data());
        for (int x : {0, 9, 18})
            for (int c = 0; c < 3; ++c) EXPECT_EQ(row[std::size_t(3 * x + 2 - c)], Sample(x, y, c));
    }
    platform::WriteProfileInt("MainWindow", "UsedPlanar", 1);
    script.images = 1;
    {
        CTwainAcquirer acquirer(library);
        Scan(acquirer);
    }
    ASSERT_TRUE(script.planarWasSet);
    EXPECT_EQ(script.planarSet.ConType, TWON_ENUMERATION);
    EXPECT_EQ(script.planarSet.NumItems, 2u);
    EXPECT_EQ(script.planarSet.Items[0], TWPC_PLANAR);
    EXPECT_EQ(script.planarSet.Items[1], TWPC_CHUNKY);
}

TEST_F(ScriptedSource, SourceStaysOpenOnlyWithALoadedFeeder) {
    script.info = Info(TWPT_GRAY, 8, 4, 4);
    script.images = 2;
    {
        CTwainAcquirer acquirer(library);
        Scan(acquirer);
        EXPECT_EQ(receiver.pictures.size(), 2u);
        EXPECT_FALSE(acquirer.IsSourceOpen());
        EXPECT_FALSE(acquirer.IsManagerOpen());
    }
    EXPECT_EQ(library.loads, library.releases);
    receiver.pictures.clear();
    script = Script{};
    script.info = Info(TWPT_GRAY, 8, 4, 4);
    script.feeder = true;
    script.feederPages = 5;
    script.images = 3;
    {
        CTwainAcquirer acquirer(library);
        Scan(acquirer);
        EXPECT_TRUE(acquirer.IsFeederInUse());
        EXPECT_EQ(receiver.pictures.size(), 3u);
        EXPECT_TRUE(acquirer.IsSourceOpen());
        EXPECT_TRUE(acquirer.IsSourceEnabled());
    }
    // Destroying the acquirer closes the conversation.
    EXPECT_FALSE(script.open);
    EXPECT_FALSE(script.manager);
    EXPECT_EQ(library.loads, library.releases);
}

TEST_F(ScriptedSource, FailuresShowTheirMessagesAndUnavailableDoesNothing) {
    script.managerFails = true;
    {
        CTwainAcquirer acquirer(library);
        acquirer.Prepare(&receiver);
        EXPECT_EQ(acquirer.Acquire(), 0);
        EXPECT_EQ(acquirer.SelectSource(), 0);
    }
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "The scanner manager could not be started.");
    EXPECT_EQ(messages[1], messages[0]);
    script = Script{};
    script.openFails = true;
    {
        CTwainAcquirer acquirer(library);
        acquirer.Prepare(&receiver);
        EXPECT_EQ(acquirer.Acquire(), 0);
        EXPECT_FALSE(acquirer.IsManagerOpen());
    }
    EXPECT_EQ(messages.back(),
              "The scanner driver could not be started. Please make sure that the scanner and its driver are installed correctly.");
    EXPECT_EQ(library.loads, library.releases);

    // Without the manager library every operation succeeds and does nothing.
    library.present = false;
    script = Script{};
    messages.clear();
    library.loads = 0;
    CTwainAcquirer acquirer(library);
    EXPECT_EQ(acquirer.Prepare(&receiver), 0);
    EXPECT_EQ(acquirer.Acquire(), 1);
    EXPECT_EQ(acquirer.SelectSource(), 1);
    EXPECT_FALSE(acquirer.ProcessMessage(nullptr));
    EXPECT_EQ(library.loads, 0);
    EXPECT_TRUE(messages.empty());

    // Identity: the application names itself.
    EXPECT_STREQ(acquirer.AppIdentity().Manufacturer, "Tesval");
    EXPECT_STREQ(acquirer.AppIdentity().ProductName, "Tesval ");
    EXPECT_EQ(acquirer.AppIdentity().Version.Country, 886);
}

}  // namespace
