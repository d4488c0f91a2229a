#include "document/file_dialogs_qt.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>

#include "resources/string_ids.h"
#include "resources/strings.h"

namespace {

FileDialogAnswerer& Answerer() {
    static FileDialogAnswerer answerer;
    return answerer;
}

// Patterns separated by ';' as Qt wants them: blank-separated, each in its
// lower- and upper-case spelling (file names on this system keep their case).
QString QtPatterns(const QString& patterns) {
    QStringList out;
    for (const QString& p : patterns.split(';', Qt::SkipEmptyParts)) {
        const QString t = p.trimmed();
        if (t.isEmpty()) continue;
        if (!out.contains(t.toLower())) out << t.toLower();
        if (!out.contains(t.toUpper())) out << t.toUpper();
    }
    return out.join(' ');
}

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
        QFileDialog dialog(owner, caption, directory);
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
    // A name typed without a dot takes the chosen type's extension.
    const QFileInfo info(choice.path);
    if (!info.fileName().contains('.') && choice.filterPosition >= 1 &&
        choice.filterPosition <= extensions.size())
        choice.path += '.' + extensions[choice.filterPosition - 1];
    return choice;
}
