#include "document/file_dialogs_qt.h"

#include <QCoreApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>

#include "document/import_export_formats.h"
#include "platform/imflib/imflib.h"

#include "resources/string_ids.h"
#include "resources/strings.h"

namespace {
// This file's texts for the user, in their own translation context.
struct FileDialogsText {
    Q_DECLARE_TR_FUNCTIONS(FileDialogsText)
};
}  // namespace

namespace {

FileDialogAnswerer& Answerer() {
    static FileDialogAnswerer answerer;
    return answerer;
}

// Patterns separated by ';' as Qt wants them: blank-separated, a format's
// every spelling of its extension ("*.JPG": *.jpg *.jpeg *.jpe ...), each in
// lower and upper case (file names on this system keep their case).
QString QtPatterns(const QString& patterns) {
    QStringList out;
    auto add = [&out](const QString& pattern) {
        if (!out.contains(pattern)) out << pattern;
    };
    for (const QString& p : patterns.split(';', Qt::SkipEmptyParts)) {
        const QString t = p.trimmed();
        if (t.isEmpty()) continue;
        if (!t.startsWith(QStringLiteral("*."))) {
            add(t.toLower());
            add(t.toUpper());
            continue;
        }
        for (const std::string& spelling : ExtensionSpellings(t.mid(2).toStdString())) {
            const QString e = QString::fromStdString(spelling);
            add("*." + e.toLower());
            add("*." + e.toUpper());
        }
    }
    return out.join(' ');
}

// The option dialog behind AllSetSaveOption.
int RunSaveOptions(const char* extension, SaveOptions* options, void* ownerWindow) {
    const QString ext = QString::fromUtf8(extension ? extension : "").toLower();
    const bool jpeg = ext == "jpg" || ext == "jpeg" || ext == "jpe" || ext == "jfif";
    const bool tiff = ext == "tif" || ext == "tiff";
    if (!options || (!jpeg && !tiff)) return 1;
    QDialog dialog(static_cast<QWidget*>(ownerWindow));
    dialog.setObjectName("saveOptionsDialog");
    dialog.setWindowTitle(jpeg ? FileDialogsText::tr("JPEG Options") : FileDialogsText::tr("TIFF Options"));
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
        quality->setAccessibleName(FileDialogsText::tr("Quality"));
        slider->setAccessibleName(FileDialogsText::tr("Quality"));
        QObject::connect(slider, &QSlider::valueChanged, quality, &QSpinBox::setValue);
        QObject::connect(quality, &QSpinBox::valueChanged, slider, &QSlider::setValue);
        h->addWidget(slider, 1);
        h->addWidget(quality);
        form->addRow(FileDialogsText::tr("&Quality:"), row);
    } else {
        compression = new QComboBox(&dialog);
        compression->setObjectName("tiffCompression");
        compression->setAccessibleName(FileDialogsText::tr("Compression"));
        const std::pair<const char*, int> kinds[] = {
            {QT_TRANSLATE_NOOP("FileDialogsText", "Automatic"), kTiffCompressionAuto},
            {QT_TRANSLATE_NOOP("FileDialogsText", "None"), kTiffCompressionNone},
            {"LZW", kTiffCompressionLzw},         {"Deflate", kTiffCompressionDeflate},
            {"PackBits", kTiffCompressionPackBits}, {"JPEG", kTiffCompressionJpeg},
            {"CCITT Group 3", kTiffCompressionG3}, {"CCITT Group 4", kTiffCompressionG4}};
        for (const auto& [name, value] : kinds) compression->addItem(FileDialogsText::tr(name), value);
        compression->setCurrentIndex(std::max(0, compression->findData(options->tiffCompression)));
        form->addRow(FileDialogsText::tr("&Compression:"), compression);
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

// The save dialog: a name without a dot takes the chosen type's extension
// before the dialog closes (and asks about overwriting).
class SaveDialog : public QFileDialog {
public:
    SaveDialog(QWidget* owner, const QString& caption, const QString& directory,
               const QStringList& filters, const QStringList& extensions)
        : QFileDialog(owner, caption, directory), filters_(filters), extensions_(extensions) {}
    QLineEdit* NameEdit() const { return findChild<QLineEdit*>("fileNameEdit"); }
    void accept() override {
        const int i = int(filters_.indexOf(selectedNameFilter()));
        QLineEdit* edit = NameEdit();
        if (edit && i >= 0 && i < extensions_.size()) {
            const QString name = edit->text().trimmed();
            if (!name.isEmpty() && !QFileInfo(name).fileName().contains('.'))
                edit->setText(name + '.' + extensions_[i]);
        }
        QFileDialog::accept();
    }

private:
    QStringList filters_, extensions_;
};

int PositionOf(const QStringList& filters, const QString& selected) {
    const int i = filters.indexOf(selected);
    return i < 0 ? 1 : i + 1;
}

}  // namespace

void SetFileDialogAnswerer(FileDialogAnswerer answerer) { Answerer() = std::move(answerer); }

QStringList QtFilters(const std::string& tableFilter) {
    const QStringList parts = QString::fromStdString(tableFilter).split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString label = parts[i].trimmed();
        if (label.isEmpty()) break;  // the closing bar
        filters << label + " (" + QtPatterns(parts[i + 1]) + ")";
    }
    return filters;
}

QString DocumentFilter() {
    const QString filter = QString::fromStdString(
        TextAfterLineBreak(TextAfterLineBreak(TextAfterLineBreak(LoadStringById(IDS_DOCUMENT_TEMPLATE)))));
    // "Stitchara Files (*.vdl)\n.vdl": the label up to the line break.
    return filter.section('\n', 0, 0);
}

FileChoice ChooseOpenFile(QWidget* owner, const QString& caption, const QString& directory,
                          const QString& initialName, const QStringList& filters, int position) {
    if (Answerer()) return Answerer()(FileDialogKind::Open, directory, filters, position);
    QFileDialog dialog(owner, caption, directory);
    dialog.setObjectName("OpenFileDialog");
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setNameFilters(filters);
    if (position >= 1 && position <= filters.size()) dialog.selectNameFilter(filters[position - 1]);
    if (!initialName.isEmpty() && !initialName.contains('*')) dialog.selectFile(initialName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return {dialog.selectedFiles().first(), PositionOf(filters, dialog.selectedNameFilter())};
}

FileChoice ChooseSaveFile(QWidget* owner, const QString& caption, const QString& directory,
                          const QString& initialName, const QStringList& filters, int position,
                          const QStringList& extensions) {
    FileChoice choice;
    if (Answerer()) {
        choice = Answerer()(FileDialogKind::SaveAs, directory, filters, position);
    } else {
        SaveDialog dialog(owner, caption, directory, filters, extensions);
        dialog.setObjectName("SaveFileDialog");
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setNameFilters(filters);
        if (position >= 1 && position <= filters.size()) dialog.selectNameFilter(filters[position - 1]);
        dialog.selectFile(initialName);
        // Changing the type rewrites the extension of a name that has one.
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& f) {
            const int i = filters.indexOf(f);
            if (i < 0 || i >= extensions.size()) return;
            // The name field is the dialog's line edit.
            if (auto* edit = dialog.findChild<QLineEdit*>("fileNameEdit")) {
                const QString name = edit->text();
                const int dot = name.lastIndexOf('.');
                if (dot >= 0) edit->setText(name.left(dot + 1) + extensions[i]);
            }
        });
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
        choice = {dialog.selectedFiles().first(), PositionOf(filters, dialog.selectedNameFilter())};
    }
    if (choice.path.isEmpty()) return choice;
    InstallSaveOptionDialog();
    // A name typed without a dot takes the chosen type's extension.
    const QFileInfo info(choice.path);
    if (!info.fileName().contains('.') && choice.filterPosition >= 1 &&
        choice.filterPosition <= extensions.size())
        choice.path += '.' + extensions[choice.filterPosition - 1];
    return choice;
}

void InstallSaveOptionDialog() { SetSaveOptionDialog(&RunSaveOptions); }
