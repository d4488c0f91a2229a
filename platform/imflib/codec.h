// Private to the image-file library: the picture description the codecs
// share, row access to the packed image, progress, and the row conversions
// every codec needs. Codec library headers stay inside each codec's source.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "picture/bitmap.h"
#include "picture/pixel_packing.h"
#include "platform/imflib/imflib.h"

namespace imf {

// The picture a file holds, as the library hands it over.
struct ImageInfo {
    int width = 0;
    int height = 0;
    int bits = 0;     // 1, 4, 8, 16 (5-5-5), 24 (blue, green, red) or 32 (blue, green, red, 0)
    int colours = 0;  // colour-table entries for 1, 4 and 8 bits
    RgbQuad table[256];
    std::uint32_t xPpm = 0;
    std::uint32_t yPpm = 0;
    // The order in which the reader hands the rows over, known from the
    // header: 1 each row once from the top down, -1 from the bottom up, 0 in
    // no fixed order (interlaced pictures, partial frames).
    int order = 0;

    std::uint64_t RowBytes() const { return ((std::uint64_t(width) * bits + 31) / 32) * 4; }
    // A gray table i * 255 / (n - 1) over all 2^bits entries (1, 4 and 8 bits).
    bool IsGrayRamp() const;
    void SetGrayRamp();
};

class DibRows;
class Progress;

// Where a reader's rows go when they go to no packed image: each row as
// the reader finishes it (y = 0 top), in the reader's order. False stops the
// reading.
class RowSink {
public:
    virtual bool TakeRow(int y, const std::uint8_t* row) = 0;

protected:
    ~RowSink() = default;
};

// Records why an operation failed; always answers false.
bool Fail(const std::string& why);
// Clears the reason at the start of an operation.
void ClearError();
// Puts a better reason in place of the one recorded (the system's reason
// for a failed write over the codec's own words).
void ReplaceError(const std::string& why);
const std::string& LastError();
// Checks the file's picture against the packed image, writes the colour
// table and begins the progress: the step before a codec moves pixels.
bool StartPixels(const ImageInfo& info, DibRows& rows, Progress& progress);
// Width and height within 1..kMaxPictureSide.
bool CheckSize(std::int64_t width, std::int64_t height);

// The progress callback with the library's calling pattern.
class Progress {
public:
    Progress(FioProgressProc proc, int last) : proc_(proc), last_(last) {}
    ~Progress() { End(); }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    bool Begin();
    // False when a stop was asked for (the reason is recorded).
    bool Step(int current);
    void End();
    bool Stopped() const { return stopped_; }

private:
    FioProgressProc proc_;
    int last_;
    bool begun_ = false;
    bool ended_ = false;
    bool stopped_ = false;
};

// Row access to the packed image of a transfer block. y is a picture row
// (0 = top); each call moves one whole stored row of RowBytes() bytes.
class DibRows {
public:
    // Reads the header and colour table from the start of the packed image
    // and checks that the rows fit the block.
    bool Open(DibTransferBlock* block, int headerSize);
    // Rows of the picture info describes handed to sink as they are put,
    // never held: they cannot be read back.
    bool OpenSink(const ImageInfo& info, RowSink* sink);
    const ImageInfo& Info() const { return info_; }
    bool Put(int y, const std::uint8_t* row);
    bool Get(int y, std::uint8_t* row);
    // Row y where it lies (in the packed image's memory, or where a row
    // source holds it), else read into buffer (RowBytes() bytes); valid
    // until the next call. None on failure.
    const std::uint8_t* Peek(int y, std::uint8_t* buffer);
    bool PutTable(const ImageInfo& info);
    // The file's picture has the size and depth the packed image was made for.
    bool Matches(const ImageInfo& file) const;

private:
    bool Move(std::uint64_t offset, std::uint64_t count, std::uint8_t* bytes, bool write);
    DibTransferBlock* block_ = nullptr;
    RowSink* sink_ = nullptr;
    std::uint64_t headerSize_ = 0;
    std::uint64_t rowBytes_ = 0;
    ImageInfo info_;
};

// ---------------------------------------------------------------------------
// Row conversions. n is a pixel count.

// Packing and unpacking of 1-, 4- and 8-bit indices and of 5-5-5 pixels:
// picture/pixel_packing.h, as the picture itself.
using packing::PackIndices;
using packing::UnpackIndices;
// A stored row of any depth to blue, green, red.
void RowToBgr(const ImageInfo& info, const std::uint8_t* row, int n, std::uint8_t* bgr);
// A stored row of any depth to red, green, blue.
void RowToRgb(const ImageInfo& info, const std::uint8_t* row, int n, std::uint8_t* rgb);
// A stored row of any depth to gray levels (the index itself for a gray ramp).
void RowToGray(const ImageInfo& info, const std::uint8_t* row, int n, std::uint8_t* gray);
// Exchanges the first and third byte of every 3-byte pixel.
void SwapRedBlue(std::uint8_t* pixels, int n);
// The same from source into destination (the same place, or apart).
void SwapRedBlueInto(std::uint8_t* destination, const std::uint8_t* source, int n);
// Composes colour over white with the given alpha.
inline std::uint8_t OverWhite(unsigned colour, unsigned alpha) {
    return std::uint8_t((colour * alpha + 255u * (255u - alpha) + 127u) / 255u);
}
inline std::uint8_t Scale16(unsigned v) { return std::uint8_t((v * 255u + 32767u) / 65535u); }
// ITU-R 601 luminance.
inline std::uint8_t Luma(unsigned r, unsigned g, unsigned b) {
    return std::uint8_t((r * 299u + g * 587u + b * 114u + 500u) / 1000u);
}
// CMYK samples to red, green, blue; inverted samples (as some JPEG writers store) first flipped.
void CmykToRgb(const std::uint8_t* cmyk, int n, bool inverted, std::uint8_t* rgb);

// ---------------------------------------------------------------------------
// Small file helpers.

std::uint16_t Le16(const std::uint8_t* p);
std::uint32_t Le32(const std::uint8_t* p);
void PutLe16(std::uint8_t* p, std::uint32_t v);
void PutLe32(std::uint8_t* p, std::uint32_t v);
// Reads exactly n bytes.
bool ReadExact(std::FILE* file, void* bytes, std::size_t n);
bool WriteExact(std::FILE* file, const void* bytes, std::size_t n);
// Writes exactly n bytes past the stream's buffer (flushed first): for
// blocks of a megabyte or more, which the buffer would only copy. A refused
// write records the system's reason.
bool WriteThrough(std::FILE* file, const void* bytes, std::size_t n);
// Size of the open file in bytes; -1 when unknown.
std::int64_t FileSize(std::FILE* file);
// Lower-case extension of the path without the dot; empty without one.
std::string LowerExtension(const char* path);

// A buffered reader over a FILE for byte-at-a-time decoders (RLE, text).
class ByteReader {
public:
    explicit ByteReader(std::FILE* file) : file_(file) {}
    // Next byte, or -1 at the end of the file.
    int Next() {
        if (pos_ == end_ && !Fill()) return -1;
        return buffer_[pos_++];
    }
    bool Read(std::uint8_t* out, std::size_t n);
    // Bytes read from the file but not yet taken.
    std::size_t Unread() const { return end_ - pos_; }

private:
    bool Fill();
    std::FILE* file_;
    std::uint8_t buffer_[65536];
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
};

// ---------------------------------------------------------------------------
// The codecs.

// Reads the header into info; when rows is set, also the pixels into rows.
using ReadFn = bool (*)(std::FILE* file, ImageInfo& info, DibRows* rows, Progress* progress);
// Writes the packed image behind rows; ext is the lower-case extension.
using WriteFn = bool (*)(std::FILE* file, const std::string& ext, DibRows& rows,
                         Progress& progress, const SaveOptions& options);
// Whether the first bytes of a file are this format's.
using SniffFn = bool (*)(const std::uint8_t* head, std::size_t n);

bool SniffBmp(const std::uint8_t* head, std::size_t n);
bool ReadBmp(std::FILE* file, ImageInfo& info, DibRows* rows, Progress* progress);
bool WriteBmp(std::FILE* file, const std::string& ext, DibRows& rows, Progress& progress,
              const SaveOptions& options);
bool SniffJpeg(const std::uint8_t* head, std::size_t n);
bool ReadJpeg(std::FILE* file, ImageInfo& info, DibRows* rows, Progress* progress);
bool WriteJpeg(std::FILE* file, const std::string& ext, DibRows& rows, Progress& progress,
               const SaveOptions& options);
bool SniffPng(const std::uint8_t* head, std::size_t n);
bool ReadPng(std::FILE* file, ImageInfo& info, DibRows* rows, Progress* progress);
bool WritePng(std::FILE* file, const std::string& ext, DibRows& rows, Progress& progress,
              const SaveOptions& options);
bool SniffTiff(const std::uint8_t* head, std::size_t n);
bool ReadTiff(std::FILE* file, ImageInfo& info, DibRows* rows, Progress* progress);
bool WriteTiff(std::FILE* file, const std::string& ext, DibRows& rows, Progress& progress,
               const SaveOptions& options);
bool SniffGif(const std::uint8_t* head, std::size_t n);
bool ReadGif(std::FILE* file, ImageInfo& info, DibRows* rows, Progress* progress);
bool WriteGif(std::FILE* file, const std::string& ext, DibRows& rows, Progress& progress,
              const SaveOptions& options);
bool SniffPcx(const std::uint8_t* head, std::size_t n);
bool ReadPcx(std::FILE* file, ImageInfo& info, DibRows* rows, Progress* progress);
bool WritePcx(std::FILE* file, const std::string& ext, DibRows& rows, Progress& progress,
              const SaveOptions& options);
bool SniffTga(const std::uint8_t* head, std::size_t n);
bool ReadTga(std::FILE* file, ImageInfo& info, DibRows* rows, Progress* progress);
bool WriteTga(std::FILE* file, const std::string& ext, DibRows& rows, Progress& progress,
              const SaveOptions& options);
bool SniffPnm(const std::uint8_t* head, std::size_t n);
bool ReadPnm(std::FILE* file, ImageInfo& info, DibRows* rows, Progress* progress);
bool WritePnm(std::FILE* file, const std::string& ext, DibRows& rows, Progress& progress,
              const SaveOptions& options);

// Where the rows of a binary PNM file of 8-bit samples (P4, or P5 and P6
// with maximum value 255) begin, read from the header at the file's start;
// kind is 4, 5 or 6. False for any other PNM.
bool PnmRawLayout(std::FILE* file, ImageInfo& info, int& kind, std::uint64_t& offset);
// Where the rows of a BMP file stored as the picture stores them (no
// run-length compression, no masks to convert) begin, and whether they run
// from the top. False for any other BMP.
bool BmpRawLayout(std::FILE* file, ImageInfo& info, bool& topDown, std::uint64_t& offset);

// The header of the file at path, read through the reader that knows its
// content. False with the reason recorded.
bool ReadFileInfo(const char* path, ImageInfo& info);
// Reads the pixels of the file at path, whose header gave info, handing
// each row to sink as the reader makes it.
bool ReadToSink(const char* path, const ImageInfo& info, RowSink& sink);

// Reads a whole file held in memory through one reader, named by any of its
// writer's spellings ("bmp", "jpeg", "tiff", "ppm"...): header, then pixels
// into a packed image in memory when the picture has at most maxPixels.
// The fuzz targets drive the readers through it.
bool ReadMemory(const char* format, const std::uint8_t* data, std::size_t size, std::uint64_t maxPixels);

}  // namespace imf
