#include "document/file_dialogs_qt.h"

#include <QCoreApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPointer>
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
// before the dialog closes (and asks about overwriting); changing the type
// rewrites the extension of a name that has one.
class SaveDialog : public QFileDialog {
public:
    SaveDialog(QWidget* owner, const QString& caption, const QString& directory,
               const QStringList& filters, const QStringList& extensions)
        : QFileDialog(owner, caption, directory), filters_(filters), extensions_(extensions) {
        connect(this, &QFileDialog::filterSelected, this, [this](const QString& f) {
            const int i = int(filters_.indexOf(f));
            if (i < 0 || i >= extensions_.size()) return;
            if (QLineEdit* edit = NameEdit()) {
                const QString name = edit->text();
                const int dot = int(name.lastIndexOf('.'));
                if (dot >= 0) edit->setText(name.left(dot + 1) + extensions_[i]);
            }
        });
    }
    // The name field is the dialog's line edit.
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
    const int i = int(filters.indexOf(selected));
    return i < 0 ? 1 : i + 1;
}

QFileDialog* NewOpenDialog(QWidget* owner, const QString& caption, const QString& directory,
                           const QString& initialName, const QStringList& filters, int position) {
    auto* dialog = new QFileDialog(owner, caption, directory);
    dialog->setObjectName("OpenFileDialog");
    dialog->setAccessibleName(caption);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setOption(QFileDialog::ReadOnly, false);
    dialog->setNameFilters(filters);
    if (position >= 1 && position <= filters.size()) dialog->selectNameFilter(filters[position - 1]);
    if (!initialName.isEmpty() && !initialName.contains('*')) dialog->selectFile(initialName);
    return dialog;
}

SaveDialog* NewSaveDialog(QWidget* owner, const QString& caption, const QString& directory,
                          const QString& initialName, const QStringList& filters, int position,
                          const QStringList& extensions) {
    auto* dialog = new SaveDialog(owner, caption, directory, filters, extensions);
    dialog->setObjectName("SaveFileDialog");
    dialog->setAccessibleName(caption);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setNameFilters(filters);
    if (position >= 1 && position <= filters.size()) dialog->selectNameFilter(filters[position - 1]);
    dialog->selectFile(initialName);
    return dialog;
}

// What the user chose in a closed dialog (an empty path: cancelled).
FileChoice ChoiceOf(const QFileDialog& dialog, int result, const QStringList& filters) {
    const QStringList files = dialog.selectedFiles();
    if (result != QDialog::Accepted || files.isEmpty()) return {};
    return {files.first(), PositionOf(filters, dialog.selectedNameFilter()), files.mid(1)};
}

// A chosen save name without a dot takes the chosen type's extension; the
// format's options are asked next.
FileChoice CompleteSaveChoice(FileChoice choice, const QStringList& extensions) {
    if (choice.path.isEmpty()) return choice;
    InstallSaveOptionDialog();
    const QFileInfo info(choice.path);
    if (!info.fileName().contains('.') && choice.filterPosition >= 1 &&
        choice.filterPosition <= extensions.size())
        choice.path += '.' + extensions[choice.filterPosition - 1];
    return choice;
}

// Opens dialog window-modal; chosen gets the answer when it closes, unless
// context has gone by then. The dialog goes once it has answered.
void OpenDialog(QFileDialog* dialog, const QStringList& filters, QObject* context,
                std::function<void(const FileChoice&)> chosen) {
    const QPointer<QObject> guard(context);
    const bool hasContext = context != nullptr;
    QObject::connect(dialog, &QDialog::finished, dialog,
                     [dialog, filters, guard, hasContext, chosen = std::move(chosen)](int result) {
                         const FileChoice choice = ChoiceOf(*dialog, result, filters);
                         dialog->deleteLater();
                         if (hasContext && !guard) return;
                         if (chosen) chosen(choice);
                     });
    dialog->open();
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

void AskOpenFile(QWidget* owner, const QString& caption, const QString& directory, const QString& initialName,
                 const QStringList& filters, int position, QObject* context,
                 std::function<void(const FileChoice&)> chosen) {
    if (Answerer()) {
        const FileChoice choice = Answerer()(FileDialogKind::Open, directory, filters, position);
        if (chosen) chosen(choice);
        return;
    }
    OpenDialog(NewOpenDialog(owner, caption, directory, initialName, filters, position), filters, context,
               std::move(chosen));
}

void AskOpenFiles(QWidget* owner, const QString& caption, const QString& directory, const QStringList& filters,
                  int position, QObject* context, std::function<void(const FileChoice&)> chosen) {
    if (Answerer()) {
        const FileChoice choice = Answerer()(FileDialogKind::OpenSeveral, directory, filters, position);
        if (chosen) chosen(choice);
        return;
    }
    QFileDialog* dialog = NewOpenDialog(owner, caption, directory, QString(), filters, position);
    dialog->setFileMode(QFileDialog::ExistingFiles);
    OpenDialog(dialog, filters, context, std::move(chosen));
}

void AskSaveFile(QWidget* owner, const QString& caption, const QString& directory, const QString& initialName,
                 const QStringList& filters, int position, const QStringList& extensions, QObject* context,
                 std::function<void(const FileChoice&)> chosen) {
    auto complete = [extensions, chosen = std::move(chosen)](const FileChoice& choice) {
        if (chosen) chosen(CompleteSaveChoice(choice, extensions));
    };
    if (Answerer()) {
        complete(Answerer()(FileDialogKind::SaveAs, directory, filters, position));
        return;
    }
    OpenDialog(NewSaveDialog(owner, caption, directory, initialName, filters, position, extensions), filters,
               context, std::move(complete));
}

FileChoice ChooseSaveFile(QWidget* owner, const QString& caption, const QString& directory,
                          const QString& initialName, const QStringList& filters, int position,
                          const QStringList& extensions) {
    if (Answerer())
        return CompleteSaveChoice(Answerer()(FileDialogKind::SaveAs, directory, filters, position), extensions);
    // Modal: the caller needs the answer before it goes on. The owner may
    // go meanwhile, and the dialog with it.
    QPointer<SaveDialog> dialog = NewSaveDialog(owner, caption, directory, initialName, filters, position, extensions);
    const int result = dialog->exec();
    if (!dialog) return {};
    const FileChoice choice = ChoiceOf(*dialog, result, filters);
    delete dialog.data();
    return CompleteSaveChoice(choice, extensions);
}

void InstallSaveOptionDialog() { SetSaveOptionDialog(&RunSaveOptions); }
