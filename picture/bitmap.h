// Plain types of the device-independent bitmap: the 40-byte info header,
// rectangles, colour values and the palette that stands in for the
// platform's palette object.
#pragma once
#include <cstdint>
#include <vector>

// Pictures are at most this many pixels each way: every layer (files,
// pictures, stitch layouts, the command line) keeps to this one limit.
inline constexpr int kMaxPictureSide = 32767;

#pragma pack(push, 1)
struct BitmapInfoHeader {
    std::uint32_t biSize = 40;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0;
    std::uint16_t biPlanes = 1;
    std::uint16_t biBitCount = 0;
    std::uint32_t biCompression = 0;
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;
};
// One colour-table entry, in table order (blue, green, red, 0).
struct RgbQuad {
    std::uint8_t blue = 0, green = 0, red = 0, reserved = 0;
};
#pragma pack(pop)
static_assert(sizeof(BitmapInfoHeader) == 40);
static_assert(sizeof(RgbQuad) == 4);

// Colours exchanged as 32-bit values are 0x00BBGGRR (red in the low byte).
constexpr std::uint32_t MakeRgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return std::uint32_t(r) | (std::uint32_t(g) << 8) | (std::uint32_t(b) << 16);
}
constexpr std::uint8_t RgbRed(std::uint32_t c) { return std::uint8_t(c); }
constexpr std::uint8_t RgbGreen(std::uint32_t c) { return std::uint8_t(c >> 8); }
constexpr std::uint8_t RgbBlue(std::uint32_t c) { return std::uint8_t(c >> 16); }

// A rectangle of picture pixels. The one rule: right and bottom are
// inclusive, the last column and row inside, so that one pixel is
// {x, y, x, y} and a whole picture is WholeRect(width, height). The picture's
// operations (FillRect, FillRectInclusive, CopyTo, WriteChannelBand), the
// colour converter and the redraw hint (DocumentObserver::UpdateAllViews) all
// keep to it. Screen and printer areas (client pixels, page and paper dots)
// are a type of their own, Box (base/box.h), half-open as Qt's are.
struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

constexpr Rect WholeRect(int width, int height) { return Rect{0, 0, width - 1, height - 1}; }
constexpr bool IsEmptyRect(const Rect& r) { return r.right < r.left || r.bottom < r.top; }
// The part of r inside a picture of width x height (empty when none is).
constexpr Rect ClipRect(const Rect& r, int width, int height) {
    return Rect{r.left > 0 ? r.left : 0, r.top > 0 ? r.top : 0,
                r.right < width - 1 ? r.right : width - 1, r.bottom < height - 1 ? r.bottom : height - 1};
}

// One logical palette entry (red, green, blue, flags), as the platform palette has.
struct PaletteEntry {
    std::uint8_t red = 0, green = 0, blue = 0, flags = 0;
    friend bool operator==(const PaletteEntry&, const PaletteEntry&) = default;
};

// The platform palette: a list of logical entries (version 0x300).
class Palette {
public:
    Palette() = default;
    explicit Palette(std::vector<PaletteEntry> entries) : entries_(std::move(entries)) {}
    int Count() const { return int(entries_.size()); }
    bool Empty() const { return entries_.empty(); }
    const PaletteEntry& operator[](int i) const { return entries_[std::size_t(i)]; }
    PaletteEntry& operator[](int i) { return entries_[std::size_t(i)]; }
    const std::vector<PaletteEntry>& Entries() const { return entries_; }
    std::vector<PaletteEntry>& Entries() { return entries_; }
    // Index of the entry nearest to the 0x00BBGGRR colour (squared distance;
    // the first of equals); -1 for an empty palette.
    int NearestIndex(std::uint32_t colour) const;

private:
    std::vector<PaletteEntry> entries_;
};

// Resolution: dots per inch <-> pels per metre, integer arithmetic.
constexpr std::uint32_t DpiToPpm(std::uint32_t dpi) { return (dpi * 10000u + 127u) / 254u; }
constexpr std::uint32_t PpmToDpi(std::uint32_t ppm) {
    return std::uint32_t((std::uint64_t(ppm) * 254u + 5000u) / 10000u);
}
