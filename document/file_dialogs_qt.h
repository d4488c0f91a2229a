// The file dialogs of Open, Save As and Import: plain Qt file dialogs fed
// with what the import and export code prepares (filters, initial
// directory, preselected type). The dialogs can be replaced by an answerer
// (tests, scripted runs) that returns the path and filter position the user
// would have chosen.
#pragma once
#include <QString>
#include <functional>
#include <string>

class QWidget;

// The filter texts of the format table ("label|pattern|...||") as Qt
// dialog filters ("label (*.ext *.EXT)"), one per pair, in order.
QStringList QtFilters(const std::string& tableFilter);

// The document files' own filter, "Stitchara Files (*.vdl)".
QString DocumentFilter();

struct FileChoice {
    QString path;            // empty: cancelled
    int filterPosition = 0;  // 1-based position of the chosen filter
};

enum class FileDialogKind { Open, SaveAs, Import };

// An answerer in place of the dialogs; kind, initial directory, filters and
// preselected position (1-based) are what the dialog would show.
using FileDialogAnswerer = std::function<FileChoice(FileDialogKind kind, const QString& directory,
                                                    const QStringList& filters, int position)>;
void SetFileDialogAnswerer(FileDialogAnswerer answerer);

// Open (and the stitch pages' import): single existing file.
FileChoice ChooseOpenFile(QWidget* owner, const QString& caption, const QString& directory,
                          const QString& initialName, const QStringList& filters, int position);
// Save As: overwrite prompt; changing the type rewrites the extension of a
// name that has one, and a name typed without a dot takes the extension of
// the chosen type (extensions, 1-based like the filters) before the dialog
// closes, so that the overwrite question is asked about the real file.
FileChoice ChooseSaveFile(QWidget* owner, const QString& caption, const QString& directory,
                          const QString& initialName, const QStringList& filters, int position,
                          const QStringList& extensions);

// Makes the option dialog (JPEG quality, TIFF compression) the one the
// format library asks before a save; ChooseSaveFile installs it.
void InstallSaveOptionDialog();
