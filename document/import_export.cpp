// Reading image files into pictures and writing pictures to image files.
#include "document/import_export.h"

#include <sys/stat.h>

#include <algorithm>
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

// Whether the callback has begun progress that it has not ended yet. A
// library that fails half-way never sends the last value; the operation then
// ends the progress itself.
bool progressOpen = false;
bool cancelled = false;

std::int32_t SilentProgress(std::int32_t, std::int32_t, std::int32_t) { return 0; }

void CloseOpenProgress() {
    if (progressOpen) {
        progressOpen = false;
        EndProgress();
    }
}

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
        progressOpen = true;
        return 0;
    }
    if (current == last) {
        CloseOpenProgress();
        return 0;
    }
    if ((current & 0xF) == 0 && StepProgress(unsigned(std::max(current, 0)))) {
        cancelled = true;
        CloseOpenProgress();
        return 1;
    }
    return 0;
}

bool FileOperationCancelled() { return cancelled; }

CPicture* ReadImageFile(const std::string& path, bool showProgress) {
    cancelled = false;
    if (path.empty() || !NameHasDot(path)) return nullptr;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        ShowMessage(FormatStringById(IDS_FILE_NOT_EXIST, path.c_str()));
        return nullptr;
    }
    // Only regular files: a pipe or a device would block the reader for good.
    if (!S_ISREG(st.st_mode)) return nullptr;

    BitmapInfoHeader header;
    if (!AllReadHeader(path.c_str(), &header)) return nullptr;
    std::unique_ptr<Palette> palette = AllReadPalette(path.c_str());

    std::unique_ptr<CPicture> picture = std::make_unique<CPicture>();
    if (!picture->CreateFromInfo(&header, nullptr, kStoreAny)) {
        ShowMessageById(IDS_OUT_OF_MEMORY);
        return nullptr;
    }

    DibTransferBlock block = MakeDibTransferBlock(picture.get());
    int read = AllReadDIBImg(path.c_str(), &block, picture->GetHeaderSize(),
                             showProgress ? FileProgressCallback : SilentProgress);
    CloseOpenProgress();
    if (!read) return nullptr;

    if (!palette) palette = PaletteFromStoredTable(*picture, header);
    if (!palette) return nullptr;
    picture->SetPalette(palette.get());
    return picture.release();
}

int WriteImageFile(const std::string& path, CPicture* picture) {
    cancelled = false;
    if (!picture || !picture->HasHeader() || !NameHasDot(path) ||
        !Formats().CanWriteExtension(FormatTable::ExtensionOf(path))) {
        ShowMessageById(IDS_FAILED_TO_SAVE_DOCUMENT);
        return 0;
    }
    platform::SafeFile file(path);
    int written = 0;
    if (file.Open()) {
        DibTransferBlock block = MakeDibTransferBlock(picture);
        written = AllSaveDIBImg(file.TempPath().c_str(), &block, picture->GetHeaderSize(),
                                FileProgressCallback);
        CloseOpenProgress();
        if (written) written = file.Commit();
    }
    if (!written) {
        file.Abandon();
        ShowMessageById(IDS_FAILED_TO_SAVE_DOCUMENT);
        return 0;
    }
    return 1;
}
