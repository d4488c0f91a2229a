// The image-file library: the six operations through which pictures come
// from and go to image files. Readers choose the format from the file's
// content; writers from the path's extension. Pixel rows move straight
// between the codec and the picture's store, row by row, whether the store
// is in memory or in its swap file.
//
// No codec library header is visible here; each codec keeps its library and
// its error handling inside its own source file.
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "picture/bitmap.h"

class CImageStore;
class CPicture;

// ---------------------------------------------------------------------------
// Records

// One format record of AllGetReadWriteCaps, 52 bytes.
#pragma pack(push, 1)
struct FormatCapsEntry {
    char extension[8];          // without the dot, zero-terminated, at most 3 characters
    std::int32_t canRead;       // non-zero: the format can be read
    std::int32_t canWrite;      // non-zero: the format can be written
    std::uint8_t reserved[8];   // not interpreted by callers
    char description[28];       // zero-terminated, for file dialogs
};
#pragma pack(pop)
static_assert(sizeof(FormatCapsEntry) == 52);

// The caller's block for AllGetReadWriteCaps: room for 25 records.
constexpr int kFormatCapsBlockBytes = 1300;
constexpr int kFormatCapsMax = kFormatCapsBlockBytes / int(sizeof(FormatCapsEntry));

// Where a picture's packed image lives: the 40-byte info header at byte 0,
// the colour table behind it, the first stored row at the header size
// passed beside the block. Rows are stored bottom-up, padded to 4 bytes.
// The library moves bytes through `store` when it is set; a block without a
// store describes a packed image resident at `memoryHandle`.
// Rows made one at a time as a writer asks for them, in place of the rows
// of a packed image: a picture written without ever existing whole.
class DibRowSource {
public:
    // Fills row (the stored row, RowBytes of the described picture, padding
    // included) with picture row y (0 = top). Writers ask in their own order,
    // each row once. False on failure.
    virtual bool StoredRow(int y, std::uint8_t* row) = 0;
    // Picture row y where the source already holds it, valid until the
    // next call; none to have StoredRow copy it. A writer that changes each
    // row as it moves it takes rows this way and spares a copy.
    virtual const std::uint8_t* HeldRow(int /*y*/) { return nullptr; }

protected:
    ~DibRowSource() = default;
};

struct DibTransferBlock {
    std::uint64_t totalBytes = 0;           // size of the packed image
    std::int16_t storeState = 1;            // 1 movable memory, 2 swap file
    std::uint8_t* memoryHandle = nullptr;   // the store's memory (state 1)
    std::FILE* fileHandle = nullptr;        // the open swap file (state 2), informative
    CImageStore* store = nullptr;           // the store itself
    // For a save only: where the rows come from. The block then holds the
    // header and colour table alone (at memoryHandle), and totalBytes
    // counts the rows as if they were there.
    DibRowSource* rowSource = nullptr;
};

// Progress callback: (first, last, current). The library calls it with
// current = first before the first row, with rising values while rows move,
// and with current = last at the end. A non-zero answer asks the library to
// stop: the operation then fails and calls the callback no more.
using FioProgressProc = std::int32_t (*)(std::int32_t first, std::int32_t last,
                                         std::int32_t current);

// TIFF compression choices of the save options.
enum TiffCompression : int {
    kTiffCompressionAuto = 0,  // none, as the TIFF tools write; CCITT G4 for 1-bit pictures
    kTiffCompressionNone = 1,
    kTiffCompressionLzw = 2,
    kTiffCompressionDeflate = 3,
    kTiffCompressionPackBits = 4,
    kTiffCompressionJpeg = 5,  // 8-bit gray and colour pictures; others fall back to LZW
    kTiffCompressionG3 = 6,    // 1-bit pictures; others fall back to LZW
    kTiffCompressionG4 = 7,    // 1-bit pictures; others fall back to LZW
};

// The save options of the writers, filled by the format's option dialog
// (AllSetSaveOption) or by the command-line tool.
struct SaveOptions {
    int jpegQuality = 75;                       // 1..100
    int tiffCompression = kTiffCompressionAuto;
    int pngLevel = 3;                           // zlib level 0..9
};

// The process-wide option record every writer reads.
SaveOptions& CurrentSaveOptions();
// Puts the defaults back.
void ResetSaveOptions();

// The option dialog behind AllSetSaveOption: gets the extension (without the
// dot), the option record to edit and the owner window; answers 2 when the
// user cancelled, anything else to go on. Until the application installs
// one, AllSetSaveOption keeps the record as it is.
using SaveOptionDialog = int (*)(const char* extension, SaveOptions* options, void* ownerWindow);
void SetSaveOptionDialog(SaveOptionDialog dialog);

// ---------------------------------------------------------------------------
// The six operations. Non-zero is success; paths are zero-terminated.

// Writes one FormatCapsEntry per format into the 1300-byte block; answers
// the number of records, 0 when the library is unusable.
std::int16_t AllGetReadWriteCaps(void* mainWindow, void* block);

// Fills the 40-byte info header of the picture the file holds: width,
// height (positive), bit count (1, 4, 8, 16, 24 or 32), resolution in pels
// per metre (0 when the file stores none), colours used (the palette's
// length for 1, 4 and 8 bits).
int AllReadHeader(const char* path, BitmapInfoHeader* header);

// The palette of a 1-, 4- or 8-bit file (the caller owns it); none for
// deeper pictures or on failure.
std::unique_ptr<Palette> AllReadPalette(const char* path);

// Reads the file's pixels into the packed image described by block, whose
// header (written by the caller from AllReadHeader) must describe the same
// picture. Writes the colour table behind the header, then the rows.
int AllReadDIBImg(const char* path, DibTransferBlock* block, int headerSize,
                  FioProgressProc progress);

// Writes the packed image as a file in the format the path's extension names.
// A failed write removes what it had written of the file.
int AllSaveDIBImg(const char* path, DibTransferBlock* block, int headerSize,
                  FioProgressProc progress);

// The option step before a save: runs the installed option dialog for the
// format the extension names. 2 = cancelled, do not save; 1 go on; 0 when
// the extension names no writable format.
int AllSetSaveOption(const char* path, void* ownerWindow);

// ---------------------------------------------------------------------------
// Rows straight from a file

// The rows of an image file handed to a command one at a time, without the
// picture in memory: a command that writes a transformed copy needs no
// picture. Each row is the stored row the reader would make of it
// (AllReadDIBImg), padding included.
class ImageRowFile {
public:
    virtual ~ImageRowFile() = default;
    int Width() const { return width_; }
    int Height() const { return height_; }
    int Bits() const { return bits_; }
    std::uint64_t RowBytes() const { return rowBytes_; }
    // The order in which rows may be asked for: 0 any; 1 from the top down,
    // -1 from the bottom up, each row at or past the one asked before.
    virtual int Order() const = 0;
    // Picture row y (0 = top) into row (RowBytes() bytes). False on a
    // failed read, and for a row asked out of order.
    virtual bool StoredRow(int y, std::uint8_t* row) = 0;
    // Pixels x0..x0 + count - 1 of picture row y as StoredRow stores them,
    // for files read in any order of pictures of whole-byte pixels (8 bits
    // and more). False on a failed read, and where the file cannot.
    virtual bool StoredSegment(int /*y*/, int /*x0*/, int /*count*/, std::uint8_t* /*pixels*/) { return false; }
    // Why reading failed, in plain words ("" while nothing failed).
    virtual std::string Failure() const { return {}; }

protected:
    ImageRowFile() = default;
    int width_ = 0, height_ = 0, bits_ = 0;
    std::uint64_t rowBytes_ = 0;
};

// The rows of a file whose pixels lie in it uncompressed, read from the
// file in any order as they are asked for.
class RawRowFile final : public ImageRowFile {
public:
    // The file at path when it is a binary PBM, or a PGM or PPM of 8-bit
    // samples, and holds all its rows; none otherwise (then the reader is
    // the way to it).
    static std::unique_ptr<RawRowFile> Open(const char* path);
    // The same for a BMP file whose rows lie in it as the picture stores
    // them (not run-length compressed; 16 and 32 bits without masks to
    // convert).
    static std::unique_ptr<RawRowFile> OpenBmp(const char* path);
    ~RawRowFile() override;
    RawRowFile(const RawRowFile&) = delete;
    RawRowFile& operator=(const RawRowFile&) = delete;
    int Order() const override { return 0; }
    bool StoredRow(int y, std::uint8_t* row) override;
    bool StoredSegment(int y, int x0, int count, std::uint8_t* pixels) override;

private:
    bool ReadAt(std::uint64_t at, std::uint64_t n, std::uint8_t* bytes);
    // The file of the header read at path holds its rows behind offset.
    static std::unique_ptr<RawRowFile> Opened(const char* path, int kind, int width, int height, int bits,
                                              std::uint64_t offset, std::uint64_t fileRowBytes, std::uint64_t size);
    RawRowFile() = default;
    int fd_ = -1;
    int kind_ = 0;  // 4 bits, 5 gray, 6 colour (PNM); 1 BMP from the bottom, 2 BMP from the top
    std::uint64_t offset_ = 0, fileRowBytes_ = 0;
};

// The rows of a file of any format, as its reader decodes them on a thread
// of its own a little ahead of the asking: a window of rows is held, never
// the picture. Rows can be asked for only in the order the reader makes
// them (Order()); a damaged file fails the row where the damage lies, with
// the reader's reason in Failure().
class DecodedRowFile final : public ImageRowFile {
public:
    // The file at path when its reader hands its rows over in a fixed order
    // (not interlaced pictures, for one); none otherwise, also for a file the
    // library cannot read (its reader then says why).
    static std::unique_ptr<DecodedRowFile> Open(const char* path);
    // Stops the reading where it is.
    ~DecodedRowFile() override;
    DecodedRowFile(const DecodedRowFile&) = delete;
    DecodedRowFile& operator=(const DecodedRowFile&) = delete;
    int Order() const override;
    bool StoredRow(int y, std::uint8_t* row) override;
    std::string Failure() const override;

private:
    DecodedRowFile() = default;
    struct Reading;
    std::unique_ptr<Reading> reading_;
};

// The rows of the file at path without its picture in memory: a RawRowFile
// where its pixels lie uncompressed, else a DecodedRowFile; none when
// neither can serve it.
std::unique_ptr<ImageRowFile> OpenImageRows(const char* path);

// The order in which the writer for path's extension asks for rows: 1 from
// the top, -1 from the bottom (BMP, TGA); 0 when no writer takes the extension.
int WriterRowOrder(const char* path);

// ---------------------------------------------------------------------------
// Helpers for callers

// Writes the picture's header and colour table to the start of its store and
// describes the store. The header size to pass beside it is the picture's
// GetHeaderSize().
DibTransferBlock MakeDibTransferBlock(CPicture* picture);

// Why the last failed operation failed, in plain words ("" when unknown).
const char* ImfLastError();
