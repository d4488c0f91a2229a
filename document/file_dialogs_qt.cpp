#include "document/file_dialogs_qt.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>
#include <QHBoxLayout>

#include <cstring>

#include "document/import_export_commands.h"
#include "picture/picture.h"
#include "platform/imflib/imflib.h"
#include "resources/command_ids.h"

namespace {

QString PlainCommandText(int id) {
    const CommandEntry* entry = FindCommand(id);
    QString s = QString::fromUtf8(entry && entry->menuText ? entry->menuText : "");
    s.remove(QLatin1Char('&'));
    if (s.endsWith(QStringLiteral("..."))) s.chop(3);
    return s;
}

// The option dialog behind AllSetSaveOption.
int RunSaveOptions(const char* extension, SaveOptions* options, void* ownerWindow) {
    const QString ext = QString::fromUtf8(extension ? extension : "").toLower();
    const bool jpeg = ext == "jpg" || ext == "jpeg" || ext == "jpe" || ext == "jfif";
    const bool tiff = ext == "tif" || ext == "tiff";
    if (!options || (!jpeg && !tiff)) return 1;
    QDialog dialog(static_cast<QWidget*>(ownerWindow));
    dialog.setObjectName("saveOptionsDialog");
    dialog.setWindowTitle(jpeg ? QStringLiteral("JPEG Options") : QStringLiteral("TIFF Options"));
    dialog.setAccessibleName(dialog.windowTitle());
    auto* form = new QFormLayout(&dialog);
    QSpinBox* quality = nullptr;
    QComboBox* compression = nullptr;
    if (jpeg) {
        auto* row = new QWidget(&dialog);
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(0, 0, 0, 0);
        auto* slider = new QSlider(Qt::Horizontal, row);
        quality = new QSpinBox(row);
        slider->setRange(1, 100);
        quality->setRange(1, 100);
        quality->setValue(options->jpegQuality);
        slider->setValue(options->jpegQuality);
        quality->setObjectName("jpegQuality");
        quality->setAccessibleName("Quality");
        slider->setAccessibleName("Quality");
        QObject::connect(slider, &QSlider::valueChanged, quality, &QSpinBox::setValue);
        QObject::connect(quality, &QSpinBox::valueChanged, slider, &QSlider::setValue);
        h->addWidget(slider, 1);
        h->addWidget(quality);
        form->addRow(QStringLiteral("&Quality:"), row);
    } else {
        compression = new QComboBox(&dialog);
        compression->setObjectName("tiffCompression");
        compression->setAccessibleName("Compression");
        const std::pair<const char*, int> kinds[] = {
            {"Automatic", kTiffCompressionAuto}, {"None", kTiffCompressionNone},
            {"LZW", kTiffCompressionLzw},         {"Deflate", kTiffCompressionDeflate},
            {"PackBits", kTiffCompressionPackBits}, {"JPEG", kTiffCompressionJpeg},
            {"CCITT Group 3", kTiffCompressionG3}, {"CCITT Group 4", kTiffCompressionG4}};
        for (const auto& [name, value] : kinds) compression->addItem(QString::fromUtf8(name), value);
        compression->setCurrentIndex(std::max(0, compression->findData(options->tiffCompression)));
        form->addRow(QStringLiteral("&Compression:"), compression);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) return 2;
    if (quality) options->jpegQuality = quality->value();
    if (compression) options->tiffCompression = compression->currentData().toInt();
    return 1;
}

QFileDialog* PrepareOpen(QFileDialog& dialog, const OpenDialogSetup& setup, const QStringList& filters) {
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setDirectory(QString::fromStdString(setup.initialDirectory));
    dialog.setNameFilters(filters);
    if (setup.filterPosition >= 1 && setup.filterPosition <= filters.size())
        dialog.selectNameFilter(filters[setup.filterPosition - 1]);
    dialog.selectFile(QString::fromStdString(setup.fileName));
    return &dialog;
}

}  // namespace

QStringList QtNameFilters(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].trimmed().isEmpty()) break;
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString t = p.trimmed();
            if (!patterns.contains(t)) patterns << t;
            if (!patterns.contains(t.toLower())) patterns << t.toLower();
        }
        out << parts[i].trimmed() + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return out;
}

std::string RunOpenDialog(QWidget* owner) {
    OpenDialogSetup setup;
    if (!PrepareOpenDialog(setup, OpenDialogKind::Open)) return {};
    const QStringList filters = QtNameFilters(setup.filter);
    QFileDialog dialog(owner, PlainCommandText(ID_OPEN));
    dialog.setObjectName("openDialog");
    PrepareOpen(dialog, setup, filters);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    const std::string path = dialog.selectedFiles().first().toStdString();
    RememberOpenChoice(path, int(filters.indexOf(dialog.selectedNameFilter())) + 1);
    return path;
}

std::unique_ptr<CPicture> ImportPictureDialog(QWidget* owner) {
    OpenDialogSetup setup;
    if (!PrepareOpenDialog(setup, OpenDialogKind::Import)) return nullptr;
    const QStringList filters = QtNameFilters(setup.filter);
    QFileDialog dialog(owner, PlainCommandText(ID_IMPORT));
    dialog.setObjectName("importDialog");
    PrepareOpen(dialog, setup, filters);
    if (owner) owner->setEnabled(false);
    const bool accepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    if (owner) {
        owner->setEnabled(true);
        owner->activateWindow();
    }
    if (!accepted) return nullptr;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::unique_ptr<CPicture> picture = ImportChosenFile(
        dialog.selectedFiles().first().toStdString(), int(filters.indexOf(dialog.selectedNameFilter())) + 1);
    QApplication::restoreOverrideCursor();
    return picture;
}

std::string RunImportBitmapDialog(QWidget* owner) {
    QFileDialog dialog(owner, PlainCommandText(ID_IMPORT));
    dialog.setObjectName("importBitmapDialog");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(QtNameFilters(std::string(kImportFilter) + "||"));
    dialog.setDefaultSuffix(QString::fromUtf8(kImportDefaultExtension));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first().toStdString();
}

CSaveDialog::CSaveDialog(QWidget* owner, const std::string& writeFilter, int filterPosition,
                         const QString& directory, const QString& fileName)
    : QFileDialog(owner, PlainCommandText(ID_SAVE_AS)) {
    setObjectName("saveAsDialog");
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    filters_ = QtNameFilters(writeFilter);
    setNameFilters(filters_);
    setDirectory(directory);
    if (filterPosition >= 1 && filterPosition <= filters_.size()) selectNameFilter(filters_[filterPosition - 1]);
    SetFileNameText(fileName);
    connect(this, &QFileDialog::filterSelected, this, &CSaveDialog::OnTypeChanged);
}

int CSaveDialog::WritePosition() const { return std::max(0, int(filters_.indexOf(selectedNameFilter()))); }

QString CSaveDialog::FileNameText() const {
    const auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    return edit ? edit->text() : QString();
}

void CSaveDialog::SetFileNameText(const QString& text) {
    if (auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        edit->setText(text);
    else
        selectFile(text);
}

void CSaveDialog::OnTypeChanged(const QString& filter) {
    const int position = int(filters_.indexOf(filter));
    if (position < 0) return;
    const QString name = FileNameText();
    const std::string renamed = FileNameForType(name.toStdString(), position);
    if (renamed != name.toStdString()) SetFileNameText(QString::fromStdString(renamed));
}

void CSaveDialog::accept() {
    const QString name = FileNameText();
    if (!name.isEmpty()) {
        const std::string completed = FileNameOnAccept(name.toStdString(), WritePosition());
        if (completed != name.toStdString()) SetFileNameText(QString::fromStdString(completed));
    }
    QFileDialog::accept();
}

std::string RunSaveAsDialog(QWidget* owner, const std::string& documentPath, CPicture* picture) {
    if (!picture) return {};
    SaveDialogSetup setup;
    if (!PrepareSaveDialog(documentPath, setup)) return {};
    QString name = QString::fromStdString(setup.defaultName);
    CSaveDialog dialog(owner, setup.filter, setup.filterPosition,
                       QString::fromStdString(setup.initialDirectory), name);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    const std::string path = dialog.selectedFiles().first().toStdString();
    InstallSaveOptionDialog();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const SaveAsResult result = SaveAsToPath(path, picture, owner);
    QApplication::restoreOverrideCursor();
    return result == kSaveAsWritten ? path : std::string();
}

void InstallSaveOptionDialog() { SetSaveOptionDialog(&RunSaveOptions); }
