// CPicture: the one in-memory image type. A device-independent bitmap (info
// header, colour table of up to 256 entries, palette, packed bottom-up rows
// padded to 4 bytes) whose bytes live in a CImageStore. Coordinates are
// top-down: y = 0 is the top row. Everything outside picture/ touches pixels
// only through the row, column and pixel operations below.
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>

#include "picture/bitmap.h"
#include "picture/image_store.h"

enum PictureType : std::int16_t {
    ptBlackWhite = 0,
    ptTrueColor24 = 1,
    ptColor16 = 2,
    ptColor256 = 3,
    ptGray16 = 4,
    ptGray256 = 5,
    ptColor32K = 6,
    ptColor64K = 7,
    ptTrueColor32 = 8,
    ptUnknown = 9,
};

// Resolution taken when a picture is created without one (no screen in the core).
constexpr int kDefaultDpi = 96;

int BitsForType(int type);
int ColoursForType(int type);
int StandardColourCount(int type);
PictureType TypeForBitCount(int bits);
// Bytes per stored row: ((width * bits + 31) / 32) * 4, in 64 bits.
std::uint64_t RowBytesFor(std::int64_t width, int bits);

class CPicture {
public:
    CPicture();
    virtual ~CPicture();
    CPicture(const CPicture&) = delete;
    CPicture& operator=(const CPicture&) = delete;

    // Creation and release. colourTable is colours used entries in table
    // order (blue, green, red, 0), or none for the default table.
    int Create(int type, int width, int height, int colourCount, const RgbQuad* colourTable,
               std::uint32_t xPpm, std::uint32_t yPpm, int storeFlags);
    // header is followed in memory by its colour table. width/height 0: from
    // the header; type 9: from the header.
    int CreateFromHeader(const BitmapInfoHeader* header, int width, int height, int type,
                         int storeFlags);
    int CreateFromInfo(const BitmapInfoHeader* header, const Palette* palette, int storeFlags);
    int AttachPackedDib(HGlobal block);
    HGlobal DetachPackedDib();
    int WriteHeaderToStore();
    void Clear();
    static std::unique_ptr<CPicture> Duplicate(CPicture* source, int storeFlags);
    int WriteBmp(std::FILE* file);

    // Queries.
    int GetType() const { return type_; }
    int GetWidth() const;
    int GetHeight() const;
    int GetBitCount() const;
    int GetXDpi() const;
    int GetYDpi() const;
    const Palette* GetPalette() const { return palette_.get(); }
    bool IsSameFormat(const CPicture& other) const;
    int GetStoreState() const { return store_.GetState(); }
    // Bytes a row segment of this picture takes in a caller's buffer (every
    // depth); 0 without a header or for a segment outside the picture.
    std::uint64_t SegmentBytes(int x0, int x1) const;
    bool HasHeader() const { return header_ != nullptr; }
    const BitmapInfoHeader* GetHeader() const { return header_; }
    RgbQuad* GetColourTable() { return colourTable_; }
    const RgbQuad* GetColourTable() const { return colourTable_; }
    int GetHeaderSize() const { return headerSize_; }
    std::uint64_t GetRowBytes() const { return rowBytes_; }
    CImageStore& Store() { return store_; }

    // Palette and type.
    void BuildDefaultColourTable(int type);
    int RealizeColourTable(int count, const std::uint8_t* lookup);
    int SetPalette(const Palette* palette);
    void RefineGrayType();

    // Row, column and pixel access. Segments that start outside the picture
    // (x0 or y negative, x0 at or beyond the width) are refused; x1 and y
    // are clamped to the last column and row.
    // 1- and 4-bit segments are packed from bit 7 / the high nibble of byte
    // 0; a read keeps the caller's bits after the last pixel, a write keeps
    // the stored pixels on both sides of the segment.
    int ReadRow(int x0, int x1, int y, void* buffer);
    int WriteRow(int x0, int x1, int y, const void* buffer);
    // Pixel y0 (the smaller row) first in the buffer, packed as a row is.
    int WriteColumn(int x, int y0, int y1, const void* buffer);
    // The segment in mirror order, every depth (whole pixels for 8 bits and
    // more); fails and leaves the buffer untouched when the read fails.
    int ReadRowReversed(int x0, int x1, int y, void* buffer);
    // Keeps pixels 0, -zoom, -2 zoom, ... of the segment, n / -zoom of them;
    // 0 (nothing delivered) for a zoom of -1 or above.
    int ReadRowShrunk(int x0, int x1, int y, void* buffer, int zoom);
    // Each of count pixels zoom (2 or more) times, in the native format.
    int ExpandRow(void* output, const void* pixels, int count, int zoom) const;
    int ReadStoredRow(int y, void* buffer);
    int WriteStoredRow(int y, const void* buffer);
    int CopyAllRows(CPicture* source);
    // A pointer straight into resident rows (8 bits and more), else the
    // shared row buffer filled with the segment; UnlockRow with the same
    // coordinates writes the shared buffer back.
    std::uint8_t* LockRow(int x0, int x1, int y);
    int UnlockRow(int x0, int x1, int y, std::uint8_t* pointer);
    // Pixel x0 of row y where the rows are in memory, to be read only; null
    // when they are not (read them with ReadRow), for 1 and 4 bits, or when
    // the segment is refused.
    const std::uint8_t* ResidentRow(int x0, int y) const;
    // 1, 4 and 8 bits: the index; 24 bits: the 0x00BBGGRR colour.
    int SetPixelValue(int x, int y, std::uint32_t value);

    // Areas.
    int Fill(std::uint32_t colour);
    // The rectangle (inclusive, as every Rect) clipped to the picture; none,
    // or one covering the picture, fills everything through Fill.
    int FillRect(std::uint32_t colour, const Rect* rect);
    // The same rectangle through the shared row buffer; none fills everything.
    int FillRectInclusive(std::uint32_t colour, const Rect* rect);
    // Copies the source rectangle (inclusive; none: the whole picture) to
    // (dx, dy) of a picture of the same format, clipped at both pictures;
    // copies within one picture may overlap. 0 when nothing is copied.
    int CopyTo(CPicture* destination, int dx, int dy, const Rect* source, bool progress);
    // Copies the whole source to (x, y), cut to what remains of this picture.
    int PasteFrom(CPicture* source, int x, int y, bool progress);
    // Cuts the picture down to rect (inclusive, wholly inside) in its own
    // memory, without a second picture: pixels of whole bytes in a resident
    // store only (0 otherwise, and the picture stays as it was).
    int CropInPlace(const Rect& rect);
    // 24 bits: component channel (0 blue, 1 green, 2 red) of the segment's
    // pixels from bytes, one byte a pixel.
    int WriteChannelRow(int x0, int x1, int y, const std::uint8_t* bytes, int channel);
    // 24 bits: component channel of the rows rows.top .. rows.bottom and the
    // columns from rows.left, in one store read and write. bytes holds
    // rows.right - rows.left + 1 bytes a row, top row first. Channel 2 starts
    // from a cleared band (the first plane of a planar transfer).
    int WriteChannelBand(const Rect& rows, const std::uint8_t* bytes, int channel);
    int SwapOut();
    int SwapIn();

protected:
    int AllocateHeaderBlock();
    // Orders x0 <= x1, clamps x1 and y into the picture; false when there is
    // no header or the segment starts outside the picture.
    bool ClampSegment(int& x0, int& x1, int& y) const;
    std::uint64_t RowOffset(int y) const;
    std::uint64_t ImageBytes() const;
    // The rows in memory, or none when the store is on disk or too short.
    std::uint8_t* ResidentImage() const;
    int FillArea(std::uint32_t colour, int left, int right, int top, int bottom,
                 std::uint8_t* block);
    int CopyArea(CPicture* destination, int x0, int x1, int y0, int y1, int dx, int dy,
                 bool topDown, std::uint8_t* block, int captionId, bool progress);

    std::int16_t type_ = ptGray256;
    int headerSize_ = 1064;
    std::unique_ptr<Palette> palette_;
    CImageStore store_;
    std::uint64_t rowBytes_ = 0;
    CGlobalBlock headerBlock_;
    BitmapInfoHeader* header_ = nullptr;
    RgbQuad* colourTable_ = nullptr;
    std::uint8_t* scratch_ = nullptr;
};

// The picture class documents own.
class CDocPicture : public CPicture {
public:
    ~CDocPicture() override = default;
};

// The calling thread's shared row buffer: at least bytes long (0 means
// 32767). Kept until the thread ends. Throws std::bad_alloc when it cannot grow.
std::uint8_t* SharedRowBuffer(std::uint64_t bytes);

// Fills pattern with n pixels of colour in the format of bits (1 bit: all set
// when colour is non-zero; 4 bits: the index in both nibbles; 8 bits: the
// index; 16 bits: the value; 24 and 32 bits: 0x00BBGGRR as blue, green, red).
void BuildFillPattern(std::uint8_t* pattern, int bits, std::uint64_t n, std::uint32_t colour);

void BuildInfoHeader(BitmapInfoHeader* header, int type, int width, int height, int xDpi,
                     int yDpi);
// A new CDocPicture of source's type, resolution and palette; none on failure.
std::unique_ptr<CPicture> NewPictureLike(CPicture* source, int fill, int width, int height);
int FillWithBackground(CPicture* picture, const Rect* rect);
std::unique_ptr<Palette> CreateStandardPalette(int type);
std::unique_ptr<Palette> CopyPalette(const Palette* palette, int count);
bool PalettesEqual(const Palette* a, const Palette* b);
bool IsStandardPalette(const Palette* palette);
// count entries as red, green, blue triples; fails unless the palette has exactly count.
int PaletteToRgb(const Palette* palette, int count, std::uint8_t* buffer);
