// The file dialogs of Open, Save As and Import: plain Qt file dialogs fed
// with what the import and export code prepares (filters, initial
// directory, preselected type). The dialogs can be replaced by an answerer
// (tests, scripted runs) that returns the path and filter position the user
// would have chosen.
#pragma once
#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <utility>

class QObject;
class QWidget;

// The filter texts of the format table ("label|pattern|...||") as Qt
// dialog filters ("label (*.ext *.EXT)"), one per pair, in order.
QStringList QtFilters(const std::string& tableFilter);

// The document files' own filter, "Stitchara Files (*.vdl)".
QString DocumentFilter();

struct FileChoice {
    FileChoice() = default;
    FileChoice(QString chosen, int position, QStringList others = {})
        : path(std::move(chosen)), filterPosition(position), more(std::move(others)) {}

    QString path;            // empty: cancelled
    int filterPosition = 0;  // 1-based position of the chosen filter
    QStringList more;        // the further files where several may be chosen
    // Every file chosen, path first.
    QStringList paths() const { return path.isEmpty() ? QStringList() : QStringList{path} + more; }
};

// OpenSeveral: Add Pieces, whose answer may carry several files.
enum class FileDialogKind { Open, SaveAs, Import, OpenSeveral };

// An answerer in place of the dialogs; kind, initial directory, filters and
// preselected position (1-based) are what the dialog would show.
using FileDialogAnswerer = std::function<FileChoice(FileDialogKind kind, const QString& directory,
                                                    const QStringList& filters, int position)>;
void SetFileDialogAnswerer(FileDialogAnswerer answerer);

// Open (and the imports): a single existing file. The dialog opens
// window-modal over owner and the call returns at once; chosen gets the
// answer (an empty path: cancelled) when the dialog closes, unless context
// (when given) has gone by then. An answerer answers before the call returns.
void AskOpenFile(QWidget* owner, const QString& caption, const QString& directory, const QString& initialName,
                 const QStringList& filters, int position, QObject* context,
                 std::function<void(const FileChoice&)> chosen);
// The same for several existing files at once (Add Pieces of Stitch Many).
void AskOpenFiles(QWidget* owner, const QString& caption, const QString& directory, const QStringList& filters,
                  int position, QObject* context, std::function<void(const FileChoice&)> chosen);
// Save As, the same way: overwrite prompt; changing the type rewrites the
// extension of a name that has one, and a name typed without a dot takes
// the extension of the chosen type (extensions, 1-based like the filters)
// before the dialog closes, so that the overwrite question is asked about
// the real file.
void AskSaveFile(QWidget* owner, const QString& caption, const QString& directory, const QString& initialName,
                 const QStringList& filters, int position, const QStringList& extensions, QObject* context,
                 std::function<void(const FileChoice&)> chosen);
// The Save As dialog answered before the call returns (modal), for a flow
// that cannot go on without the answer: a window that closes asks where to
// save its untitled picture before it may close.
FileChoice ChooseSaveFile(QWidget* owner, const QString& caption, const QString& directory,
                          const QString& initialName, const QStringList& filters, int position,
                          const QStringList& extensions);

// Makes the option dialog (JPEG quality, TIFF compression) the one the
// format library asks before a save; ChooseSaveFile installs it.
void InstallSaveOptionDialog();
