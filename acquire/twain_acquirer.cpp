// The scanning conversation: manager, source, negotiation, transfers.
#include "acquire/twain_acquirer.h"

#include <cstring>
#include <utility>

#include "base/message_box.h"
#include "picture/bitmap.h"
#include "platform/profile.h"
#include "platform/system.h"
#include "resources/string_ids.h"
#include "resources/strings.h"

using namespace twain;

namespace {

// Memory the system keeps free beside a native transfer's bitmap.
constexpr std::uint64_t kNativeReserve = 233472;
constexpr char kVersionText[] = "1.0";

void CopyText(char (&field)[34], const std::string& text) {
    std::memset(field, 0, sizeof field);
    std::memcpy(field, text.data(), std::min(text.size(), sizeof field - 1));
}

std::uint32_t CurrentValue(const TwCapability& cap) {
    if (cap.ConType == TWON_ENUMERATION)
        return cap.CurrentIndex < std::min<std::uint32_t>(cap.NumItems, 8) ? cap.Items[cap.CurrentIndex]
                                                                        : 0xFFFFFFFFu;
    return cap.Items[0];
}

// Whether value is offered: an item of an enumeration, or the one value.
bool Offers(const TwCapability& cap, std::uint32_t value) {
    if (cap.ConType == TWON_ENUMERATION) {
        for (std::uint32_t i = 0; i < std::min<std::uint32_t>(cap.NumItems, 8); ++i)
            if (cap.Items[i] == value) return true;
        return false;
    }
    return cap.ConType == TWON_ONEVALUE && cap.Items[0] == value;
}

}  // namespace

CTwainAcquirer::CTwainAcquirer(ManagerLibrary& library) : m_library(library) {}

CTwainAcquirer::~CTwainAcquirer() { CloseAll(); }

std::uint16_t CTwainAcquirer::Call(TwIdentity* dest, std::uint32_t group, std::uint16_t dat,
                                   std::uint16_t msg, void* data) {
    if (!m_pDsmEntry) return TWRC_FAILURE;
    return m_pDsmEntry(&m_appIdentity, dest, group, dat, msg, data);
}

int CTwainAcquirer::Prepare(CTwainOwner* mainWnd) {
    m_appIdentity = TwIdentity{};
    m_appIdentity.Id = 0;
    m_appIdentity.Version.MajorNum = 2;
    m_appIdentity.Version.MinorNum = 0;
    m_appIdentity.Version.Language = 13;
    m_appIdentity.Version.Country = 886;
    CopyText(m_appIdentity.Version.Info, kVersionText);
    m_appIdentity.ProtocolMajor = 1;
    m_appIdentity.ProtocolMinor = 5;
    m_appIdentity.SupportedGroups = DG_CONTROL | DG_IMAGE;
    const std::string manufacturer = LoadStringById(IDS_MANUFACTURER);
    CopyText(m_appIdentity.Manufacturer, manufacturer);
    CopyText(m_appIdentity.ProductFamily, LoadStringById(IDS_PRODUCT_FAMILY));
    // The product name is the manufacturer, a blank, and string 5043 where
    // the table has one.
    CopyText(m_appIdentity.ProductName, manufacturer + " " + (HasString(5043) ? LoadStringById(5043) : ""));
    m_pMainWnd = mainWnd;
    if (!m_pOwner) m_pOwner = mainWnd;
    m_bManagerOpen = false;
    m_bSourceOpen = false;
    m_bSourceEnabled = false;
    m_bAvailable = m_library.Present();
    return m_bAvailable ? 1 : 0;
}

int CTwainAcquirer::OpenManager() {
    if (!m_bAvailable) return 1;
    if (m_bManagerOpen) return 0;
    if (!m_library.Load()) return 0;
    m_pDsmEntry = m_library.Entry();
    if (!m_pDsmEntry) {
        m_library.Release();
        return 0;
    }
    void* parent = m_pOwner ? m_pOwner->WindowHandle() : nullptr;
    if (Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &parent) != TWRC_SUCCESS) {
        m_pDsmEntry = nullptr;
        m_library.Release();
        return 0;
    }
    m_bManagerOpen = true;
    return 1;
}

int CTwainAcquirer::CloseManager() {
    if (!m_bAvailable) return 1;
    if (!m_bManagerOpen) return 1;
    void* parent = m_pOwner ? m_pOwner->WindowHandle() : nullptr;
    const std::uint16_t rc = Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent);
    m_bManagerOpen = false;
    m_pDsmEntry = nullptr;
    m_library.Release();
    return rc == TWRC_SUCCESS ? 1 : 0;
}

int CTwainAcquirer::OpenDefaultSource() {
    if (!m_bAvailable) return 1;
    if (!m_bManagerOpen || m_bSourceOpen) return 0;
    m_srcIdentity.Id = 0;
    std::memset(m_srcIdentity.ProductName, 0, sizeof m_srcIdentity.ProductName);
    if (Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &m_srcIdentity) != TWRC_SUCCESS) return 0;
    m_bSourceOpen = true;
    return 1;
}

int CTwainAcquirer::CloseSource() {
    if (!m_bAvailable) return 1;
    if (!m_bSourceOpen) return 1;
    const std::uint16_t rc = Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &m_srcIdentity);
    m_bSourceOpen = false;
    m_bSourceEnabled = false;
    return rc == TWRC_SUCCESS ? 1 : 0;
}

int CTwainAcquirer::EnableSource() {
    if (!m_bAvailable) return 1;
    if (!m_bSourceOpen) return 0;
    TwUserInterface ui;
    ui.ShowUI = true;
    ui.ModalUI = true;
    ui.hParent = m_pOwner ? m_pOwner->WindowHandle() : nullptr;
    // Enabled before the call: the source's interface may hand back its
    // notice before the call returns.
    m_bSourceEnabled = true;
    if (SourceCall(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui) != TWRC_SUCCESS) {
        m_bSourceEnabled = false;
        return 0;
    }
    return 1;
}

int CTwainAcquirer::DisableSource() {
    if (!m_bAvailable) return 1;
    if (!m_bSourceEnabled) return 1;
    TwUserInterface ui;
    ui.ShowUI = false;
    m_bSourceEnabled = false;
    return SourceCall(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui) == TWRC_SUCCESS ? 1 : 0;
}

int CTwainAcquirer::SelectSource() {
    if (!m_bAvailable) return 1;
    if (!OpenManager()) {
        ShowMessageById(IDS_TWAIN_MANAGER_FAILED);
        return 0;
    }
    TwIdentity choice;
    Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &choice);
    const std::uint16_t rc = Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &choice);
    if (rc == TWRC_SUCCESS) m_srcIdentity = choice;
    CloseManager();
    return rc == TWRC_SUCCESS ? 1 : 0;
}

int CTwainAcquirer::Acquire() {
    if (!m_bAvailable) return 1;
    if (!OpenManager()) {
        ShowMessageById(IDS_TWAIN_MANAGER_FAILED);
        return 0;
    }
    if (!OpenDefaultSource()) {
        ShowMessageById(IDS_TWAIN_DRIVER_FAILED);
        CloseManager();
        return 0;
    }
    Negotiate();
    if (!EnableSource()) {
        CloseSource();
        CloseManager();
        return 0;
    }
    return 1;
}

bool CTwainAcquirer::GetCapability(std::uint16_t cap, TwCapability& value) {
    value = TwCapability{};
    value.Cap = cap;
    return SourceCall(DG_CONTROL, DAT_CAPABILITY, MSG_GET, &value) == TWRC_SUCCESS;
}

bool CTwainAcquirer::SetOneValue(std::uint16_t cap, std::uint16_t itemType, std::uint32_t value) {
    TwCapability c;
    c.Cap = cap;
    c.ConType = TWON_ONEVALUE;
    c.ItemType = itemType;
    c.NumItems = 1;
    c.Items[0] = value;
    return SourceCall(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &c) == TWRC_SUCCESS;
}

void CTwainAcquirer::Negotiate() {
    TwCapability cap;
    // 1. Buffered memory when the source offers it.
    m_bMemoryXfer = false;
    m_bNativeSet = false;
    m_bNativeWanted = platform::GetProfileInt("MainWindow", "TwainNative", 0) != 0;
    if (GetCapability(ICAP_XFERMECH, cap)) {
        const bool memory = cap.ConType == TWON_ENUMERATION ? Offers(cap, TWSX_MEMORY)
                                                            : cap.ConType == TWON_ONEVALUE && cap.Items[0] == TWSX_MEMORY;
        if (memory && SetOneValue(ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY)) m_bMemoryXfer = true;
    }
    // 2. Planar transfer of colour images, when asked for and possible.
    if (GetCapability(ICAP_PLANARCHUNKY, cap) && Offers(cap, TWPC_PLANAR) &&
        platform::GetProfileInt("MainWindow", "UsedPlanar", 0) != 0) {
        TwCapability e;
        e.Cap = ICAP_PLANARCHUNKY;
        e.ConType = TWON_ENUMERATION;
        e.ItemType = TWTY_UINT16;
        e.NumItems = 2;
        e.CurrentIndex = 0;
        e.DefaultIndex = 0;
        e.Items[0] = TWPC_PLANAR;
        e.Items[1] = TWPC_CHUNKY;
        SourceCall(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &e);
    }
    // 3. Any number of images.
    SetOneValue(CAP_XFERCOUNT, TWTY_INT16, std::uint16_t(std::int16_t(-1)));
    // 4. The feeder.
    m_bFeederInUse = FeederCheck();
}

bool CTwainAcquirer::FeederCheck() {
    TwCapability cap;
    if (!GetCapability(CAP_FEEDERENABLED, cap) || CurrentValue(cap) != 1) return false;
    if (!SetOneValue(CAP_FEEDERENABLED, TWTY_BOOL, 1)) return false;
    if (!GetCapability(CAP_FEEDERLOADED, cap) || CurrentValue(cap) != 1) return false;
    return SetOneValue(CAP_AUTOFEED, TWTY_BOOL, 1);
}

bool CTwainAcquirer::ProcessMessage(void* message) {
    if (!m_bAvailable || !m_bManagerOpen || !m_bSourceOpen) return false;
    TwEvent event;
    event.pEvent = message;
    const std::uint16_t rc = SourceCall(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
    if (event.TWMessage == MSG_XFERREADY) TransferAll();
    else if (event.TWMessage == MSG_CLOSEDSREQ) CloseAll();
    return rc == TWRC_DSEVENT;
}

void CTwainAcquirer::TransferAll() {
    for (;;) {
        m_imageInfo = TwImageInfo{};
        if (SourceCall(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &m_imageInfo) != TWRC_SUCCESS) {
            Deliver(nullptr, nullptr);
            break;
        }
        if (m_imageInfo.XResolution.Whole < 0) m_imageInfo.XResolution = TwFix32{std::int16_t(m_screenDpiX), 0};
        if (m_imageInfo.YResolution.Whole < 0) m_imageInfo.YResolution = TwFix32{std::int16_t(m_screenDpiY), 0};
        m_imageInfo.XResolution.Frac = 0;
        m_imageInfo.YResolution.Frac = 0;
        TransferOne();
        TwPendingXfers pending;
        if (SourceCall(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending) != TWRC_SUCCESS ||
            pending.Count == 0)
            break;
    }
    if (!m_bSourceOpen) return;  // closed while an image was delivered
    if (!m_bFeederInUse) {
        m_bFeederInUse = FeederCheck();
        if (!m_bFeederInUse) CloseAll();
    }
}

void CTwainAcquirer::TransferOne() {
    const TwImageInfo& info = m_imageInfo;
    bool native = !m_bMemoryXfer;
    if (m_bMemoryXfer) {
        const std::uint64_t bytes = std::uint64_t(std::max<int>(info.BitsPerPixel, 0)) *
                                        std::uint64_t(std::max(info.ImageWidth, 0)) *
                                        std::uint64_t(std::max(info.ImageLength, 0)) / 8 +
                                    kNativeReserve;
        if (m_bNativeWanted &&
            bytes < platform::AvailableMemory() &&
            SetOneValue(ICAP_XFERMECH, TWTY_UINT32, TWSX_NATIVE)) {
            native = true;
            m_bNativeSet = true;
        } else if (m_bNativeSet) {
            // An earlier image went natively: this one goes by memory again.
            if (SetOneValue(ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY)) m_bNativeSet = false;
            else native = true;
        }
    }
    if (!native) {
        Deliver(nullptr, MemoryTransfer());
        return;
    }
    HGlobal dib;
    const std::uint16_t rc = SourceCall(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &dib);
    if (rc != TWRC_XFERDONE || !dib || dib->size < sizeof(BitmapInfoHeader)) {
        Deliver(nullptr, nullptr);
        return;
    }
    BitmapInfoHeader header;
    std::memcpy(&header, dib->bytes.get(), sizeof header);
    header.biXPelsPerMeter = std::int32_t(info.XResolution.Whole) * 5000 / 127;
    header.biYPelsPerMeter = std::int32_t(info.YResolution.Whole) * 5000 / 127;
    if (header.biSizeImage == 0)
        header.biSizeImage = std::uint32_t(((std::uint64_t(header.biBitCount) * std::uint64_t(std::max(header.biWidth, 0)) + 31) / 32) *
                                           4 * std::uint64_t(header.biHeight < 0 ? -std::int64_t(header.biHeight) : header.biHeight));
    std::memcpy(dib->bytes.get(), &header, sizeof header);
    Deliver(std::move(dib), nullptr);
}

std::unique_ptr<CPicture> CTwainAcquirer::MemoryTransfer() {
    const TwImageInfo& info = m_imageInfo;
    const int width = info.ImageWidth, height = info.ImageLength, bits = info.BitsPerPixel;
    if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide || bits <= 0 || bits > 32)
        return nullptr;
    // 1. Buffer sizes.
    TwSetupMemXfer setup;
    if (SourceCall(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup) != TWRC_SUCCESS) return nullptr;
    const std::uint64_t rowBytes = ((std::uint64_t(bits) * std::uint64_t(width) + 31) / 32) * 4;
    // 2. The buffer: the source's preferred size, else 64 KiB of whole rows,
    // within the source's minimum and maximum. At least one row always:
    // a row wider than 64 KiB would otherwise leave no room at all.
    std::uint64_t size = setup.Preferred != TWON_DONTCARE32 && setup.Preferred != 0
                             ? setup.Preferred
                             : 65536 - 65536 % rowBytes;
    if (setup.MinBufSize != TWON_DONTCARE32 && setup.MinBufSize > size) {
        size = setup.MinBufSize;
        if (size % rowBytes) size += rowBytes - size % rowBytes;
    }
    if (setup.MaxBufSize != TWON_DONTCARE32 && setup.MaxBufSize < size)
        size = setup.MaxBufSize - setup.MaxBufSize % rowBytes;
    if (size < rowBytes) size = rowBytes;
    if (size > 0xFFFFFFFFull - 4) return nullptr;
    CGlobalBlock buffer;
    std::uint8_t* memory = buffer.Allocate(kGlobalMoveable, size + 4);
    if (!memory) return nullptr;

    // 3. The palette and 4. the picture type.
    std::unique_ptr<Palette> palette;
    int type = ptTrueColor24;
    switch (info.PixelType) {
        case TWPT_BW:
            type = ptBlackWhite;
            palette = CreateStandardPalette(ptBlackWhite);
            break;
        case TWPT_GRAY:
            if (bits != 4 && bits != 8) return nullptr;
            type = bits == 4 ? ptGray16 : ptGray256;
            palette = CreateStandardPalette(type);
            break;
        case TWPT_RGB:
            type = ptTrueColor24;
            palette = CreateStandardPalette(ptTrueColor24);
            break;
        case TWPT_PALETTE: {
            auto source = std::make_unique<TwPalette8>();
            if (SourceCall(DG_IMAGE, DAT_PALETTE8, MSG_GET, source.get()) == TWRC_SUCCESS &&
                source->NumColors > 0 && source->PaletteType != TWPA_CMY) {
                std::vector<PaletteEntry> entries(std::min<std::size_t>(source->NumColors, 256));
                for (std::size_t i = 0; i < entries.size(); ++i) {
                    const TwElement8& e = source->Colors[i];
                    if (e.Index < entries.size()) entries[e.Index] = PaletteEntry{e.Channel1, e.Channel2, e.Channel3, 0};
                }
                palette = std::make_unique<Palette>(std::move(entries));
            }
            type = bits == 1 ? ptBlackWhite : bits == 4 ? ptColor16 : bits == 8 ? ptColor256 : ptTrueColor24;
            break;
        }
        default:
            return nullptr;
    }
    if (info.PixelType != TWPT_BW && info.PixelType != TWPT_PALETTE && bits == 1) type = ptBlackWhite;
    // The rows must be what the picture stores.
    if (BitsForType(type) != bits) return nullptr;
    BitmapInfoHeader header;
    BuildInfoHeader(&header, type, width, height, info.XResolution.Whole, info.YResolution.Whole);

    // 5. The buffer as the source sees it.
    TwImageMemXfer xfer;
    const bool planar = info.Planar && type == ptTrueColor24;
    std::unique_ptr<CPicture> picture;
    std::int64_t offset = 0;
    int plane = -1;
    std::int64_t firstOffset = -1;
    for (bool first = true;; first = false) {
        xfer = TwImageMemXfer{};
        xfer.Compression = TWCP_NONE;
        xfer.BytesPerRow = std::uint32_t(rowBytes);
        xfer.Columns = std::uint32_t(width);
        xfer.Rows = std::uint32_t(size / rowBytes);
        xfer.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
        xfer.Memory.Length = std::uint32_t(size);
        xfer.Memory.TheMem = memory;
        const std::uint16_t rc = SourceCall(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer);
        if (rc != TWRC_SUCCESS && rc != TWRC_XFERDONE) return nullptr;
        if (first) {
            picture = std::make_unique<CDocPicture>();
            if (!picture->CreateFromInfo(&header, palette.get(), kStoreAny)) return nullptr;
            if (picture->GetStoreState() == kStateInMemory) FillWithBackground(picture.get(), nullptr);
        }
        const std::uint32_t rows = std::min<std::uint32_t>(xfer.Rows, std::uint32_t(size / rowBytes));
        if (rows == 0 && rc == TWRC_SUCCESS) return nullptr;  // a source that sends nothing would spin
        if (!planar) {
            for (std::uint32_t r = 0; r < rows && offset + r < std::uint32_t(height); ++r) {
                std::uint8_t* row = memory + std::uint64_t(r) * rowBytes;
                if (type == ptTrueColor24)
                    for (int x = 0; x < width; ++x) std::swap(row[3 * x], row[3 * x + 2]);
                if (!picture->WriteRow(0, width - 1, int(offset + r), row)) return nullptr;
            }
            offset += rows;
            if (rc == TWRC_XFERDONE || offset >= height) break;
            continue;
        }
        // Planes: red, then green, then blue, each from the first strip's row.
        if (firstOffset < 0) firstOffset = xfer.YOffset;
        if (std::int64_t(xfer.YOffset) == firstOffset) ++plane;
        if (plane > 2) return nullptr;
        const int channel = 2 - plane;
        const int top = int(xfer.YOffset);
        const int count = int(std::min<std::int64_t>(rows, std::max<std::int64_t>(height - top, 0)));
        if (count > 0) {
            if (picture->GetStoreState() == kStateInMemory ||
                platform::AvailableMemory() < 4 * size) {
                for (int r = count - 1; r >= 0; --r)
                    if (!picture->WriteChannelRow(0, width - 1, top + r, memory + std::uint64_t(r) * rowBytes, channel))
                        return nullptr;
            } else {
                // One band: the rows packed one after the other.
                for (int r = 1; r < count; ++r)
                    std::memmove(memory + std::uint64_t(r) * std::uint64_t(width),
                                 memory + std::uint64_t(r) * rowBytes, std::size_t(width));
                if (!picture->WriteChannelBand(Rect{0, top, width - 1, top + count - 1}, memory, channel))
                    return nullptr;
            }
        }
        offset = top + rows;
        if (plane >= 2 && (rc == TWRC_XFERDONE || offset >= height)) break;
        if (rc == TWRC_XFERDONE && plane < 2 && offset < height) return nullptr;
    }
    return picture;
}

void CTwainAcquirer::Deliver(HGlobal dib, std::unique_ptr<CPicture> picture) {
    CTwainOwner* owner = m_pOwner ? m_pOwner : m_pMainWnd;
    if (owner) owner->OnTwainXferDone(std::move(dib), std::move(picture));
}

void CTwainAcquirer::CloseAll() {
    DisableSource();
    CloseSource();
    CloseManager();
}
