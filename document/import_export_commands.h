// The parts of the Open, Save, Save As and Import commands that do not need
// a window: what the file dialogs start with, what is remembered in section
// "Init" of the settings ("OpenDir", "OpenExt") once the user chose, and the
// save dialog's file-name rules. The application shows the dialogs and calls
// these before and after.
#pragma once
#include <memory>
#include <string>

#include "document/import_export.h"


// What the open dialog (Open command, stitch page import) starts with.
struct OpenDialogSetup {
    std::string initialDirectory;  // remembered "OpenDir" when usable, else the working directory
    int format = 0;                // preselected table index (the table's count: all formats)
    std::string fileName;          // initial file name: the format's pattern
    std::string filter;            // read filter with the all-formats entry
    int filterPosition = 0;        // dialog filter position to select (1-based; 0: the first)
};
// Fills the setup from the settings and the format table. 0 when the filter
// cannot be built (the message was shown): the dialog is not shown.
// The Open command selects the filter of the preselected format (so an
// unreadable remembered format selects "All Formats"); the stitch pages'
// import selects the remembered format's own position (0 for an unreadable
// one: the dialog's first filter).
enum class OpenDialogKind { Open, Import };
int PrepareOpenDialog(OpenDialogSetup& setup, OpenDialogKind kind = OpenDialogKind::Open);

// After the open dialog's OK: remembers the chosen file's directory and the
// format of the chosen filter position (1-based; the all-formats entry
// stores the table's count).
void RememberOpenChoice(const std::string& path, int filterPosition);

// The stitch pages' import after the dialog's OK: reads the file with
// progress ("Loading Image"); on success remembers directory and format.
// None when the read failed (nothing is remembered then; status says why).
std::unique_ptr<CPicture> ImportChosenFile(const std::string& path, int filterPosition,
                                           FileStatus* status = nullptr);

// The directory part of a path (up to its last '/'); the working directory
// when the path has none.
std::string DirectoryOf(const std::string& path);
// The remembered "OpenDir" when it can be entered, else the working directory.
std::string InitialDirectory();

// Save: whether the document's own path can be written as it is; when not,
// Save turns into Save As.
bool CanSaveInPlace(const std::string& documentPath);
// Save in place: "Saving Image", the write, progress ended. Non-zero when
// written; the caller then clears the document's modified flag.
int SaveToPath(const std::string& path, CPicture* picture);

// What the save dialog (Save As) starts with.
struct SaveDialogSetup {
    int format = -1;               // table index of the format to preselect (-1: none writable)
    std::string filter;            // write filter
    std::string defaultName;       // document file name without directory and extension
    std::string defaultExtension;  // the document path's extension ("" when none)
    std::string initialDirectory;
    int filterPosition = 0;        // dialog filter position (1-based)
};
// 0 when the filter cannot be built (the message was shown).
int PrepareSaveDialog(const std::string& documentPath, SaveDialogSetup& setup);
// The save dialog's file name after the file-type list changed to the
// 0-based write position: a name with a dot gets the type's extension.
std::string FileNameForType(const std::string& fileName, int writePosition);
// The file name on OK: a name without a dot gets the type's extension.
std::string FileNameOnAccept(const std::string& fileName, int writePosition);
// Save As after the dialog's OK: "Saving Image", the format's option step
// (AllSetSaveOption with the owner window), the write; on success remembers
// the directory. kSaveAsWritten: the caller then takes the path as the
// document's, updates the title and clears the modified flag.
enum SaveAsResult : int { kSaveAsFailed = 0, kSaveAsWritten = 1, kSaveAsCancelled = 2 };
SaveAsResult SaveAsToPath(const std::string& path, CPicture* picture, void* ownerWindow);
// The halves of SaveAsToPath around a write done elsewhere (a worker): the
// format's options (false: the user cancelled them), and after a written
// file the folder remembered for the next dialog.
bool AskSaveAsOptions(const std::string& path, void* ownerWindow);
void RememberSaveAsDirectory(const std::string& path);

// The Import command's dialog (the embedded document's import of a bitmap).
constexpr const char* kImportDefaultExtension = "bmp";
constexpr const char* kImportFilter = "Bitmap Files (*.bmp) | *.bmp";
