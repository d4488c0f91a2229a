// The data source manager over SANE: the entry point, the sources and their
// transfers.
#include "platform/twain/dsm.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "base/message_box.h"
#include "base/progress.h"
#include "picture/bitmap.h"
#include "picture/global_block.h"
#include "platform/profile.h"
#include "platform/twain/sane_api.h"
#include "platform/twain/sane_device.h"
#include "resources/string_ids.h"
#include "resources/strings.h"

namespace twain {
namespace {

class Source;

// The source manager's state: one manager per process, as the entry point
// is one function; it owns the open sources and the hooks the program set.
struct Manager {
    SourceChooser* chooser = nullptr;
    SourceUi* ui = nullptr;
    ReadWaiter* waiter = nullptr;
    std::string defaultOverride;
    std::string lastError;
    void* parent = nullptr;  // the window the manager was opened with
    int openCount = 0;
    std::map<std::uint32_t, std::unique_ptr<Source>> sources;
    std::uint32_t nextSource = 1;
};
Manager& TheManager();
const char kSection[] = "Scanner";
const char kDefaultKey[] = "DefaultSource";

void CopyName(char (&field)[34], const std::string& text) {
    std::memset(field, 0, sizeof field);
    std::memcpy(field, text.data(), std::min(text.size(), sizeof field - 1));
}

// The full device names handed out in identities, by identity id: a
// device name may be longer than the identity's product name field.
std::vector<std::string>& IssuedNames() {
    static std::vector<std::string> names;
    return names;
}

std::uint32_t IdentityIdFor(const std::string& name) {
    auto& names = IssuedNames();
    auto it = std::find(names.begin(), names.end(), name);
    if (it == names.end()) it = names.insert(names.end(), name);
    return 1000u + std::uint32_t(it - names.begin());
}

void FillIdentity(TwIdentity& identity, const DeviceInfo& device) {
    identity.Id = IdentityIdFor(device.name);
    identity.ProtocolMajor = 1;
    identity.ProtocolMinor = 5;
    identity.SupportedGroups = DG_CONTROL | DG_IMAGE;
    CopyName(identity.Manufacturer, device.vendor);
    CopyName(identity.ProductFamily, device.model);
    CopyName(identity.ProductName, device.name);
}

// The device an identity names: its issued full name, else its product name.
std::string NameOf(const TwIdentity& identity) {
    const std::string product(identity.ProductName, strnlen(identity.ProductName, 34));
    const auto& names = IssuedNames();
    if (identity.Id >= 1000u && identity.Id - 1000u < names.size()) {
        const std::string& full = names[identity.Id - 1000u];
        if (full.compare(0, product.size(), product) == 0) return full;
    }
    return product;
}

bool Devices(SaneApi& api, std::vector<DeviceInfo>& devices, std::string& error) {
    devices.clear();
    const SANE_Device** list = nullptr;
    const SANE_Status status = api.get_devices(&list, SANE_FALSE);
    if (status != SANE_STATUS_GOOD) {
        error = StatusText(status);
        return false;
    }
    for (int i = 0; list && list[i]; ++i) {
        const SANE_Device* d = list[i];
        devices.push_back({d->name ? d->name : "", d->vendor ? d->vendor : "",
                           d->model ? d->model : "", d->type ? d->type : ""});
    }
    return true;
}

// One enabled-or-open data source and the image it is transferring.
class Source {
public:
    explicit Source(std::unique_ptr<SaneDevice> device) : device_(std::move(device)) {}
    ~Source() { Abort(); }

    SaneDevice& Device() { return *device_; }
    std::uint16_t Capability(std::uint16_t msg, TwCapability& cap);
    std::uint16_t Enable(const TwUserInterface& ui);
    void Disable() {
        Abort();
        notice_ = MSG_NULL;
        enabled_ = false;
    }
    std::uint16_t ProcessEvent(TwEvent& event);
    std::uint16_t ImageInfo(TwImageInfo& info);
    std::uint16_t SetupMemXfer(TwSetupMemXfer& setup);
    std::uint16_t MemXfer(TwImageMemXfer& xfer);
    std::uint16_t NativeXfer(HGlobal& dib);
    std::uint16_t EndXfer(TwPendingXfers& pending);

private:
    // The image under way: its frame, where its rows stand.
    struct Image {
        bool started = false;   // a frame of it has been started
        bool known = false;     // its format has been taken
        ScanFormat format;
        int planes = 1;         // 3 for a three-pass colour scan
        int plane = 0;
        int row = 0;            // next row of the plane
        bool done = false;      // every row handed out
        bool buffered = false;  // read whole first (height not known)
        std::vector<std::uint8_t> rows;  // the buffered rows (converted)
        std::vector<std::uint8_t> line;  // one line as the device sends it
        bool progress = false;
    };

    std::uint16_t Fail(const std::string& reason, bool tell);
    std::uint16_t Cancelled();
    void Abort();
    std::uint16_t StartImage();
    void TakeResolution();
    bool ReadBuffered();
    // The next converted row (of the plane under way) into out; 1, or 0
    // after a failure or a cancel that has already been answered (status).
    int NextRow(std::uint8_t* out, std::uint16_t& status);
    bool StepRows();
    int OutBytes() const {
        ScanFormat f = image_.format;
        if (image_.planes == 3) f.kind = ScanFormat::Gray;
        return ConvertedLineBytes(f);
    }
    int Height() const { return image_.format.height; }
    void EndProgressIfOn() {
        if (image_.progress) EndProgress();
        image_.progress = false;
    }

    std::unique_ptr<SaneDevice> device_;
    bool enabled_ = false;
    std::uint16_t notice_ = MSG_NULL;
    std::uint32_t mechanism_ = TWSX_NATIVE;
    std::uint32_t planar_ = TWPC_CHUNKY;
    int transferCount_ = -1;
    bool autoFeed_ = false;
    bool noDocuments_ = false;
    // The resolution of the scan, taken before it starts: devices answer
    // no option questions while they scan.
    double xDpi_ = -1, yDpi_ = -1;
    Image image_;
};

std::uint16_t Source::Fail(const std::string& reason, bool tell) {
    TheManager().lastError = reason;
    Abort();
    if (tell) ShowMessage(FormatStringById(IDS_SCANNER_ERROR, reason.c_str()));
    return TWRC_FAILURE;
}

std::uint16_t Source::Cancelled() {
    TheManager().lastError = "cancelled";
    Abort();
    return TWRC_CANCEL;
}

void Source::Abort() {
    EndProgressIfOn();
    if (image_.started) device_->Cancel();
    image_ = Image{};
}

std::uint16_t Source::Capability(std::uint16_t msg, TwCapability& cap) {
    const bool set = msg == MSG_SET;
    auto one = [&](std::uint16_t type, std::uint32_t value) {
        cap.ConType = TWON_ONEVALUE;
        cap.ItemType = type;
        cap.NumItems = 1;
        cap.CurrentIndex = cap.DefaultIndex = 0;
        cap.Items[0] = value;
        return TWRC_SUCCESS;
    };
    // A choice of two, current the index of the one in force.
    auto two = [&](std::uint16_t type, std::uint32_t first, std::uint32_t second, std::uint32_t current) {
        cap.ConType = TWON_ENUMERATION;
        cap.ItemType = type;
        cap.NumItems = 2;
        cap.Items[0] = first;
        cap.Items[1] = second;
        cap.CurrentIndex = current;
        cap.DefaultIndex = 0;
        return TWRC_SUCCESS;
    };
    auto value = [&]() -> std::uint32_t {
        return cap.ConType == TWON_ENUMERATION && cap.CurrentIndex < std::min(cap.NumItems, 8u)
                   ? cap.Items[cap.CurrentIndex]
                   : cap.Items[0];
    };
    // Nothing changes in the middle of an image.
    if (set && image_.started && (image_.row > 0 || image_.plane > 0)) return TWRC_FAILURE;
    switch (cap.Cap) {
        case ICAP_XFERMECH:
            if (set) {
                const std::uint32_t v = value();
                if (v != TWSX_NATIVE && v != TWSX_MEMORY) return TWRC_FAILURE;
                mechanism_ = v;
                return TWRC_SUCCESS;
            }
            return two(TWTY_UINT16, TWSX_NATIVE, TWSX_MEMORY, mechanism_ == TWSX_MEMORY ? 1 : 0);
        case ICAP_PLANARCHUNKY:
            // Three-pass devices deliver planes whatever is asked; the
            // setting says what the application can take.
            if (set) {
                if (cap.ConType == TWON_ENUMERATION) {
                    for (std::uint32_t i = 0; i < std::min(cap.NumItems, 8u); ++i)
                        if (cap.Items[i] > TWPC_PLANAR) return TWRC_FAILURE;
                    planar_ = cap.NumItems > 0 ? value() : TWPC_CHUNKY;
                } else {
                    if (cap.Items[0] > TWPC_PLANAR) return TWRC_FAILURE;
                    planar_ = cap.Items[0];
                }
                return TWRC_SUCCESS;
            }
            return two(TWTY_UINT16, TWPC_CHUNKY, TWPC_PLANAR, planar_);
        case CAP_XFERCOUNT:
            if (set) {
                const std::int16_t count = std::int16_t(std::uint16_t(cap.Items[0]));
                if (count == 0 || count < -1) return TWRC_FAILURE;
                transferCount_ = count;
                return TWRC_SUCCESS;
            }
            return one(TWTY_INT16, std::uint16_t(std::int16_t(transferCount_)));
        case CAP_FEEDERENABLED:
            if (device_->FeederEntry().empty()) return TWRC_FAILURE;
            if (set) {
                if (!device_->SelectFeeder(cap.Items[0] != 0)) return TWRC_FAILURE;
                noDocuments_ = false;
                return TWRC_SUCCESS;
            }
            return one(TWTY_BOOL, device_->FeederSelected() ? 1 : 0);
        case CAP_FEEDERLOADED:
            if (set || device_->FeederEntry().empty()) return TWRC_FAILURE;
            return one(TWTY_BOOL, device_->FeederSelected() && !noDocuments_ ? 1 : 0);
        case CAP_AUTOFEED:
            if (device_->FeederEntry().empty()) return TWRC_FAILURE;
            if (set) {
                autoFeed_ = cap.Items[0] != 0;
                return TWRC_SUCCESS;
            }
            return one(TWTY_BOOL, autoFeed_ ? 1 : 0);
        default:
            return TWRC_FAILURE;
    }
}

std::uint16_t Source::Enable(const TwUserInterface& ui) {
    if (enabled_) return TWRC_FAILURE;
    enabled_ = true;
    noDocuments_ = false;
    bool scan = true;
    if (ui.ShowUI && TheManager().ui) scan = TheManager().ui->Run(*device_, ui.hParent);
    // The source tells its application through the next event it is given.
    notice_ = scan ? MSG_XFERREADY : MSG_CLOSEDSREQ;
    return TWRC_SUCCESS;
}

std::uint16_t Source::ProcessEvent(TwEvent& event) {
    event.TWMessage = notice_;
    if (notice_ == MSG_NULL) return TWRC_NOTDSEVENT;
    notice_ = MSG_NULL;
    return TWRC_DSEVENT;
}

void Source::TakeResolution() {
    xDpi_ = yDpi_ = -1;
    if (!device_->GetNumber("resolution", xDpi_)) device_->GetNumber("x-resolution", xDpi_);
    if (!device_->GetNumber("y-resolution", yDpi_)) yDpi_ = xDpi_;
}

std::uint16_t Source::StartImage() {
    if (!image_.started) {
        TakeResolution();
        const SANE_Status status = device_->Start();
        if (status != SANE_STATUS_GOOD) {
            if (status == SANE_STATUS_NO_DOCS) noDocuments_ = true;
            device_->Cancel();
            if (status == SANE_STATUS_CANCELLED) return Cancelled();
            // An empty feeder ends a batch; it is no fault to report.
            return Fail(StatusText(status), status != SANE_STATUS_NO_DOCS);
        }
        image_.started = true;
    }
    if (image_.known) return TWRC_SUCCESS;
    ScanFormat format;
    std::string error;
    if (!device_->Format(format)) return Fail("no frame parameters", true);
    if (!CheckFrame(format, error)) return Fail(error, true);
    image_.format = format;
    image_.planes = format.kind == ScanFormat::Gray || format.kind == ScanFormat::Rgb ? 1 : 3;
    image_.line.assign(std::size_t(format.bytesPerLine), 0);
    image_.known = true;
    if (image_.planes == 3 && format.kind != ScanFormat::Red)
        return Fail("three-pass frames out of order", true);
    if (format.height < 0) {
        if (image_.planes == 3) return Fail("three-pass scan of unknown length", true);
        if (!ReadBuffered()) return TheManager().lastError == "cancelled" ? TWRC_CANCEL : TWRC_FAILURE;
    }
    return TWRC_SUCCESS;
}

// A device that does not know the length of its scan (a hand scanner) is
// read to its end before the image is described.
bool Source::ReadBuffered() {
    const int out = OutBytes();
    std::string error;
    int rows = 0;
    for (;;) {
        const int r = device_->ReadLine(image_.line.data(), image_.format.bytesPerLine, error);
        if (r == 0) break;
        if (r == -2) {
            Cancelled();
            return false;
        }
        if (r < 0) {
            Fail(error == "short" ? LoadStringById(IDS_SCANNER_SHORT_DATA) : error, true);
            return false;
        }
        if (rows >= 32767) {
            Fail("image too long", true);
            return false;
        }
        image_.rows.resize(image_.rows.size() + std::size_t(out));
        ConvertLine(image_.format, image_.line.data(), image_.rows.data() + std::size_t(rows) * std::size_t(out));
        ++rows;
    }
    if (rows == 0) {
        Fail(LoadStringById(IDS_SCANNER_SHORT_DATA), true);
        return false;
    }
    image_.format.height = rows;
    image_.buffered = true;
    return true;
}

std::uint16_t Source::ImageInfo(TwImageInfo& info) {
    if (!enabled_) return TWRC_FAILURE;
    const std::uint16_t rc = StartImage();
    if (rc != TWRC_SUCCESS) return rc;
    const ScanFormat& f = image_.format;
    info = TwImageInfo{};
    info.XResolution.Whole = std::int16_t(std::clamp(xDpi_, -1.0, 32767.0));
    info.YResolution.Whole = std::int16_t(std::clamp(yDpi_, -1.0, 32767.0));
    info.ImageWidth = f.width;
    info.ImageLength = f.height;
    info.Compression = TWCP_NONE;
    if (f.kind == ScanFormat::Gray) {
        info.PixelType = f.depth == 1 ? TWPT_BW : TWPT_GRAY;
        info.SamplesPerPixel = 1;
        info.BitsPerSample[0] = info.BitsPerPixel = f.depth == 1 ? 1 : 8;
    } else {
        info.PixelType = TWPT_RGB;
        info.SamplesPerPixel = 3;
        info.BitsPerSample[0] = info.BitsPerSample[1] = info.BitsPerSample[2] = 8;
        info.BitsPerPixel = 24;
        info.Planar = image_.planes == 3;
    }
    return TWRC_SUCCESS;
}

std::uint16_t Source::SetupMemXfer(TwSetupMemXfer& setup) {
    if (!enabled_ || !image_.known) return TWRC_FAILURE;
    ScanFormat f = image_.format;
    const std::uint32_t bits = f.kind == ScanFormat::Gray ? (f.depth == 1 ? 1 : 8) : 24;
    setup.MinBufSize = std::uint32_t(((std::uint64_t(bits) * std::uint64_t(f.width) + 31) / 32) * 4);
    setup.MaxBufSize = TWON_DONTCARE32;
    setup.Preferred = TWON_DONTCARE32;
    return TWRC_SUCCESS;
}

bool Source::StepRows() {
    if (!image_.progress) {
        BeginProgressWithCaption(IDS_SCANNING, 0, unsigned(Height()) * unsigned(image_.planes));
        image_.progress = true;
    }
    return StepProgress(unsigned(image_.plane * Height() + image_.row));
}

int Source::NextRow(std::uint8_t* out, std::uint16_t& status) {
    const int bytes = OutBytes();
    if (image_.buffered) {
        std::memcpy(out, image_.rows.data() + std::size_t(image_.row) * std::size_t(bytes), std::size_t(bytes));
    } else {
        std::string error;
        const int r = device_->ReadLine(image_.line.data(), image_.format.bytesPerLine, error);
        if (r == -2) {
            status = Cancelled();
            return 0;
        }
        if (r != 1) {
            status = Fail(r == 0 || error == "short" ? std::string(LoadStringById(IDS_SCANNER_SHORT_DATA)) : error, true);
            return 0;
        }
        ConvertLine(image_.format, image_.line.data(), out);
    }
    if ((image_.row & 15) == 0 && StepRows()) {
        status = Cancelled();
        return 0;
    }
    ++image_.row;
    if (image_.row < Height()) return 1;
    // The plane is complete: the end of its frame, then the next frame.
    std::string error;
    if (!image_.buffered && !device_->DrainFrame(error)) {
        status = Fail(error, true);
        return 0;
    }
    if (image_.plane + 1 >= image_.planes) {
        image_.done = true;
        EndProgressIfOn();
        return 1;
    }
    const SANE_Status s = device_->Start();
    ScanFormat next;
    if (s != SANE_STATUS_GOOD) {
        status = s == SANE_STATUS_CANCELLED ? Cancelled() : Fail(StatusText(s), true);
        return 0;
    }
    const ScanFormat::Kind expected = image_.plane == 0 ? ScanFormat::Green : ScanFormat::Blue;
    if (!device_->Format(next) || next.kind != expected || next.width != image_.format.width ||
        next.height != image_.format.height || next.depth != image_.format.depth) {
        status = Fail("three-pass frames do not match", true);
        return 0;
    }
    ++image_.plane;
    image_.row = 0;
    return 1;
}

std::uint16_t Source::MemXfer(TwImageMemXfer& xfer) {
    if (!enabled_ || !image_.known || image_.done) return TWRC_FAILURE;
    const int bytes = OutBytes();
    if (xfer.BytesPerRow < std::uint32_t(bytes) || !xfer.Memory.TheMem) return Fail("buffer too small", true);
    const std::uint32_t fit = xfer.Memory.Length / xfer.BytesPerRow;
    if (fit == 0) return Fail("buffer too small", true);
    auto* memory = static_cast<std::uint8_t*>(xfer.Memory.TheMem);
    const int top = image_.row;
    const int plane = image_.plane;
    std::uint32_t rows = 0;
    std::uint16_t status = TWRC_SUCCESS;
    // A strip stays within one plane.
    while (rows < fit && image_.plane == plane && !image_.done) {
        if (!NextRow(memory + std::size_t(rows) * xfer.BytesPerRow, status)) return status;
        ++rows;
    }
    xfer.Compression = TWCP_NONE;
    xfer.Columns = std::uint32_t(image_.format.width);
    xfer.Rows = rows;
    xfer.XOffset = 0;
    xfer.YOffset = std::uint32_t(top);
    xfer.BytesWritten = rows * xfer.BytesPerRow;
    return image_.done ? TWRC_XFERDONE : TWRC_SUCCESS;
}

std::uint16_t Source::NativeXfer(HGlobal& dib) {
    if (!enabled_ || !image_.known || image_.done || image_.row != 0 || image_.plane != 0)
        return TWRC_FAILURE;
    const ScanFormat& f = image_.format;
    const int bits = f.kind == ScanFormat::Gray ? (f.depth == 1 ? 1 : 8) : 24;
    const std::uint64_t rowBytes = ((std::uint64_t(bits) * std::uint64_t(f.width) + 31) / 32) * 4;
    const int colours = bits == 1 ? 2 : bits == 8 ? 256 : 0;
    const std::uint64_t headerBytes = 40 + 4 * std::uint64_t(colours);
    HGlobal block = GlobalAlloc(kGlobalMoveable, headerBytes + rowBytes * std::uint64_t(f.height));
    if (!block) return Fail(LoadStringById(IDS_OUT_OF_MEMORY), true);
    std::uint8_t* base = block->bytes.get();
    BitmapInfoHeader header;
    header.biWidth = f.width;
    header.biHeight = f.height;
    header.biBitCount = std::uint16_t(bits);
    header.biSizeImage = 0;  // the acquirer fills it in
    header.biClrUsed = std::uint32_t(colours);
    std::memcpy(base, &header, sizeof header);
    auto* table = reinterpret_cast<RgbQuad*>(base + 40);
    for (int i = 0; i < colours; ++i) {
        const std::uint8_t v = std::uint8_t(colours == 2 ? i * 255 : i);
        table[i] = RgbQuad{v, v, v, 0};
    }
    std::uint8_t* pixels = base + headerBytes;
    std::memset(pixels, 0, std::size_t(rowBytes * std::uint64_t(f.height)));
    std::vector<std::uint8_t> row(static_cast<std::size_t>(OutBytes()));
    std::uint16_t status = TWRC_SUCCESS;
    while (!image_.done) {
        const int plane = image_.plane, y = image_.row;
        if (!NextRow(row.data(), status)) return status;
        std::uint8_t* out = pixels + std::uint64_t(f.height - 1 - y) * rowBytes;
        if (bits != 24) {
            std::memcpy(out, row.data(), row.size());
        } else if (image_.planes == 3) {
            for (int x = 0; x < f.width; ++x) out[3 * x + 2 - plane] = row[std::size_t(x)];
        } else {
            for (int x = 0; x < f.width; ++x) {
                out[3 * x] = row[std::size_t(3 * x + 2)];
                out[3 * x + 1] = row[std::size_t(3 * x + 1)];
                out[3 * x + 2] = row[std::size_t(3 * x)];
            }
        }
    }
    dib = std::move(block);
    return TWRC_XFERDONE;
}

std::uint16_t Source::EndXfer(TwPendingXfers& pending) {
    if (!enabled_) return TWRC_FAILURE;
    const bool whole = image_.done;
    Abort();
    pending.Count = 0;
    pending.EOJ = 0;
    if (transferCount_ > 0) --transferCount_;
    const bool feeding = whole && transferCount_ != 0 && device_->FeederSelected();
    if (feeding) {
        // The next sheet: an empty feeder ends the batch.
        const SANE_Status status = device_->Start();
        if (status == SANE_STATUS_GOOD) {
            image_.started = true;
            pending.Count = std::int16_t(transferCount_ < 0 ? -1 : transferCount_);
            return TWRC_SUCCESS;
        }
        device_->Cancel();
        if (status == SANE_STATUS_NO_DOCS) noDocuments_ = true;
        else if (status != SANE_STATUS_CANCELLED) ShowMessage(FormatStringById(IDS_SCANNER_ERROR, StatusText(status).c_str()));
        // The batch is over: like a user closing the source's window.
        notice_ = MSG_CLOSEDSREQ;
    }
    return TWRC_SUCCESS;
}

Manager& TheManager() {
    static Manager manager;
    return manager;
}

Source* SourceFor(const TwIdentity* dest) {
    if (!dest) return nullptr;
    const std::uint32_t id = dest->Id;  // a copy: the record is packed
    auto it = TheManager().sources.find(id);
    return it == TheManager().sources.end() ? nullptr : it->second.get();
}

std::uint16_t OpenSource(TwIdentity& identity) {
    SaneApi* api = AcquireSane();
    if (!api) return TWRC_FAILURE;
    std::string name = NameOf(identity);
    if (name.empty()) name = DefaultSourceName();
    std::vector<DeviceInfo> devices;
    std::string error;
    Devices(*api, devices, error);
    DeviceInfo info{name, "", name, ""};
    for (const DeviceInfo& d : devices)
        if (d.name == name) info = d;
    SANE_Handle handle = nullptr;
    SANE_Status status = SANE_STATUS_INVAL;
    if (!name.empty()) status = api->open(name.c_str(), &handle);
    if (status != SANE_STATUS_GOOD || !handle) {
        TheManager().lastError = name.empty() ? LoadStringById(IDS_SCANNER_NO_DEVICE) : name + ": " + StatusText(status);
        ReleaseSane();
        return TWRC_FAILURE;
    }
    FillIdentity(identity, info);
    const std::uint32_t key = TheManager().nextSource++;
    // The source's key is what the conversation names it by from now on.
    identity.Id = key;
    TheManager().sources[key] = std::make_unique<Source>(std::make_unique<SaneDevice>(*api, handle, name));
    return TWRC_SUCCESS;
}

std::uint16_t SelectSource(TwIdentity& identity, void* parent) {
    SaneApi* api = AcquireSane();
    if (!api) return TWRC_FAILURE;
    std::vector<DeviceInfo> devices;
    std::string error;
    const bool listed = Devices(*api, devices, error);
    ReleaseSane();
    if (!listed) {
        TheManager().lastError = error;
        return TWRC_FAILURE;
    }
    if (devices.empty()) {
        TheManager().lastError = LoadStringById(IDS_SCANNER_NO_DEVICE);
        ShowMessageById(IDS_SCANNER_NO_DEVICE);
        return TWRC_CANCEL;
    }
    std::string chosen = DefaultSourceName();
    if (TheManager().chooser && !TheManager().chooser->Choose(devices, chosen, chosen, parent)) return TWRC_CANCEL;
    for (const DeviceInfo& d : devices)
        if (d.name == chosen) {
            FillIdentity(identity, d);
            platform::WriteProfileString(kSection, kDefaultKey, d.name);
            return TWRC_SUCCESS;
        }
    return TWRC_CANCEL;
}

std::uint16_t Entry(TwIdentity* origin, TwIdentity* dest, std::uint32_t group, std::uint16_t dat,
                    std::uint16_t msg, void* data) {
    if (!origin) return TWRC_FAILURE;
    if (group == DG_CONTROL && dat == DAT_PARENT) {
        if (msg == MSG_OPENDSM) {
            if (!AcquireSane()) return TWRC_FAILURE;
            ++TheManager().openCount;
            TheManager().parent = data ? *static_cast<void**>(data) : nullptr;
            return TWRC_SUCCESS;
        }
        if (msg == MSG_CLOSEDSM) {
            if (TheManager().openCount <= 0) return TWRC_FAILURE;
            --TheManager().openCount;
            ReleaseSane();
            return TWRC_SUCCESS;
        }
        return TWRC_FAILURE;
    }
    if (TheManager().openCount <= 0) return TWRC_FAILURE;
    auto* identity = static_cast<TwIdentity*>(data);
    if (group == DG_CONTROL && dat == DAT_IDENTITY) {
        if (!identity) return TWRC_FAILURE;
        switch (msg) {
            case MSG_GETDEFAULT: {
                const std::string name = DefaultSourceName();
                if (name.empty()) return TWRC_FAILURE;
                FillIdentity(*identity, DeviceInfo{name, "", name, ""});
                return TWRC_SUCCESS;
            }
            case MSG_USERSELECT:
                return SelectSource(*identity, TheManager().parent);
            case MSG_OPENDS:
                return OpenSource(*identity);
            case MSG_CLOSEDS: {
                const std::uint32_t id = identity->Id;
                auto it = TheManager().sources.find(id);
                if (it == TheManager().sources.end()) return TWRC_FAILURE;
                TheManager().sources.erase(it);
                ReleaseSane();
                return TWRC_SUCCESS;
            }
            default:
                return TWRC_FAILURE;
        }
    }
    Source* source = SourceFor(dest);
    if (!source || !data) return TWRC_FAILURE;
    if (group == DG_CONTROL) {
        switch (dat) {
            case DAT_CAPABILITY: {
                auto& cap = *static_cast<TwCapability*>(data);
                if (msg != MSG_GET && msg != MSG_GETCURRENT && msg != MSG_SET) return TWRC_FAILURE;
                return source->Capability(msg, cap);
            }
            case DAT_USERINTERFACE:
                if (msg == MSG_ENABLEDS) return source->Enable(*static_cast<TwUserInterface*>(data));
                if (msg == MSG_DISABLEDS) {
                    source->Disable();
                    return TWRC_SUCCESS;
                }
                return TWRC_FAILURE;
            case DAT_EVENT:
                if (msg != MSG_PROCESSEVENT) return TWRC_FAILURE;
                return source->ProcessEvent(*static_cast<TwEvent*>(data));
            case DAT_PENDINGXFERS:
                if (msg != MSG_ENDXFER) return TWRC_FAILURE;
                return source->EndXfer(*static_cast<TwPendingXfers*>(data));
            case DAT_SETUPMEMXFER:
                if (msg != MSG_GET) return TWRC_FAILURE;
                return source->SetupMemXfer(*static_cast<TwSetupMemXfer*>(data));
            default:
                return TWRC_FAILURE;
        }
    }
    if (group == DG_IMAGE && msg == MSG_GET) {
        switch (dat) {
            case DAT_IMAGEINFO: return source->ImageInfo(*static_cast<TwImageInfo*>(data));
            case DAT_IMAGEMEMXFER: return source->MemXfer(*static_cast<TwImageMemXfer*>(data));
            case DAT_IMAGENATIVEXFER: return source->NativeXfer(*static_cast<HGlobal*>(data));
            case DAT_PALETTE8: return TWRC_FAILURE;  // the devices have no palettes
            default: return TWRC_FAILURE;
        }
    }
    return TWRC_FAILURE;
}

class SaneLibrary final : public ManagerLibrary {
public:
    bool Present() override { return ManagerLibraryPresent(); }
    bool Load() override {
        if (loaded_) return true;
        loaded_ = AcquireSane() != nullptr;
        return loaded_;
    }
    DsmEntryProc Entry() override { return loaded_ ? &twain::Entry : nullptr; }
    void Release() override {
        if (loaded_) ReleaseSane();
        loaded_ = false;
    }

private:
    bool loaded_ = false;
};

}  // namespace

ReadWaiter* CurrentReadWaiter() { return TheManager().waiter; }

bool ManagerLibraryPresent() {
    if (!AcquireSane()) return false;
    ReleaseSane();
    return true;
}

ManagerLibrary& SaneManagerLibrary() {
    static SaneLibrary library;
    return library;
}

bool ListDevices(std::vector<DeviceInfo>& devices, std::string& error) {
    devices.clear();
    SaneApi* api = AcquireSane();
    if (!api) {
        error = "cannot load " + SaneLibraryName();
        return false;
    }
    const bool ok = Devices(*api, devices, error);
    ReleaseSane();
    return ok;
}

void SetSourceChooser(SourceChooser* chooser) { TheManager().chooser = chooser; }
void SetSourceUi(SourceUi* ui) { TheManager().ui = ui; }
void SetReadWaiter(ReadWaiter* waiter) { TheManager().waiter = waiter; }

std::string DefaultSourceName() {
    if (!TheManager().defaultOverride.empty()) return TheManager().defaultOverride;
    std::string name = platform::GetProfileString(kSection, kDefaultKey, "");
    SaneApi* api = AcquireSane();
    if (!api) return name;
    std::vector<DeviceInfo> devices;
    std::string error;
    Devices(*api, devices, error);
    ReleaseSane();
    for (const DeviceInfo& d : devices)
        if (d.name == name) return name;
    // The remembered device is gone: the first one there is.
    return devices.empty() ? std::string() : devices.front().name;
}

void SetDefaultSourceOverride(const std::string& name) { TheManager().defaultOverride = name; }

std::string LastError() { return TheManager().lastError; }

}  // namespace twain
