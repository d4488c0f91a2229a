// CPicture: creation, release, header and palette, the BMP stream and the
// free functions over types and palettes.
#include "picture/picture.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr int kInfoHeaderBytes = 40;
constexpr int kMaxColours = 256;
constexpr int kColourTableBytes = 4 * kMaxColours;

// The standard 16 colours as red, green, blue.
constexpr std::uint8_t kStandard16[16][3] = {
    {0, 0, 0},       {0, 0, 128},     {0, 128, 0},   {0, 128, 128},
    {128, 0, 0},     {128, 0, 128},   {128, 128, 0}, {192, 192, 192},
    {128, 128, 128}, {0, 0, 255},     {0, 255, 0},   {0, 255, 255},
    {255, 0, 0},     {255, 0, 255},   {255, 255, 0}, {255, 255, 255},
};
constexpr std::uint8_t kCubeLevels[6] = {0, 50, 101, 152, 203, 254};

// Writes the default table of type into count entries (table order). The
// 16-level gray ramp steps by gray16Step.
void BuildDefaultTable(int type, RgbQuad* table, int count, int gray16Step) {
    std::fill(table, table + count, RgbQuad{});
    auto set = [&](int i, int r, int g, int b) {
        if (i >= count) return;
        table[i].red = std::uint8_t(r);
        table[i].green = std::uint8_t(g);
        table[i].blue = std::uint8_t(b);
        table[i].reserved = 0;
    };
    switch (type) {
    case ptBlackWhite:
        break;
    case ptGray256:
        for (int i = 0; i < 255; ++i) set(i, i, i, i);
        break;
    case ptGray16:
        for (int i = 0; i < 15; ++i) set(i, i * gray16Step, i * gray16Step, i * gray16Step);
        break;
    case ptColor16:
        for (int i = 0; i < 15; ++i) set(i, kStandard16[i][0], kStandard16[i][1], kStandard16[i][2]);
        break;
    default:
        for (int i = 0; i < 16; ++i) set(i, kStandard16[i][0], kStandard16[i][1], kStandard16[i][2]);
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    set(16 + 36 * r + 6 * g + b, kCubeLevels[r], kCubeLevels[g], kCubeLevels[b]);
        for (int i = 232; i < 255; ++i) set(i, (i - 232) * 11, (i - 232) * 11, (i - 232) * 11);
        break;
    }
    if (count > 0) set(count - 1, 255, 255, 255);
}

// Pels per metre with the defaults: one missing takes the other, both
// missing take the default resolution.
void DefaultResolution(std::uint32_t& x, std::uint32_t& y) {
    if (x == 0 && y == 0) {
        x = y = DpiToPpm(kDefaultDpi);
    } else if (x == 0) {
        x = y;
    } else if (y == 0) {
        y = x;
    }
}

std::uint32_t PositivePpm(std::int32_t ppm) { return ppm > 0 ? std::uint32_t(ppm) : 0; }

void PutLe16(std::uint8_t* p, std::uint16_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}
void PutLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
}

}  // namespace

// ---------------------------------------------------------------------------
// Types

int BitsForType(int type) {
    static constexpr int kBits[9] = {1, 24, 4, 8, 4, 8, 16, 16, 32};
    return type >= 0 && type < 9 ? kBits[type] : 0;
}

int ColoursForType(int type) {
    switch (type) {
    case ptBlackWhite: return 2;
    case ptColor16:
    case ptGray16: return 16;
    case ptTrueColor24:
    case ptColor256:
    case ptGray256:
    case ptColor32K:
    case ptColor64K:
    case ptTrueColor32: return 256;
    default: return 0;
    }
}

int StandardColourCount(int type) {
    static constexpr int kCounts[9] = {2, 256, 16, 256, 16, 256, 256, 256, 256};
    return type >= 0 && type < 9 ? kCounts[type] : 0;
}

PictureType TypeForBitCount(int bits) {
    switch (bits) {
    case 1: return ptBlackWhite;
    case 4: return ptColor16;
    case 8: return ptColor256;
    case 15: return ptColor32K;
    case 16: return ptColor64K;
    case 24: return ptTrueColor24;
    case 32: return ptTrueColor32;
    default: return ptUnknown;
    }
}

std::uint64_t RowBytesFor(std::int64_t width, int bits) {
    if (width <= 0 || bits <= 0) return 0;
    return ((std::uint64_t(width) * std::uint64_t(bits) + 31) / 32) * 4;
}

// ---------------------------------------------------------------------------
// Creation and release

CPicture::CPicture() = default;

CPicture::~CPicture() { Clear(); }

int CPicture::AllocateHeaderBlock() {
    const std::uint64_t size = rowBytes_ < 1036 ? 2104 : rowBytes_ + 1068;
    std::uint8_t* p = headerBlock_.Allocate(kGlobalMoveable | kGlobalZeroInit, size);
    if (!p) return 0;
    header_ = reinterpret_cast<BitmapInfoHeader*>(p);
    colourTable_ = reinterpret_cast<RgbQuad*>(p + kInfoHeaderBytes);
    scratch_ = p + kInfoHeaderBytes + kColourTableBytes;
    return 1;
}

int CPicture::Create(int type, int width, int height, int colourCount, const RgbQuad* colourTable,
                     std::uint32_t xPpm, std::uint32_t yPpm, int storeFlags) {
    if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide) return 0;
    const int bits = BitsForType(type);
    if (bits == 0 || colourCount < 0 || colourCount > kMaxColours) return 0;

    Clear();
    DefaultResolution(xPpm, yPpm);
    type_ = std::int16_t(type);
    rowBytes_ = RowBytesFor(width, bits);
    if (!AllocateHeaderBlock()) {
        Clear();
        return 0;
    }
    const std::uint32_t coloursUsed =
        (bits > 8 || colourCount != 0) ? std::uint32_t(colourCount) : (1u << bits);
    header_->biSize = kInfoHeaderBytes;
    header_->biWidth = width;
    header_->biHeight = height;
    header_->biPlanes = 1;
    header_->biBitCount = std::uint16_t(bits);
    header_->biCompression = 0;
    header_->biSizeImage = std::uint32_t(ImageBytes());
    header_->biXPelsPerMeter = std::int32_t(xPpm);
    header_->biYPelsPerMeter = std::int32_t(yPpm);
    header_->biClrUsed = coloursUsed;
    header_->biClrImportant = 0;
    headerSize_ = kInfoHeaderBytes + 4 * int(coloursUsed);

    if (!store_.Allocate(ImageBytes() + std::uint64_t(headerSize_), storeFlags)) {
        Clear();
        return 0;
    }
    if (coloursUsed != 0) {
        if (colourTable)
            std::memcpy(colourTable_, colourTable, coloursUsed * sizeof(RgbQuad));
        else
            BuildDefaultColourTable(type);
        RealizeColourTable(int(coloursUsed), nullptr);
        RefineGrayType();
    }
    WriteHeaderToStore();
    return 1;
}

int CPicture::CreateFromHeader(const BitmapInfoHeader* header, int width, int height, int type,
                               int storeFlags) {
    if (!header) return 0;
    if (width == 0) width = header->biWidth;
    if (height == 0) height = header->biHeight;
    const std::uint32_t xPpm = PositivePpm(header->biXPelsPerMeter);
    const std::uint32_t yPpm = PositivePpm(header->biYPelsPerMeter);
    if (type != ptUnknown)
        return Create(type, width, height, ColoursForType(type), nullptr, xPpm, yPpm, storeFlags);

    const int bits = header->biBitCount;
    type = TypeForBitCount(bits);
    if (type == ptUnknown || header->biClrUsed > std::uint32_t(kMaxColours)) return 0;
    int count = int(header->biClrUsed);
    if (bits <= 8 && count == 0) count = ColoursForType(type);
    const RgbQuad* table =
        count ? reinterpret_cast<const RgbQuad*>(reinterpret_cast<const std::uint8_t*>(header) +
                                                 kInfoHeaderBytes)
              : nullptr;
    return Create(type, width, height, count, table, xPpm, yPpm, storeFlags);
}

int CPicture::CreateFromInfo(const BitmapInfoHeader* header, const Palette* palette,
                             int storeFlags) {
    if (!header) return 0;
    // The copy carries the default table of its depth behind it; a given
    // palette replaces it afterwards.
    struct {
        BitmapInfoHeader header;
        RgbQuad table[kMaxColours];
    } info{};
    info.header = *header;
    info.header.biSize = kInfoHeaderBytes;
    const int type = TypeForBitCount(header->biBitCount);
    BuildDefaultTable(type, info.table, std::min<int>(ColoursForType(type), kMaxColours), 17);
    if (!CreateFromHeader(&info.header, 0, 0, ptUnknown, storeFlags)) return 0;
    if (palette && !palette->Empty()) SetPalette(palette);
    return 1;
}

int CPicture::AttachPackedDib(HGlobal block) {
    Clear();
    if (!block) return 0;
    if (!store_.AttachHandle(std::move(block))) return 0;
    std::uint8_t* memory = store_.GetMemory();
    const std::uint64_t blockSize = store_.GetSize();
    if (!memory || blockSize < std::uint64_t(kInfoHeaderBytes)) {
        Clear();
        return 0;
    }
    BitmapInfoHeader source;
    std::memcpy(&source, memory, sizeof source);
    int bits = source.biBitCount;
    const PictureType type = TypeForBitCount(bits);
    if (type == ptUnknown || source.biWidth <= 0 || source.biHeight <= 0 ||
        source.biWidth > kMaxPictureSide || source.biHeight > kMaxPictureSide ||
        source.biCompression != 0 || source.biClrUsed > std::uint32_t(kMaxColours)) {
        Clear();
        return 0;
    }
    if (bits == 15) bits = 16;  // 5-5-5 pixels take two bytes
    type_ = type;
    rowBytes_ = RowBytesFor(source.biWidth, bits);
    if (!AllocateHeaderBlock()) {
        Clear();
        return 0;
    }
    *header_ = source;
    header_->biSize = kInfoHeaderBytes;
    header_->biBitCount = std::uint16_t(bits);
    std::uint32_t x = PositivePpm(source.biXPelsPerMeter), y = PositivePpm(source.biYPelsPerMeter);
    DefaultResolution(x, y);
    header_->biXPelsPerMeter = std::int32_t(x);
    header_->biYPelsPerMeter = std::int32_t(y);
    header_->biSizeImage = std::uint32_t(ImageBytes());
    if (bits <= 8 && header_->biClrUsed == 0) header_->biClrUsed = 1u << bits;
    headerSize_ = kInfoHeaderBytes + 4 * int(header_->biClrUsed);
    // A block too short for its own rows would leave rows unreadable.
    if (blockSize < std::uint64_t(headerSize_) + ImageBytes()) {
        Clear();
        return 0;
    }
    if (header_->biClrUsed != 0) {
        std::memcpy(colourTable_, memory + kInfoHeaderBytes, header_->biClrUsed * sizeof(RgbQuad));
        RealizeColourTable(int(header_->biClrUsed), nullptr);
        RefineGrayType();
    }
    store_.Touch(false);
    return 1;
}

HGlobal CPicture::DetachPackedDib() {
    if (!header_) return nullptr;
    if (!WriteHeaderToStore()) return nullptr;
    HGlobal block = store_.DetachHandle();
    if (!block) return nullptr;
    Clear();
    return block;
}

int CPicture::WriteHeaderToStore() {
    if (!header_) return 0;
    const std::uint64_t bytes = std::uint64_t(headerSize_);
    return store_.WriteBytes(0, bytes, header_) == bytes;
}

void CPicture::Clear() {
    headerBlock_.Free();
    palette_.reset();
    store_.Empty();
    type_ = ptGray256;
    headerSize_ = 1064;
    rowBytes_ = 0;
    header_ = nullptr;
    colourTable_ = nullptr;
    scratch_ = nullptr;
}

std::unique_ptr<CPicture> CPicture::Duplicate(CPicture* source, int storeFlags) {
    if (!source || !source->header_) return nullptr;
    const BitmapInfoHeader& h = *source->header_;
    std::unique_ptr<CPicture> copy(new (std::nothrow) CDocPicture);
    if (!copy) return nullptr;
    if (!copy->Create(source->type_, h.biWidth, h.biHeight, int(h.biClrUsed), source->colourTable_,
                      PositivePpm(h.biXPelsPerMeter), PositivePpm(h.biYPelsPerMeter), storeFlags))
        return nullptr;
    if (source->palette_ && !source->palette_->Empty()) {
        auto palette = CopyPalette(source->palette_.get(), StandardColourCount(source->type_));
        copy->SetPalette(palette.get());
    }
    if (!copy->CopyAllRows(source)) return nullptr;
    return copy;
}

int CPicture::WriteBmp(std::FILE* file) {
    if (!file || !header_) return 0;
    std::uint8_t fileHeader[14] = {};
    PutLe16(fileHeader, 0x4D42);
    PutLe32(fileHeader + 2, std::uint32_t(ImageBytes() + std::uint64_t(headerSize_) + 14));
    PutLe32(fileHeader + 10, std::uint32_t(headerSize_ + 14));
    if (std::fwrite(fileHeader, 1, sizeof fileHeader, file) != sizeof fileHeader) return 0;
    if (std::fwrite(header_, 1, std::size_t(headerSize_), file) != std::size_t(headerSize_))
        return 0;
    const int height = header_->biHeight;
    for (int r = 0; r < height; ++r) {
        const std::uint64_t offset = std::uint64_t(headerSize_) + std::uint64_t(r) * rowBytes_;
        if (store_.ReadBytes(offset, rowBytes_, scratch_) != rowBytes_) return 0;
        if (std::fwrite(scratch_, 1, std::size_t(rowBytes_), file) != std::size_t(rowBytes_))
            return 0;
    }
    return std::fflush(file) == 0 && !std::ferror(file);
}

// ---------------------------------------------------------------------------
// Queries

int CPicture::GetWidth() const { return header_ ? header_->biWidth : 0; }
int CPicture::GetHeight() const { return header_ ? header_->biHeight : 0; }
int CPicture::GetBitCount() const { return header_ ? header_->biBitCount : 0; }
int CPicture::GetXDpi() const {
    return header_ ? int(PpmToDpi(PositivePpm(header_->biXPelsPerMeter))) : 0;
}
int CPicture::GetYDpi() const {
    return header_ ? int(PpmToDpi(PositivePpm(header_->biYPelsPerMeter))) : 0;
}

bool CPicture::IsSameFormat(const CPicture& other) const {
    if (!header_ || !other.header_) return false;
    return header_->biPlanes == other.header_->biPlanes &&
           header_->biBitCount == other.header_->biBitCount &&
           header_->biCompression == other.header_->biCompression;
}

std::uint64_t CPicture::SegmentBytes(int x0, int x1) const {
    if (!header_) return 0;
    if (x0 > x1) std::swap(x0, x1);
    x0 = std::max(x0, 0);
    x1 = std::min(x1, header_->biWidth - 1);
    if (x1 < x0) return 0;
    const std::uint64_t n = std::uint64_t(x1 - x0) + 1;
    return (n * header_->biBitCount + 7) / 8;
}

std::uint64_t CPicture::ImageBytes() const {
    return header_ ? std::uint64_t(header_->biHeight) * rowBytes_ : 0;
}

// ---------------------------------------------------------------------------
// Palette and type

void CPicture::BuildDefaultColourTable(int type) {
    if (!colourTable_) return;
    BuildDefaultTable(type, colourTable_, ColoursForType(type), 17);
}

int CPicture::RealizeColourTable(int count, const std::uint8_t* lookup) {
    if (!colourTable_ || count <= 0) return 0;
    count = std::min(count, kMaxColours);
    std::vector<PaletteEntry> entries(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const RgbQuad& q = colourTable_[i];
        PaletteEntry& e = entries[std::size_t(i)];
        e.red = lookup ? lookup[q.red] : q.red;
        e.green = lookup ? lookup[256 + q.green] : q.green;
        e.blue = lookup ? lookup[512 + q.blue] : q.blue;
    }
    std::unique_ptr<Palette> palette(new (std::nothrow) Palette(std::move(entries)));
    if (!palette) return 0;
    palette_ = std::move(palette);
    return 1;
}

int CPicture::SetPalette(const Palette* palette) {
    if (!header_ || !palette || palette->Empty()) return 0;
    const int count = std::min(palette->Count(), ColoursForType(type_));
    if (count <= 0) return 0;
    for (int i = 0; i < count; ++i) {
        const PaletteEntry& e = (*palette)[i];
        colourTable_[i] = RgbQuad{e.blue, e.green, e.red, 0};
    }
    if (!RealizeColourTable(count, nullptr)) return 0;
    RefineGrayType();
    return 1;
}

void CPicture::RefineGrayType() {
    if (!header_) return;
    const std::uint32_t used = header_->biClrUsed;
    auto isRamp = [&](int count, int step) {
        for (int i = 0; i < count; ++i) {
            const RgbQuad& q = colourTable_[i];
            if (q.red != i * step || q.green != i * step || q.blue != i * step) return false;
        }
        return true;
    };
    if (header_->biBitCount == 4) {
        type_ = ptColor16;
        if ((used == 0 || used == 16) && isRamp(16, 17)) type_ = ptGray16;
    } else if (header_->biBitCount == 8) {
        type_ = ptColor256;
        if ((used == 0 || used == 256) && isRamp(256, 1)) type_ = ptGray256;
    }
}

// ---------------------------------------------------------------------------
// Swap

int CPicture::SwapOut() { return header_ ? store_.SwapOut() : 0; }
int CPicture::SwapIn() { return header_ ? store_.SwapIn() : 0; }

// ---------------------------------------------------------------------------
// Free functions

void BuildInfoHeader(BitmapInfoHeader* header, int type, int width, int height, int xDpi,
                     int yDpi) {
    if (!header) return;
    *header = BitmapInfoHeader{};
    const int bits = BitsForType(type);
    header->biSize = kInfoHeaderBytes;
    header->biWidth = width;
    header->biHeight = height;
    header->biPlanes = 1;
    header->biBitCount = std::uint16_t(bits);
    header->biCompression = 0;
    header->biSizeImage = std::uint32_t(RowBytesFor(width, bits) * std::uint64_t(std::max(height, 0)));
    header->biXPelsPerMeter = std::int32_t(DpiToPpm(std::uint32_t(std::max(xDpi, 0))));
    header->biYPelsPerMeter = std::int32_t(DpiToPpm(std::uint32_t(std::max(yDpi, 0))));
    header->biClrUsed = bits == 0 ? 0 : bits <= 8 ? (1u << bits) : 256u;
    header->biClrImportant = 0;
}

std::unique_ptr<CPicture> NewPictureLike(CPicture* source, int fill, int width, int height) {
    if (!source || !source->HasHeader()) return nullptr;
    const int type = source->GetType();
    const Palette* sourcePalette = source->GetPalette();
    const bool hasPalette = sourcePalette && !sourcePalette->Empty();
    // Indexed pictures need their palette; deeper ones keep it for display only.
    if (!hasPalette && BitsForType(type) <= 8) return nullptr;
    if (width == 0) width = source->GetWidth();
    if (height == 0) height = source->GetHeight();

    BitmapInfoHeader header;
    BuildInfoHeader(&header, type, width, height, source->GetXDpi(), source->GetYDpi());
    std::unique_ptr<CPicture> picture(new (std::nothrow) CDocPicture);
    if (!picture || !picture->CreateFromHeader(&header, 0, 0, type, kStoreAny)) return nullptr;
    if (hasPalette) {
        auto palette = CopyPalette(sourcePalette, StandardColourCount(type));
        if (!palette || !picture->SetPalette(palette.get())) return nullptr;
    }
    if (fill == 1 && !FillWithBackground(picture.get(), nullptr)) return nullptr;
    return picture;
}

int FillWithBackground(CPicture* picture, const Rect* rect) {
    if (!picture || !picture->HasHeader()) return 0;
    constexpr std::uint32_t kWhite = 0x00FFFFFF;
    std::uint32_t colour = kWhite;
    switch (picture->GetBitCount()) {
    case 24:
    case 32:
        break;
    case 16:
        colour = 0x7FFF;  // white in 5-5-5
        break;
    default: {
        const Palette* palette = picture->GetPalette();
        const int index = palette ? palette->NearestIndex(kWhite) : -1;
        colour = index >= 0 ? std::uint32_t(index) : (1u << picture->GetBitCount()) - 1;
        break;
    }
    }
    return picture->FillRect(colour, rect);  // none: the whole picture
}

std::unique_ptr<Palette> CreateStandardPalette(int type) {
    const int count = StandardColourCount(type);
    if (count == 0) return nullptr;
    RgbQuad table[kMaxColours];
    BuildDefaultTable(type, table, count, 16);
    std::vector<PaletteEntry> entries(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        entries[std::size_t(i)] = PaletteEntry{table[i].red, table[i].green, table[i].blue, 0};
    return std::make_unique<Palette>(std::move(entries));
}

std::unique_ptr<Palette> CopyPalette(const Palette* palette, int count) {
    if (!palette || count <= 0) return nullptr;
    std::vector<PaletteEntry> entries(std::size_t(count), PaletteEntry{255, 255, 255, 0});
    const int copied = std::min(count, palette->Count());
    for (int i = 0; i < copied; ++i) entries[std::size_t(i)] = (*palette)[i];
    return std::make_unique<Palette>(std::move(entries));
}

bool PalettesEqual(const Palette* a, const Palette* b) {
    if (a == b) return true;
    if (!a || !b) return false;
    for (int i = 0; i < kMaxColours; ++i) {
        const bool inA = i < a->Count(), inB = i < b->Count();
        if (!inA && !inB) return true;
        if (inA != inB) return false;
        const PaletteEntry &x = (*a)[i], &y = (*b)[i];
        if (x.red != y.red || x.green != y.green || x.blue != y.blue) return false;
    }
    return true;
}

bool IsStandardPalette(const Palette* palette) {
    if (!palette) return false;
    for (int type : {ptColor256, ptGray256, ptColor16, ptGray16, ptBlackWhite}) {
        auto standard = CreateStandardPalette(type);
        if (PalettesEqual(palette, standard.get())) return true;
    }
    return false;
}

int PaletteToRgb(const Palette* palette, int count, std::uint8_t* buffer) {
    if (!palette || !buffer || count <= 0 || palette->Count() != count) return 0;
    for (int i = 0; i < count; ++i) {
        const PaletteEntry& e = (*palette)[i];
        buffer[3 * i] = e.red;
        buffer[3 * i + 1] = e.green;
        buffer[3 * i + 2] = e.blue;
    }
    return 1;
}
