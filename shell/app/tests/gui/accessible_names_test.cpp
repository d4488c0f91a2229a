// What a screen reader reads in each dialog: the accessibility tree of the
// stitch sheet, the print sheet (with its Rescale page), the scanner's dialog
// and the information sheet, walked page by page as the application builds
// them. Every control has a name; no two controls on a page share one; no
// name is a value (the control's current value, or a text without words such
// as ">>" or "x"); a label that shows a value is named by its caption and
// its value can be read.
#include <QAccessible>
#include <QAccessibleInterface>
#include <QLabel>
#include <QMdiArea>
#include <QPrinter>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

#include "acquire/acquire_commands_qt.h"
#include "base/job_qt.h"
#include "base/message_box.h"
#include "base/testing/on_modal_qt.h"
#include "document/document_qt.h"
#include "document/import_export.h"
#include "info/info_sheet_qt.h"
#include "platform/twain/testing/sane_test_config.h"
#include "print/print_commands_qt.h"
#include "print/print_sheet_qt.h"
#include "resources/command_ids.h"
#include "shell/app/app_qt.h"
#include "shell/app/commands_qt.h"
#include "shell/app/main_wnd_qt.h"
#include "shell/app/tests/gui/run_in_application.h"
#include "stitch/stitch_sheet_qt.h"

namespace {

QString Sample(const char* name) { return qEnvironmentVariable("STITCHARA_SOURCE_DIR") + "/samples/" + name; }

bool IsControl(QAccessible::Role role) {
    switch (role) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::SpinBox:
    case QAccessible::EditableText:
    case QAccessible::ScrollBar:
    case QAccessible::Slider:
    case QAccessible::List:
        return true;
    default:
        return false;
    }
}

// The visible controls under iface: the interactive ones, and every widget
// the program named (value labels, thumbnails, layout boxes). Captions and
// the insides of a control (a drop-down's list) are not controls.
void Collect(QAccessibleInterface* iface, QList<QAccessibleInterface*>& out) {
    for (int i = 0; i < iface->childCount(); ++i) {
        QAccessibleInterface* child = iface->child(i);
        if (!child || child->state().invisible) continue;
        auto* widget = qobject_cast<QWidget*>(child->object());
        const bool named = widget && !widget->objectName().isEmpty() &&
                           !widget->objectName().startsWith(QLatin1String("qt_"));
        if (IsControl(child->role()) || named) {
            out << child;
            if (child->role() == QAccessible::ComboBox || child->role() == QAccessible::SpinBox) continue;
        }
        Collect(child, out);
    }
}

// What is wrong with the names of the controls on the visible part of
// window, one line each.
QStringList Faults(QWidget* window, const QString& page) {
    QStringList faults;
    QAccessibleInterface* root = QAccessible::queryAccessibleInterface(window);
    if (!root) return {page + ": no accessible interface"};
    QList<QAccessibleInterface*> controls;
    Collect(root, controls);
    QHash<QString, int> seen;
    static const QRegularExpression letters(QStringLiteral("\\p{L}"));
    for (QAccessibleInterface* c : controls) {
        const QString name = c->text(QAccessible::Name).trimmed();
        const QString value = c->text(QAccessible::Value).trimmed();
        auto* widget = qobject_cast<QWidget*>(c->object());
        const QString what = page + ": " + (widget ? widget->metaObject()->className() + QStringLiteral(" ") +
                                                         widget->objectName()
                                                   : QStringLiteral("?")) +
                             " \"" + name + "\"";
        if (name.isEmpty()) {
            faults << what + " has no name";
            continue;
        }
        ++seen[name];
        if (name.count(letters) < 2) faults << what + " is named without words";
        if (!value.isEmpty() && name == value) faults << what + " is named by its value";
        if (auto* label = qobject_cast<QLabel*>(c->object())) {
            const QString shown = label->text().trimmed();
            if (shown.isEmpty()) continue;
            if (name == shown && label->pixmap().isNull())
                faults << what + " is a value named by its value";
            QAccessibleTextInterface* text = c->textInterface();
            if (!text || text->text(0, text->characterCount()).trimmed() != shown)
                faults << what + " does not let its value \"" + shown + "\" be read";
            if (c->text(QAccessible::Description).trimmed() != shown)
                faults << what + " does not describe its value \"" + shown + "\"";
        }
    }
    for (auto it = seen.cbegin(); it != seen.cend(); ++it)
        if (it.value() > 1) faults << page + ": " + QString::number(it.value()) + " controls are named \"" + it.key() + "\"";
    return faults;
}

// Walks every page of a sheet's tab widget (each page visible in turn) and
// the sheet's own controls with it.
QStringList SheetFaults(QWidget* sheet, QTabWidget* tabs, const QString& name) {
    QStringList faults;
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        faults << Faults(sheet, name + " / " + tabs->tabText(i));
    }
    return faults;
}

std::function<void(CPrintSheet*)> gOnPrintSheet;
void PrintSheetHook(CPrintSheet* sheet) {
    QTimer::singleShot(0, sheet, [sheet] { gOnPrintSheet(sheet); });
}

}  // namespace

class AccessibleNamesTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    CVandrelApp* app() { return theApp(); }
    PMainWnd* main() { return theApp()->mainWindow(); }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        SetMessageSink([](const std::string& text) { qWarning("message: %s", text.c_str()); });
        app()->setPrinterAvailable(true);
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(dir_.filePath("out.pdf"));
        ThePrintEngine().SetPrinter(std::move(printer));
        QVERIFY(app()->OpenDocumentFile(Sample("left.png")));
        // Read on a worker thread: its window comes when the job ends.
        QVERIFY(QTest::qWaitFor([] { return Job::runningJobs().isEmpty(); }, 120000));
        QVERIFY(QTest::qWaitForWindowExposed(main()));
    }

    void stitchSheet() {
        app()->OnCommand(ID_STITCH);
        CStitchSheet* sheet = CurrentStitchSheet();
        QVERIFY(sheet);
        sheet->page(0)->TakePicture(ReadImageFile(Sample("left.png").toStdString(), false));
        sheet->page(1)->TakePicture(ReadImageFile(Sample("right.png").toStdString(), false));
        QVERIFY(QTest::qWaitForWindowExposed(sheet));
        const QStringList faults = SheetFaults(sheet, sheet->tabs(), "stitch sheet");
        sheet->close();
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    }

    // The printer page's line names the printer in use, not the one the
    // dialog template was drawn with.
    void printSheet() {
        QStringList faults;
        bool walked = false;
        gOnPrintSheet = [&](CPrintSheet* sheet) {
            faults = SheetFaults(sheet, sheet->Tabs(), "print sheet");
            auto* printer = sheet->findChild<QLabel*>("printerLabel");
            QAccessibleInterface* line = QAccessible::queryAccessibleInterface(printer);
            if (!line->text(QAccessible::Description).contains(ThePrintEngine().DeviceName()))
                faults << "the printer line reads \"" + line->text(QAccessible::Name) + ": " +
                              line->text(QAccessible::Description) + "\"";
            walked = true;
            sheet->reject();
        };
        SetPrintSheetHook(PrintSheetHook);
        QVERIFY(app()->commands()->execute(ID_PRINT));
        SetPrintSheetHook(nullptr);
        QTRY_VERIFY(walked);
        QTRY_VERIFY(!OpenPrintDialog());
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    }

    void scannerDialog() {
        QVERIFY(ScannerAvailable());
        QStringList faults;
        bool walked = false;
        OnModal([&](QWidget* dialog) {
            faults = Faults(dialog, dialog->windowTitle());
            walked = true;
            QMetaObject::invokeMethod(dialog, "reject");
        });
        HandleAcquireCommand(ID_ACQUIRE, main());
        QVERIFY(walked);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    }

    void informationSheet() {
        CInfoSheet sheet(main()->mdiArea(), main());
        sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        const QStringList faults = SheetFaults(&sheet, sheet.Tabs(), "information sheet");
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    }

    void cleanupTestCase() {
        for (Document* doc : app()->documents()) doc->setModified(false);
    }
};

int main(int argc, char** argv) {
    return apptest::RunInApplication<AccessibleNamesTest>(argc, argv, [](const QTemporaryDir& dir) {
        sanetest::UseTestBackend(dir.filePath(QStringLiteral("sane")).toStdString());
        // The tree is built as a screen reader would see it.
        qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    });
}

#include "accessible_names_test.moc"
