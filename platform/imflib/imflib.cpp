// The six library operations over the codec table.
#include "platform/imflib/imflib.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "platform/imflib/codec.h"
#include "platform/system.h"

namespace imf {
namespace {

struct Codec {
    const char* extension;    // the table's extension
    const char* description;  // for file dialogs, at most 27 characters
    const char* spellings;    // every extension the writer takes, '|'-separated
    SniffFn sniff;
    ReadFn read;
    WriteFn write;
};

// The formats in table order. TGA has no signature and comes last among the readers.
constexpr Codec kCodecs[] = {
    {"BMP", "Windows Bitmap", "bmp", SniffBmp, ReadBmp, WriteBmp},
    {"JPG", "JPEG Image", "jpg|jpeg", SniffJpeg, ReadJpeg, WriteJpeg},
    {"PNG", "Portable Network Graphics", "png", SniffPng, ReadPng, WritePng},
    {"TIF", "TIFF Image", "tif|tiff", SniffTiff, ReadTiff, WriteTiff},
    {"GIF", "CompuServe GIF", "gif", SniffGif, ReadGif, WriteGif},
    {"PCX", "PC Paintbrush", "pcx", SniffPcx, ReadPcx, WritePcx},
    {"PBM", "Portable Bitmap", "pbm", SniffPnm, ReadPnm, WritePnm},
    {"PGM", "Portable Graymap", "pgm", SniffPnm, ReadPnm, WritePnm},
    {"PPM", "Portable Pixmap", "ppm", SniffPnm, ReadPnm, WritePnm},
    {"TGA", "Targa Image", "tga", SniffTga, ReadTga, WriteTga},
};

// The library's settings: the writers' options and the dialog that edits
// them. One per process, as a loaded library's state is.
struct LibraryContext {
    SaveOptions options;
    SaveOptionDialog dialog = nullptr;
};

LibraryContext& Library() {
    static LibraryContext context;
    return context;
}

const Codec* WriterFor(const std::string& ext) {
    if (ext.empty()) return nullptr;
    for (const Codec& c : kCodecs) {
        std::string list = c.spellings;
        std::size_t start = 0;
        while (start <= list.size()) {
            std::size_t bar = list.find('|', start);
            if (bar == std::string::npos) bar = list.size();
            if (list.compare(start, bar - start, ext) == 0) return &c;
            start = bar + 1;
        }
    }
    return nullptr;
}

// Files move through a large buffer: whole rows in a few system calls.
constexpr std::size_t kFileBuffer = std::size_t(1) << 20;

// An open file with its buffer, closed on scope exit.
struct OpenFile {
    std::FILE* file = nullptr;
    std::unique_ptr<char[]> buffer;
    ~OpenFile() { Close(); }
    bool Open(const char* path, const char* mode) {
        file = std::fopen(path, mode);
        if (file == nullptr) return false;
        buffer.reset(new (std::nothrow) char[kFileBuffer]);
        if (buffer != nullptr) std::setvbuf(file, buffer.get(), _IOFBF, kFileBuffer);
        return true;
    }
    // False when the file's last bytes could not be written.
    bool Close() {
        if (file == nullptr) return true;
        const bool ok = std::fclose(file) == 0;
        file = nullptr;
        return ok;
    }
};
using ReadFile = OpenFile;

bool OpenForReading(const char* path, ReadFile& handle) {
    if (path == nullptr || *path == 0) return Fail("no file name");
    struct stat st{};
    if (::stat(path, &st) != 0) return Fail("the file does not exist");
    if (!S_ISREG(st.st_mode)) return Fail("not a regular file");
    if (!handle.Open(path, "rb")) return Fail("the file cannot be opened for reading");
    return true;
}

const Codec* ReaderFor(std::FILE* file, const std::string& ext) {
    std::uint8_t head[64] = {};
    const std::size_t n = std::fread(head, 1, sizeof head, file);
    std::fseek(file, 0, SEEK_SET);
    const Codec* tga = nullptr;
    for (const Codec& c : kCodecs) {
        if (c.read == ReadTga) {
            tga = &c;
            continue;
        }
        if (c.sniff(head, n)) return &c;
    }
    // TGA: by its footer's signature, or by the extension when its header is plausible.
    bool footer = false;
    const std::int64_t size = FileSize(file);
    if (size >= 44) {
        std::uint8_t tail[18];
        if (std::fseek(file, long(size - 18), SEEK_SET) == 0 && ReadExact(file, tail, 18))
            footer = std::memcmp(tail, "TRUEVISION-XFILE.", 18) == 0;
        std::fseek(file, 0, SEEK_SET);
    }
    if (tga != nullptr && (footer || ext == "tga") && tga->sniff(head, n)) return tga;
    Fail("the file's format is not recognised");
    return nullptr;
}

// Working buffers come from the heap; running out of it fails the operation.
template <typename F>
int Guarded(F body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return Fail("out of memory");
    }
}

bool ValidInfo(const ImageInfo& info) {
    if (!CheckSize(info.width, info.height)) return false;
    switch (info.bits) {
        case 1: case 4: case 8:
            if (info.colours < 1 || info.colours > (1 << info.bits))
                return Fail("the file's palette does not fit its pixels");
            return true;
        case 16: case 24: case 32:
            return true;
        default:
            return Fail("the file's pixel depth is not supported");
    }
}

// Reads the header of the file at path through the codec that recognises it.
bool ReadInfo(const char* path, ImageInfo& info) {
    ReadFile handle;
    if (!OpenForReading(path, handle)) return false;
    const Codec* codec = ReaderFor(handle.file, LowerExtension(path));
    if (codec == nullptr) return false;
    return codec->read(handle.file, info, nullptr, nullptr) && ValidInfo(info);
}

}  // namespace

bool StartPixels(const ImageInfo& info, DibRows& rows, Progress& progress) {
    return ValidInfo(info) && rows.Matches(info) && rows.PutTable(info) && progress.Begin();
}

bool ReadMemory(const char* format, const std::uint8_t* data, std::size_t size, std::uint64_t maxPixels) {
    ClearError();
    const Codec* codec = WriterFor(format ? format : "");
    if (codec == nullptr || size == 0) return false;
    std::FILE* file = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (file == nullptr) return false;
    bool ok = false;
    ImageInfo info;
    if (codec->read(file, info, nullptr, nullptr) && ValidInfo(info) &&
        std::uint64_t(info.width) * std::uint64_t(info.height) <= maxPixels) {
        const std::uint64_t headerSize = 40 + 4 * std::uint64_t(info.bits <= 8 ? info.colours : 0);
        std::vector<std::uint8_t> dib(headerSize + info.RowBytes() * std::uint64_t(info.height));
        BitmapInfoHeader header;
        header.biWidth = info.width;
        header.biHeight = info.height;
        header.biBitCount = std::uint16_t(info.bits);
        header.biClrUsed = std::uint32_t(info.bits <= 8 ? info.colours : 0);
        std::memcpy(dib.data(), &header, sizeof header);
        DibTransferBlock block;
        block.totalBytes = dib.size();
        block.memoryHandle = dib.data();
        DibRows rows;
        std::fseek(file, 0, SEEK_SET);
        Progress progress(nullptr, info.height);
        ImageInfo again;
        ok = rows.Open(&block, int(headerSize)) && codec->read(file, again, &rows, &progress);
    }
    std::fclose(file);
    return ok;
}

bool ReadFileInfo(const char* path, ImageInfo& info) { return ReadInfo(path, info); }

bool ReadToSink(const char* path, const ImageInfo& info, RowSink& sink) {
    return Guarded([&] {
        ReadFile handle;
        if (!OpenForReading(path, handle)) return false;
        const Codec* codec = ReaderFor(handle.file, LowerExtension(path));
        DibRows rows;
        if (codec == nullptr || !rows.OpenSink(info, &sink)) return false;
        Progress calls(nullptr, info.height);
        ImageInfo again;
        return codec->read(handle.file, again, &rows, &calls) || Fail("the file cannot be read");
    });
}

}  // namespace imf

using namespace imf;

int WriterRowOrder(const char* path) {
    const Codec* codec = WriterFor(LowerExtension(path));
    if (codec == nullptr) return 0;
    // BMP and TGA files hold their rows from the bottom up, and their
    // writers write them in that order; the others from the top.
    return codec->write == WriteBmp || codec->write == WriteTga ? -1 : 1;
}

SaveOptions& CurrentSaveOptions() { return Library().options; }
void ResetSaveOptions() { Library().options = SaveOptions{}; }
void SetSaveOptionDialog(SaveOptionDialog dialog) { Library().dialog = dialog; }
const char* ImfLastError() { return LastError().c_str(); }

std::int16_t AllGetReadWriteCaps(void*, void* block) {
    if (block == nullptr) return 0;
    auto* bytes = static_cast<std::uint8_t*>(block);
    std::int16_t count = 0;
    for (const Codec& c : kCodecs) {
        if (count >= kFormatCapsMax) break;
        FormatCapsEntry e{};
        std::strncpy(e.extension, c.extension, sizeof e.extension - 1);
        std::strncpy(e.description, c.description, sizeof e.description - 1);
        e.canRead = 1;
        e.canWrite = 1;
        std::memcpy(bytes + std::size_t(count) * sizeof e, &e, sizeof e);
        ++count;
    }
    return count;
}

int AllReadHeader(const char* path, BitmapInfoHeader* header) {
    ClearError();
    if (header == nullptr) return Fail("no header to fill");
    ImageInfo info;
    if (!Guarded([&] { return int(ReadInfo(path, info)); })) return 0;
    BitmapInfoHeader h;
    h.biWidth = info.width;
    h.biHeight = info.height;
    h.biBitCount = std::uint16_t(info.bits);
    h.biSizeImage = std::uint32_t(std::min<std::uint64_t>(
        info.RowBytes() * std::uint64_t(info.height), 0xFFFFFFFFu));
    h.biXPelsPerMeter = std::int32_t(std::min<std::uint32_t>(info.xPpm, 0x7FFFFFFF));
    h.biYPelsPerMeter = std::int32_t(std::min<std::uint32_t>(info.yPpm, 0x7FFFFFFF));
    h.biClrUsed = std::uint32_t(info.bits <= 8 ? info.colours : 0);
    *header = h;
    return 1;
}

std::unique_ptr<Palette> AllReadPalette(const char* path) {
    ClearError();
    ImageInfo info;
    if (!Guarded([&] { return int(ReadInfo(path, info)); }) || info.bits > 8) return nullptr;
    std::vector<PaletteEntry> entries(std::size_t(info.colours));
    for (int i = 0; i < info.colours; ++i)
        entries[std::size_t(i)] = PaletteEntry{info.table[i].red, info.table[i].green,
                                               info.table[i].blue, 0};
    return std::make_unique<Palette>(std::move(entries));
}

namespace {

int ReadPixels(const char* path, DibTransferBlock* block, int headerSize, FioProgressProc progress) {
    ReadFile handle;
    if (!OpenForReading(path, handle)) return 0;
    const Codec* codec = ReaderFor(handle.file, LowerExtension(path));
    DibRows rows;
    if (codec == nullptr || !rows.Open(block, headerSize)) return 0;
    Progress calls(progress, rows.Info().height);
    ImageInfo info;
    if (!codec->read(handle.file, info, &rows, &calls)) return Fail("the file cannot be read");
    return 1;
}

int SavePixels(const char* path, DibTransferBlock* block, int headerSize, FioProgressProc progress) {
    if (path == nullptr || *path == 0) return Fail("no file name");
    const Codec* codec = WriterFor(LowerExtension(path));
    if (codec == nullptr) return Fail("no format is written for this extension");
    DibRows rows;
    if (!rows.Open(block, headerSize)) return 0;
    struct stat st{};
    if (::stat(path, &st) == 0 && !S_ISREG(st.st_mode)) return Fail("not a regular file");
    OpenFile handle;
    if (!handle.Open(path, "w+b")) return Fail("the file cannot be created");
    std::FILE* file = handle.file;
    bool ok, stopped;
    {
        Progress calls(progress, rows.Info().height);
        ok = calls.Begin() && codec->write(file, LowerExtension(path), rows, calls, Library().options);
        stopped = calls.Stopped();
    }
    // A write the system refused (a full disk, a quota) is told in the
    // system's words, whatever the codec made of it.
    int error = errno;
    bool refused = std::ferror(file) != 0;
    if (std::fflush(file) != 0 || std::ferror(file)) {
        if (!refused) error = errno;
        refused = true;
        ok = false;
    }
    if (!handle.Close()) {
        if (!refused) error = errno;
        refused = true;
        ok = false;
    }
    if (!ok && refused && !stopped && error != 0)
        ReplaceError(platform::SystemErrorText(error));
    if (!ok) {
        Fail("the file cannot be written");
        std::remove(path);
        return 0;
    }
    return 1;
}

}  // namespace

int AllReadDIBImg(const char* path, DibTransferBlock* block, int headerSize,
                  FioProgressProc progress) {
    ClearError();
    return Guarded([&] { return ReadPixels(path, block, headerSize, progress); });
}

int AllSaveDIBImg(const char* path, DibTransferBlock* block, int headerSize,
                  FioProgressProc progress) {
    ClearError();
    return Guarded([&] { return SavePixels(path, block, headerSize, progress); });
}

int AllSetSaveOption(const char* path, void* ownerWindow) {
    ClearError();
    const std::string ext = LowerExtension(path);
    if (WriterFor(ext) == nullptr) return Fail("no format is written for this extension");
    LibraryContext& library = Library();
    if (library.dialog != nullptr && library.dialog(ext.c_str(), &library.options, ownerWindow) == 2) return 2;
    return 1;
}
