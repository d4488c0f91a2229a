// The window-free halves of the Open, Save, Save As and Import commands.
#include "document/import_export_commands.h"

#include <unistd.h>

#include <climits>
#include <vector>

#include "document/import_export.h"
#include "picture/image_store.h"
#include "picture/picture.h"
#include "platform/imflib/imflib.h"
#include "platform/profile.h"
#include "resources/string_ids.h"
#include "resources/strings.h"
#include "base/progress.h"

namespace {

std::string WorkingDirectory() {
    std::vector<char> buffer(PATH_MAX + 1);
    if (!::getcwd(buffer.data(), buffer.size())) return ".";
    return buffer.data();
}

std::string Section() { return LoadStringById(IDS_SECTION_INIT); }
std::string OpenDirKey() { return LoadStringById(IDS_KEY_OPENDIR); }
std::string OpenExtKey() { return LoadStringById(IDS_KEY_OPENEXT); }

}  // namespace

std::string DirectoryOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return WorkingDirectory();
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string InitialDirectory() {
    std::string working = WorkingDirectory();
    std::string remembered = platform::GetProfileString(Section(), OpenDirKey(), working);
    if (!remembered.empty() && CheckDirectory(remembered, false)) return remembered;
    return working;
}

int PrepareOpenDialog(OpenDialogSetup& setup, OpenDialogKind kind) {
    FormatTable& table = Formats();
    setup.initialDirectory = InitialDirectory();
    // Until a format was chosen once, every picture the user has shows.
    int index = platform::GetProfileInt(Section(), OpenExtKey(), table.Count());
    setup.format = table.BuildOpenPattern(index, setup.fileName);
    if (!table.BuildReadFilter(setup.filter, true)) return 0;
    setup.filterPosition =
        table.ReadFilterPosition(kind == OpenDialogKind::Open ? setup.format : index) + 1;
    return 1;
}

void RememberOpenChoice(const std::string& path, int filterPosition) {
    int format = Formats().FormatAtReadPosition(filterPosition - 1);
    platform::WriteProfileString(Section(), OpenDirKey(), DirectoryOf(path));
    platform::WriteProfileInt(Section(), OpenExtKey(), format);
}

std::unique_ptr<CPicture> ImportChosenFile(const std::string& path, int filterPosition,
                                           FileStatus* status) {
    SetProgressCaption(IDS_LOADING_IMAGE);
    std::unique_ptr<CPicture> picture = ReadImageFile(path, true, status);
    if (picture) RememberOpenChoice(path, filterPosition);
    return picture;
}

bool CanSaveInPlace(const std::string& documentPath) {
    std::string extension = FormatTable::ExtensionOf(documentPath);
    return !extension.empty() && Formats().CanWriteExtension(extension);
}

int SaveToPath(const std::string& path, CPicture* picture) {
    SetProgressCaption(IDS_SAVING_IMAGE);
    int written = WriteImageFile(path, picture);
    EndProgress();
    return written;
}

int PrepareSaveDialog(const std::string& documentPath, SaveDialogSetup& setup) {
    FormatTable& table = Formats();
    std::string extension = FormatTable::ExtensionOf(documentPath);
    int format;
    if (extension.empty()) {
        format = platform::GetProfileInt(Section(), OpenExtKey(), 0);
    } else {
        format = table.FindFormat(extension);
    }
    if (!table.IsWritable(format)) format = table.FirstWritable();
    setup.format = format;
    if (!table.BuildWriteFilter(setup.filter)) return 0;

    std::size_t slash = documentPath.rfind('/');
    std::string name = slash == std::string::npos ? documentPath : documentPath.substr(slash + 1);
    std::size_t dot = name.rfind('.');
    setup.defaultName = dot == std::string::npos ? name : name.substr(0, dot);
    setup.defaultExtension = extension;
    setup.initialDirectory = InitialDirectory();
    setup.filterPosition = table.WriteFilterPosition(format) + 1;
    return 1;
}

std::string FileNameForType(const std::string& fileName, int writePosition) {
    // Only the name's own dot: a typed "/my.photos/scan" keeps its directory.
    std::size_t dot = FormatTable::NameDotPosition(fileName);
    if (dot == std::string::npos) return fileName;
    return fileName.substr(0, dot + 1) + Formats().WriteExtensionAt(writePosition);
}

std::string FileNameOnAccept(const std::string& fileName, int writePosition) {
    if (FormatTable::NameDotPosition(fileName) != std::string::npos) return fileName;
    std::string extension = Formats().WriteExtensionAt(writePosition);
    if (extension.empty()) return fileName;
    return fileName + "." + extension;
}

bool AskSaveAsOptions(const std::string& path, void* ownerWindow) {
    return AllSetSaveOption(path.c_str(), ownerWindow) != 2;
}

void RememberSaveAsDirectory(const std::string& path) {
    platform::WriteProfileString(Section(), OpenDirKey(), DirectoryOf(path));
}

SaveAsResult SaveAsToPath(const std::string& path, CPicture* picture, void* ownerWindow) {
    if (!AskSaveAsOptions(path, ownerWindow)) return kSaveAsCancelled;
    if (!WriteImageFile(path, picture)) return kSaveAsFailed;
    RememberSaveAsDirectory(path);
    return kSaveAsWritten;
}
