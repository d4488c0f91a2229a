// What a new user reaches for first, in the running application: printing
// with no printer installed (to a PDF file), the view's keys (Ctrl+0, F11,
// zooming in full screen, Escape alone leaving it) and the main window
// coming back where it was left. No printer: the program is pointed at a
// print server that does not exist before it starts.
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

#include "base/command_registry_qt.h"
#include "display/view_geometry.h"
#include "display/view_qt.h"
#include "document/document_qt.h"
#include "platform/profile.h"
#include "print/print_commands_qt.h"
#include "print/print_sheet_qt.h"
#include "resources/command_ids.h"
#include "shell/app/app_qt.h"
#include "shell/app/main_wnd_qt.h"
#include "shell/app/status_bar_qt.h"
#include "shell/app/tests/gui/run_in_application.h"

namespace {

QString Sample(const char* name) { return qEnvironmentVariable("STITCHARA_SOURCE_DIR") + "/samples/" + name; }

std::function<void(CPrintSheet*)> gOnSheet;

void SheetHook(CPrintSheet* sheet) {
    QPointer<CPrintSheet> guard(sheet);
    QTimer::singleShot(0, sheet, [guard] {
        if (guard && gOnSheet) gOnSheet(guard);
    });
}

// A PDF file as a reader expects it: the header, an end marker, pages.
QString PdfFault(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QStringLiteral("no file ") + path;
    const QByteArray bytes = file.readAll();
    if (!bytes.startsWith("%PDF-1.")) return QStringLiteral("no PDF header");
    if (!bytes.right(32).contains("%%EOF")) return QStringLiteral("no end of file marker");
    if (!bytes.contains("/Type /Page")) return QStringLiteral("no page");
    return {};
}

// The window Full Screen shows, while it shows.
QWidget* FullScreenWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("fullScreen") && w->isVisible()) return w;
    return nullptr;
}

}  // namespace

class UsabilityTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    CVandrelApp* app() { return theApp(); }
    PMainWnd* main() { return theApp()->mainWindow(); }
    bool enabled(int id) { return app()->commands()->state(id).enabled; }

    // The sample in its window once it has been read (files are read in
    // the background).
    CVandrelView* OpenSample() {
        Document* doc = nullptr;
        bool done = false;
        app()->OpenDocumentFile(Sample("left.png"), [&](Document* opened) {
            doc = opened;
            done = true;
        });
        if (!QTest::qWaitFor([&] { return done; }, 120000) || !doc) return nullptr;
        return main()->activeDocumentWindow()->findChild<CVandrelView*>();
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        QVERIFY2(QFile::exists(Sample("left.png")), "no sample pictures: set STITCHARA_SOURCE_DIR (ctest does)");
        // A message would wait for an answer: it fails the test instead.
        app()->setMessageHandler([](const QString& text) { QFAIL(qPrintable(text)); });
        SetPrintSheetHook(SheetHook);
    }
    void cleanup() {
        gOnSheet = nullptr;
        for (Document* doc : app()->documents()) doc->setModified(false);
        main()->mdiArea()->closeAllSubWindows();
        QTRY_VERIFY(app()->documents().isEmpty());
    }

    // No printer: Print, Quick Print and Print Preview are there all the
    // same; the sheet offers the PDF file, chosen in a file dialog; what was
    // chosen is kept for Quick Print and the next start.
    void printingWithoutAPrinter() {
        if (!QPrinterInfo::availablePrinterNames().isEmpty()) QSKIP("a printer is reachable here");
        QVERIFY(app()->printerAvailable());
        QVERIFY(OpenSample());
        for (int id : {ID_PRINT, ID_QUICK_PRINT, ID_PRINT_PREVIEW, ID_PRINT_SETUP})
            QVERIFY2(enabled(id), qPrintable(QString::number(id)));

        const QString chosen = dir_.filePath(QStringLiteral("map print.pdf"));
        bool offered = false, dialogShown = false;
        gOnSheet = [&](CPrintSheet* sheet) {
            auto* file = sheet->findChild<QLineEdit*>(QStringLiteral("pdfFileEdit"));
            offered = file && file->isVisibleTo(sheet) && file->text().endsWith(QLatin1String(".pdf"));
            sheet->findChild<QPushButton*>(QStringLiteral("pdfBrowseButton"))->click();
            auto* dialog = sheet->findChild<QFileDialog*>(QStringLiteral("pdfFileDialog"));
            dialogShown = dialog && dialog->isVisible();
            if (dialog) {
                // Typed without the extension: the dialog adds it.
                dialog->selectFile(dir_.filePath(QStringLiteral("map print")));
                static_cast<QDialog*>(dialog)->accept();
            }
            sheet->findChild<QPushButton*>(QStringLiteral("printButton"))->click();
        };
        QVERIFY(app()->commands()->execute(ID_PRINT));
        // The pages go out on a worker thread.
        QTRY_VERIFY_WITH_TIMEOUT(!OpenPrintDialog() && !ThePrintEngine().Busy(), 60000);
        QVERIFY(offered);
        QVERIFY(dialogShown);
        const QString fault = PdfFault(chosen);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
        QVERIFY2(main()->statusBar()->promptText().contains(QStringLiteral("map print.pdf")),
                 qPrintable(main()->statusBar()->promptText()));
        QCOMPARE(QString::fromStdString(platform::GetProfileString("Print", "PdfFile", "")), chosen);

        // Quick Print asks nothing and prints to the same file.
        QVERIFY(QFile::remove(chosen));
        QVERIFY(app()->commands()->execute(ID_QUICK_PRINT));
        QTRY_VERIFY_WITH_TIMEOUT(!ThePrintEngine().Busy(), 60000);
        QVERIFY2(PdfFault(chosen).isEmpty(), qPrintable(PdfFault(chosen)));

        // Print Preview, as the menu sends it: the page beside the document.
        QMdiArea* area = main()->mdiArea();
        app()->commands()->action(ID_PRINT_PREVIEW)->trigger();
        QTRY_COMPARE(area->subWindowList().size(), 2);
        auto* preview = area->subWindowList().last()->findChild<PPreviewView*>();
        QVERIFY(preview);
        QVERIFY(!preview->PageImage().isNull());
        preview->OnClose();
        QTRY_COMPARE(area->subWindowList().size(), 1);

        // Print Setup's "Print to File (PDF)" is what the next start uses.
        QPrinter setup(QPrinter::HighResolution);
        setup.setOutputFormat(QPrinter::PdfFormat);
        setup.setOutputFileName(dir_.filePath(QStringLiteral("setup.pdf")));
        QVERIFY(RememberPrinterChoice(setup));
        std::unique_ptr<QPrinter> next = RememberedPrinter();
        QCOMPARE(next->outputFormat(), QPrinter::PdfFormat);
        QCOMPARE(next->outputFileName(), dir_.filePath(QStringLiteral("setup.pdf")));
    }

    // Ctrl+0 fits the picture in its window; F11 shows it on the full
    // screen, where the zoom keys zoom and only Escape leaves.
    void viewKeys() {
        CVandrelView* view = OpenSample();
        QVERIFY(view);
        QVERIFY(QTest::qWaitForWindowActive(main()));
        view->setFocus();
        view->OnCommand(ID_ZOOM_4);
        QCOMPARE(view->Zoom(), 4);
        QTest::keyClick(view, Qt::Key_0, Qt::ControlModifier);
        QVERIFY2(view->Zoom() <= 1, qPrintable(QString::number(view->Zoom())));

        QList<int> zooms;
        bool leftEarly = false, leftOnEscape = false;
        QTimer::singleShot(0, [&] {
            QWidget* full = FullScreenWindow();
            if (!full) return;
            zooms << full->property("zoom").toInt();
            QTest::keyClick(full, Qt::Key_Plus);
            zooms << full->property("zoom").toInt();
            QTest::keyClick(full, Qt::Key_Minus);
            QTest::keyClick(full, Qt::Key_Minus);
            zooms << full->property("zoom").toInt();
            QTest::keyClick(full, Qt::Key_0, Qt::ControlModifier);
            zooms << full->property("zoom").toInt();
            QTest::keyClick(full, Qt::Key_A);
            QTest::keyClick(full, Qt::Key_Space);
            QTest::mouseClick(full, Qt::LeftButton);
            leftEarly = FullScreenWindow() == nullptr;
            QTest::keyClick(full, Qt::Key_Escape);
            leftOnEscape = true;
        });
        // Never stuck: whatever happens, the window goes after a while.
        QTimer::singleShot(20000, [] {
            if (QWidget* full = FullScreenWindow()) full->close();
        });
        QTest::keyClick(view, Qt::Key_F11);
        QTRY_VERIFY_WITH_TIMEOUT(leftOnEscape || (zooms.isEmpty() && !FullScreenWindow()), 25000);
        QCOMPARE(zooms.size(), 4);
        const int fit = zooms[0];
        QCOMPARE(zooms[1], display::ZoomIn(fit));
        QCOMPARE(zooms[2], display::ZoomOut(display::ZoomOut(display::ZoomIn(fit))));
        QCOMPARE(zooms[3], fit);
        QVERIFY(!leftEarly);
        QVERIFY(leftOnEscape);
        QVERIFY(!FullScreenWindow());
    }

    // A menu command grayed by the open stitch sheet says so in the status
    // bar; once the sheet is closed its prompt is the plain one again.
    void grayCommandsSayWhy() {
        QVERIFY(OpenSample());
        QAction* mirror = app()->commands()->action(ID_MIRROR_HORIZONTAL);
        QMenu* bitmap = main()->findChild<QMenu*>(QStringLiteral("Bitmap"));
        QVERIFY(mirror && bitmap);
        app()->stitchIdle = 0;  // as an open stitch sheet does
        app()->UpdateCommandStates();
        QVERIFY(!mirror->isEnabled());
        emit bitmap->hovered(mirror);
        const QString plain = PMainWnd::PromptForMenuItem(mirror);
        QVERIFY(!plain.isEmpty());
        QCOMPARE(main()->statusBar()->promptText(), plain + QStringLiteral(" (not available while the stitch sheet is open)"));
        app()->stitchIdle = 1;
        app()->UpdateCommandStates();
        QVERIFY(mirror->isEnabled());
        emit bitmap->hovered(mirror);
        QCOMPARE(main()->statusBar()->promptText(), plain);
    }

    // The main window comes back at the size and place it was left.
    void windowGeometryIsKept() {
        main()->showNormal();
        const QRect placed(60, 50, 520, 380);
        main()->setGeometry(placed);
        QTRY_COMPARE(main()->geometry(), placed);
        QVERIFY(main()->close());
        CVandrelApp::StartOptions options;
        options.showLogo = false;
        QVERIFY(app()->InitInstance(options));
        QVERIFY(main()->isVisible());
        QVERIFY(!main()->isMaximized());
        QTRY_COMPARE(main()->geometry(), placed);

        // Left maximised, it starts maximised.
        main()->showMaximized();
        QTRY_VERIFY(main()->isMaximized());
        QVERIFY(main()->close());
        QVERIFY(app()->InitInstance(options));
        QTRY_VERIFY(main()->isMaximized());
    }
};

int main(int argc, char** argv) {
    return apptest::RunInApplication<UsabilityTest>(argc, argv, [](const QTemporaryDir& folder) {
        // No printer: a print server that is not there.
        qputenv("CUPS_SERVER", folder.filePath(QStringLiteral("no-cups.sock")).toUtf8());
    });
}

#include "usability_test.moc"
