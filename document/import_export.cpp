// Reading image files into pictures and writing pictures to image files.
#include "document/import_export.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "picture/picture.h"
#include "platform/imflib/imflib.h"
#include "platform/safe_file.h"
#include "resources/string_ids.h"
#include "resources/strings.h"
#include "base/message_box.h"
#include "base/progress.h"

namespace {

std::int32_t SilentProgress(std::int32_t, std::int32_t, std::int32_t) { return 0; }

// What the library's callback (FileProgressCallback) did to the calling
// thread's Progress during one read or write, seen by the operation once the
// library has returned: whether the callback stopped it, and the progress it
// began and left open (a library that fails half-way never sends the last
// value), which the operation then ends.
class LibraryProgress {
public:
    LibraryProgress() : progress_(CurrentProgress()), begins_(progress_.Begins()) {}
    bool Began() const { return progress_.Begins() != begins_; }
    bool Cancelled() const { return Began() && progress_.Stopped(); }
    void Close() {
        if (Began() && progress_.Gauge().inProgress) progress_.End();
    }

private:
    Progress& progress_;
    const unsigned begins_;
};

// The file name part of the path has an extension.
bool NameHasDot(const std::string& path) {
    return FormatTable::NameDotPosition(path) != std::string::npos;
}

// The palette the library did not give, from the colour table it wrote
// behind the header in the store.
std::unique_ptr<Palette> PaletteFromStoredTable(CPicture& picture, const BitmapInfoHeader& header) {
    int bits = header.biBitCount;
    if (bits > 8) return CreateStandardPalette(ptTrueColor24);
    int colours = header.biClrUsed ? int(std::min<std::uint32_t>(header.biClrUsed, 256))
                                   : (bits == 1 ? 2 : bits == 4 ? 16 : 256);
    colours = std::min(colours, 1 << bits);
    int room = (picture.GetHeaderSize() - int(sizeof(BitmapInfoHeader))) / int(sizeof(RgbQuad));
    colours = std::min(colours, room);
    if (colours <= 0) return nullptr;
    std::vector<RgbQuad> table(static_cast<std::size_t>(colours));
    std::uint64_t bytes = std::uint64_t(colours) * sizeof(RgbQuad);
    if (picture.Store().ReadBytes(sizeof(BitmapInfoHeader), bytes, table.data()) != bytes)
        return nullptr;
    std::vector<PaletteEntry> entries;
    entries.reserve(table.size());
    for (const RgbQuad& q : table) entries.push_back(PaletteEntry{q.red, q.green, q.blue, 0});
    return std::make_unique<Palette>(std::move(entries));
}

}  // namespace

std::int32_t FileProgressCallback(std::int32_t first, std::int32_t last, std::int32_t current) {
    if (current == first) {
        BeginProgress(unsigned(std::max(first, 0)), unsigned(std::max(last, 0)));
        return 0;
    }
    if (current == last) {
        EndProgress();
        return 0;
    }
    // A stop is the last call: the operation sees it by Progress::Stopped.
    if ((current & 0xF) == 0 && StepProgress(unsigned(std::max(current, 0)))) {
        EndProgress();
        return 1;
    }
    return 0;
}

namespace {

// The steps before a reader opens the file: a name with an extension, an
// existing regular file (a pipe or a device would block the reader for
// good). False with the status set when one fails.
bool CheckReadablePath(const std::string& path, FileStatus& st) {
    if (path.empty() || !NameHasDot(path)) {
        st = {FileFailure::kNotAFile, "the file name has no extension"};
        return false;
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        st = {FileFailure::kNoSuchFile, std::strerror(errno)};
        ShowMessage(FormatStringById(IDS_FILE_NOT_EXIST, path.c_str()));
        return false;
    }
    if (S_ISDIR(info.st_mode)) st = {FileFailure::kNotAFile, "it is a directory"};
    else if (!S_ISREG(info.st_mode)) st = {FileFailure::kNotAFile, "it is not a regular file"};
    return S_ISREG(info.st_mode);
}

}  // namespace

namespace {

// The header's picture made as one row of width pixels (the file's width
// when 0): the type and resolution as reading the whole file settles them.
std::unique_ptr<CPicture> ReadShape(const std::string& path, ImageFileInfo& result, FileStatus* status,
                                    int width) {
    FileStatus ignored;
    FileStatus& st = status ? *status : ignored;
    st = {};
    if (!CheckReadablePath(path, st)) return nullptr;
    BitmapInfoHeader header;
    if (!AllReadHeader(path.c_str(), &header)) {
        st = {FileFailure::kLibrary, ImfLastError()};
        return nullptr;
    }
    std::unique_ptr<Palette> palette = AllReadPalette(path.c_str());
    BitmapInfoHeader one = header;
    if (width > 0) one.biWidth = width;
    one.biHeight = 1;
    auto probe = std::make_unique<CPicture>();
    if (!probe->CreateFromInfo(&one, palette.get(), kStoreAny)) {
        st = {FileFailure::kLibrary, "the file's picture is not supported"};
        return nullptr;
    }
    result.type = probe->GetType();
    result.width = header.biWidth;
    result.height = header.biHeight;
    result.xDpi = probe->GetXDpi();
    result.yDpi = probe->GetYDpi();
    result.bits = probe->GetBitCount();
    result.colours = header.biBitCount <= 8 ? int(header.biClrUsed) : 0;
    return probe;
}

}  // namespace

std::unique_ptr<CPicture> ReadImageFileShape(const std::string& path, ImageFileInfo& info,
                                             FileStatus* status) {
    return ReadShape(path, info, status, 0);
}

bool ReadImageFileInfo(const std::string& path, ImageFileInfo& info, FileStatus* status) {
    // One pixel: whatever the picture's width, whatever the memory budget.
    return ReadShape(path, info, status, 1) != nullptr;
}

std::unique_ptr<CPicture> ReadImageFile(const std::string& path, bool showProgress,
                                        FileStatus* status, Progress* progress) {
    ProgressScope scope(progress);
    SetProgressCaption(IDS_LOADING_IMAGE);
    FileStatus ignored;
    FileStatus& st = status ? *status : ignored;
    auto fail = [&](FileFailure failure, std::string reason) {
        st = {failure, std::move(reason)};
        return nullptr;
    };
    st = {};
    if (!CheckReadablePath(path, st)) return nullptr;

    BitmapInfoHeader header;
    if (!AllReadHeader(path.c_str(), &header)) return fail(FileFailure::kLibrary, ImfLastError());
    std::unique_ptr<Palette> palette = AllReadPalette(path.c_str());

    auto picture = std::make_unique<CPicture>();
    if (!picture->CreateFromInfo(&header, nullptr, kStoreAny)) {
        ShowMessageById(IDS_OUT_OF_MEMORY);
        return fail(FileFailure::kOutOfMemory, LoadStringById(IDS_OUT_OF_MEMORY));
    }

    // The new picture's store stays put while the library fills it.
    StorePin pin(&picture->Store());
    DibTransferBlock block = MakeDibTransferBlock(picture.get());
    LibraryProgress library;
    int read = AllReadDIBImg(path.c_str(), &block, picture->GetHeaderSize(),
                             showProgress ? FileProgressCallback : SilentProgress);
    library.Close();
    if (!read) {
        if (library.Cancelled()) return fail(FileFailure::kCancelled, "cancelled");
        return fail(FileFailure::kLibrary, ImfLastError());
    }

    if (!palette) palette = PaletteFromStoredTable(*picture, header);
    if (!palette) return fail(FileFailure::kLibrary, "the colour table cannot be read");
    picture->SetPalette(palette.get());
    return picture;
}

namespace {

// The write behind WriteImageFile and WriteImageFileRows: the file beside
// the target first, moved into place only when complete.
int WriteBlock(const std::string& path, DibTransferBlock& block, int headerSize, FileStatus& st) {
    auto fail = [&](FileFailure failure, std::string reason) {
        st = {failure, std::move(reason)};
        // Escape is the user's choice, not a failure: nothing to say.
        if (failure != FileFailure::kCancelled) ShowMessageById(IDS_FAILED_TO_SAVE_DOCUMENT);
        return 0;
    };
    if (!NameHasDot(path)) return fail(FileFailure::kFormat, "the file name has no extension");
    if (!Formats().CanWriteExtension(FormatTable::ExtensionOf(path)))
        return fail(FileFailure::kFormat,
                    "no writable format has the extension '" + FormatTable::ExtensionOf(path) + "'");
    platform::SafeFile file(path);
    if (!file.Open()) return fail(FileFailure::kLibrary, std::strerror(errno));
    SetProgressCaption(IDS_SAVING_IMAGE);
    LibraryProgress library;
    int written = AllSaveDIBImg(file.TempPath().c_str(), &block, headerSize, FileProgressCallback);
    library.Close();
    if (!written) {
        const bool cancelled = library.Cancelled();
        std::string reason = cancelled ? "cancelled" : ImfLastError();
        file.Abandon();
        return fail(cancelled ? FileFailure::kCancelled : FileFailure::kLibrary, reason);
    }
    if (!file.Commit()) {
        std::string reason = std::strerror(errno);
        return fail(FileFailure::kLibrary, reason);
    }
    return 1;
}

}  // namespace

int WriteImageFile(const std::string& path, CPicture* picture, FileStatus* status, Progress* progress) {
    ProgressScope scope(progress);
    FileStatus ignored;
    FileStatus& st = status ? *status : ignored;
    st = {};
    if (!picture || !picture->HasHeader()) {
        st = {FileFailure::kLibrary, "no picture to write"};
        ShowMessageById(IDS_FAILED_TO_SAVE_DOCUMENT);
        return 0;
    }
    StorePin pin(&picture->Store());
    DibTransferBlock block = MakeDibTransferBlock(picture);
    return WriteBlock(path, block, picture->GetHeaderSize(), st);
}

int WriteImageFileRows(const std::string& path, const CPicture& shape, int width, int height,
                       DibRowSource& rows, FileStatus* status, Progress* progress) {
    ProgressScope scope(progress);
    FileStatus ignored;
    FileStatus& st = status ? *status : ignored;
    st = {};
    if (!shape.HasHeader() || width <= 0 || height <= 0) {
        st = {FileFailure::kLibrary, "no picture to write"};
        ShowMessageById(IDS_FAILED_TO_SAVE_DOCUMENT);
        return 0;
    }
    // The shape's header and colour table, at the new size.
    const int headerSize = shape.GetHeaderSize();
    std::vector<std::uint8_t> head(std::size_t(headerSize), 0);
    BitmapInfoHeader header = *shape.GetHeader();
    const std::uint64_t rowBytes = RowBytesFor(width, header.biBitCount);
    header.biWidth = width;
    header.biHeight = height;
    header.biSizeImage = std::uint32_t(std::min<std::uint64_t>(rowBytes * std::uint64_t(height), 0xFFFFFFFFu));
    std::memcpy(head.data(), &header, sizeof header);
    if (headerSize > int(sizeof header))
        std::memcpy(head.data() + sizeof header, shape.GetColourTable(), std::size_t(headerSize) - sizeof header);
    DibTransferBlock block;
    block.totalBytes = std::uint64_t(headerSize) + rowBytes * std::uint64_t(height);
    block.memoryHandle = head.data();
    block.rowSource = &rows;
    return WriteBlock(path, block, headerSize, st);
}
