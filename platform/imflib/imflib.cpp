// The six library operations over the codec table.
#include "platform/imflib/imflib.h"

#include <cstring>
#include <string>

namespace {

struct FormatInfo {
    const char* extension;
    const char* description;
};

// The formats in table order; every one is read and written.
constexpr FormatInfo kFormats[] = {
    {"BMP", "Windows Bitmap"}, {"JPG", "JPEG Image"},       {"PNG", "Portable Network Graphics"},
    {"TIF", "TIFF Image"},     {"GIF", "GIF Image"},        {"PCX", "PC Paintbrush"},
    {"TGA", "Targa Image"},    {"PBM", "Portable Bitmap"},  {"PGM", "Portable Graymap"},
    {"PPM", "Portable Pixmap"},
};

std::string gLastError;
SaveOptions gOptions;
SaveOptionDialog gDialog = nullptr;

}  // namespace

SaveOptions& CurrentSaveOptions() { return gOptions; }
void ResetSaveOptions() { gOptions = SaveOptions{}; }
void SetSaveOptionDialog(SaveOptionDialog dialog) { gDialog = dialog; }
const char* ImfLastError() { return gLastError.c_str(); }

std::int16_t AllGetReadWriteCaps(void*, void* block) {
    if (block == nullptr) return 0;
    auto* entries = static_cast<FormatCapsEntry*>(block);
    std::int16_t count = 0;
    for (const FormatInfo& f : kFormats) {
        FormatCapsEntry e{};
        std::strncpy(e.extension, f.extension, sizeof e.extension - 1);
        std::strncpy(e.description, f.description, sizeof e.description - 1);
        e.canRead = 1;
        e.canWrite = 1;
        std::memcpy(&entries[count], &e, sizeof e);
        ++count;
    }
    return count;
}

int AllReadHeader(const char*, BitmapInfoHeader*) {
    gLastError = "not implemented yet";
    return 0;
}
std::unique_ptr<Palette> AllReadPalette(const char*) { return nullptr; }
int AllReadDIBImg(const char*, DibTransferBlock*, int, FioProgressProc) {
    gLastError = "not implemented yet";
    return 0;
}
int AllSaveDIBImg(const char*, DibTransferBlock*, int, FioProgressProc) {
    gLastError = "not implemented yet";
    return 0;
}
int AllSetSaveOption(const char* path, void* ownerWindow) {
    (void)path;
    if (gDialog != nullptr && gDialog("", &gOptions, ownerWindow) == 2) return 2;
    return 1;
}
