// The file dialogs of the Open, Save As and Import commands and the save
// options of the formats that have some (JPEG quality, TIFF compression),
// over the window-free halves in import_export_commands.h.
#pragma once
#include <QFileDialog>
#include <QString>
#include <QStringList>

#include <memory>
#include <string>

class CPicture;

// A filter text ("label|pattern|...||") as Qt name filters, in the same
// positions ("label (pattern pattern)"); each pattern also in lower case,
// since file names here are case-sensitive.
QStringList QtNameFilters(const std::string& filter);

// The Open command's dialog: starts in the remembered directory with the
// remembered format; on OK remembers both and answers the chosen path
// (empty when cancelled or when the formats cannot be listed).
std::string RunOpenDialog(QWidget* owner);

// The stitch pages' import: the dialog, then the file read with progress;
// the picture, or none when cancelled or unreadable. The owner is disabled
// while the dialog is open.
std::unique_ptr<CPicture> ImportPictureDialog(QWidget* owner);

// The embedded document's Import command: a bitmap file; empty when cancelled.
std::string RunImportBitmapDialog(QWidget* owner);

// The save dialog: keeps the file name's extension in step with the chosen
// file type, and gives a name without one the type's extension on OK.
class CSaveDialog : public QFileDialog {
    Q_OBJECT
public:
    // filterPosition: 1-based position of the type to preselect.
    CSaveDialog(QWidget* owner, const std::string& writeFilter, int filterPosition,
                const QString& directory, const QString& fileName);
    // 0-based write position of the selected type.
    int WritePosition() const;
    QString FileNameText() const;
    void SetFileNameText(const QString& text);

public slots:
    void accept() override;

private:
    void OnTypeChanged(const QString& filter);
    QStringList filters_;
};

// Save As: the dialog for the document's path, the format's options
// (cancel there saves nothing) and the write. The chosen path when the
// picture was written, else empty.
std::string RunSaveAsDialog(QWidget* owner, const std::string& documentPath, CPicture* picture);

// Makes the option dialog the one the format library asks before a save.
void InstallSaveOptionDialog();
