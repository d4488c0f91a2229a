// Every long operation of the application, run while a document window is
// maximised: each must finish. A maximised window writes its own form of the
// main window's title, and the progress display lets events through between
// steps; the two once fed each other without end and the program hung. A
// hang here fails the test through Qt Test's watchdog (the time limit is set
// in main()), never by making ctest wait.
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "base/job_qt.h"
#include "base/message_box.h"
#include "display/view_qt.h"
#include "document/document_qt.h"
#include "document/file_dialogs_qt.h"
#include "document/import_export.h"
#include "picture/picture.h"
#include "print/print_commands_qt.h"
#include "resources/command_ids.h"
#include "shell/app/app_qt.h"
#include "shell/app/commands_qt.h"
#include "shell/app/main_wnd_qt.h"
#include "shell/app/tests/gui/run_in_application.h"
#include "stitch/deskew_tool_qt.h"
#include "stitch/stitch_mouse_tool_qt.h"
#include "stitch/stitch_sheet_qt.h"
#include "stitch/stitch_tool.h"

namespace {

QString Sample(const char* name) { return qEnvironmentVariable("STITCHARA_SOURCE_DIR") + "/samples/" + name; }

}  // namespace

class MaximisedWorkTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QStringList messages_;
    QString answer_;  // what the file dialogs answer
    QPointer<CVandrelView> maximised_;

    CVandrelApp* app() { return theApp(); }
    PMainWnd* main() { return theApp()->mainWindow(); }

    // A document with the sample picture in a maximised window: the state
    // that hung the program.
    Document* MaximisedDocument() {
        Document* doc = app()->OpenDocumentFile(Sample("left.png"));
        if (!doc || !JobsEnd()) return nullptr;
        QMdiSubWindow* window = main()->activeDocumentWindow();
        window->showMaximized();
        maximised_ = window->findChild<CVandrelView*>();
        return doc;
    }

    // Once the work has begun (the first events let through between its
    // steps) the program stops being the active one: the user turned to
    // another program, or the window manager has not yet given the focus
    // back after a sheet closed. The document area then has no active
    // window. And the maximised document's title changes (here: its zoom),
    // which the maximised window answers by writing the main window's
    // title its own way.
    void DisturbTheTitleDuringTheWork() {
        QPointer<CVandrelView> view = maximised_;
        QTimer::singleShot(0, qApp, [view] {
            QEvent deactivate(QEvent::ApplicationDeactivate);
            QCoreApplication::sendEvent(qApp, &deactivate);
            if (view) view->OnCommand(ID_ZOOM_2);
        });
    }

    // The main window's title settles on the active document's (the
    // maximised window may add its own form of it) and stays there.
    void TitleSettles() {
        QTest::qWait(100);  // windows the work closes once it is over
        QMdiSubWindow* window = main()->activeDocumentWindow();
        QVERIFY(window);
        const QString wanted = window->windowTitle() + " - Stitchara";
        QTRY_VERIFY2(main()->windowTitle().startsWith(wanted), qPrintable(main()->windowTitle()));
        const QString settled = main()->windowTitle();
        QTest::qWait(50);
        QCOMPARE(main()->windowTitle(), settled);
    }

    // Files are read and written and pictures turned on worker threads:
    // waits until every job has handed its result over.
    static bool JobsEnd() { return QTest::qWaitFor([] { return Job::runningJobs().isEmpty(); }, 120000); }

    CStitchSheet* SheetWithSamples(int method) {
        app()->OnCommand(ID_STITCH);
        CStitchSheet* sheet = CurrentStitchSheet();
        sheet->page(0)->TakePicture(ReadImageFile(Sample("left.png").toStdString(), false));
        sheet->page(1)->TakePicture(ReadImageFile(Sample("right.png").toStdString(), false));
        sheet->tabs()->setCurrentIndex(2);
        sheet->stitchImage()->methodButton(method)->click();
        return sheet;
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        SetMessageSink([this](const std::string& text) { messages_ << QString::fromStdString(text); });
        Document::SetSaveQuestion([](const QString&) { return SaveAnswer::No; });
        SetFileDialogAnswerer([this](FileDialogKind, const QString&, const QStringList&, int position) {
            return FileChoice{answer_, position};
        });
        app()->setPrinterAvailable(true);
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(dir_.filePath("out.pdf"));
        ThePrintEngine().SetPrinter(std::move(printer));
        QVERIFY(QTest::qWaitForWindowExposed(main()));
    }
    void init() { messages_.clear(); }
    void cleanup() {
        if (CStitchSheet* sheet = CurrentStitchSheet()) sheet->Destroy();
        SelectTool(nullptr, ID_TOOL_DEFAULT);
        QTRY_COMPARE(app()->stitchIdle, 1);
        for (Document* doc : app()->documents()) doc->setModified(false);
        main()->mdiArea()->closeAllSubWindows();
        QTRY_VERIFY(app()->documents().isEmpty());
    }

    void open() {
        QVERIFY(MaximisedDocument());
        DisturbTheTitleDuringTheWork();
        Document* doc = app()->OpenDocumentFile(Sample("right.png"));
        QVERIFY(doc);
        QVERIFY(JobsEnd());
        QVERIFY(main()->activeDocumentWindow()->isMaximized());
        TitleSettles();
    }

    void save() {
        Document* doc = MaximisedDocument();
        QVERIFY(doc);
        answer_ = dir_.filePath("saved.png");
        DisturbTheTitleDuringTheWork();
        QVERIFY(app()->commands()->execute(ID_SAVE_AS));
        QVERIFY(JobsEnd());
        QVERIFY(QFile::exists(answer_));
        QCOMPARE(doc->pathName(), answer_);
        TitleSettles();
    }

    void transform_data() {
        QTest::addColumn<int>("command");
        QTest::newRow("mirror horizontal") << int(ID_MIRROR_HORIZONTAL);
        QTest::newRow("mirror vertical") << int(ID_MIRROR_VERTICAL);
        QTest::newRow("mirror diagonal") << int(ID_MIRROR_DIAGONAL);
        QTest::newRow("rotate left") << int(ID_ROTATE_LEFT);
        QTest::newRow("rotate right") << int(ID_ROTATE_RIGHT);
    }
    void transform() {
        QFETCH(int, command);
        Document* doc = MaximisedDocument();
        QVERIFY(doc);
        DisturbTheTitleDuringTheWork();
        QVERIFY(app()->commands()->execute(command));
        QVERIFY(JobsEnd());
        QVERIFY(doc->isModified());
        TitleSettles();
    }

    // Auto; the result opens maximised too.
    void autoStitch() {
        QVERIFY(MaximisedDocument());
        const int before = int(app()->documents().size());
        CStitchSheet* sheet = SheetWithSamples(kMethodAuto);
        DisturbTheTitleDuringTheWork();
        sheet->stitchButton()->click();
        QVERIFY(JobsEnd());
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('|')));
        QCOMPARE(int(app()->documents().size()), before + 1);
        TitleSettles();
    }

    // Auto with a gray Rest picture: it is converted to the Main picture's
    // type (a colour conversion) before the search. Whether the search then
    // joins or refuses, it ends.
    void colourConversion() {
        QVERIFY(MaximisedDocument());
        const QString gray = dir_.filePath("gray.png");
        QVERIFY(QImage(Sample("right.png")).convertToFormat(QImage::Format_Grayscale8).save(gray));
        CStitchSheet* sheet = SheetWithSamples(kMethodAuto);
        sheet->page(1)->TakePicture(ReadImageFile(gray.toStdString(), false));
        QCOMPARE(sheet->page(1)->picture()->GetType(), int(ptGray256));
        QCOMPARE(sheet->stitchImage()->method(), int(kMethodAuto));
        DisturbTheTitleDuringTheWork();
        sheet->stitchButton()->click();
        QVERIFY(JobsEnd());
        TitleSettles();
    }

    // Semi-Auto: the strip opens maximised, the two clicks run the search.
    void semiAutoStitch() {
        QVERIFY(MaximisedDocument());
        CStitchSheet* sheet = SheetWithSamples(kMethodSemiAuto);
        sheet->stitchButton()->click();
        CStitchMouseTool* tool = StitchMouseTool();
        CVandrelView* view = tool->view();
        QVERIFY(view);
        QWidget* port = view->viewport();
        const QSize b = tool->blockSize();
        const QPoint p1 = view->PictureToClient(QPoint(150, 26)) + QPoint(b.width() / 2, b.height() / 2);
        const QPoint p2 = view->PictureToClient(QPoint(20, 30)) + QPoint(b.width() / 2, b.height() / 2);
        QTest::mouseMove(port, p1);
        QTest::mouseClick(port, Qt::LeftButton, {}, p1);
        QTest::mouseMove(port, p2);
        DisturbTheTitleDuringTheWork();
        QTest::mouseClick(port, Qt::LeftButton, {}, p2);
        QCOMPARE(CurrentTool(), DefaultTool());
        TitleSettles();
    }

    // The deskew tool opens its window maximised and straightens the picture
    // when it is finished.
    void deskew() {
        QVERIFY(MaximisedDocument());
        app()->OnCommand(ID_STITCH);
        CStitchSheet* sheet = CurrentStitchSheet();
        sheet->page(0)->TakePicture(ReadImageFile(Sample("left.png").toStdString(), false));
        CPicture* original = sheet->page(0)->picture();
        sheet->tabs()->setCurrentIndex(2);
        sheet->stitchImage()->deskewButton(0)->click();
        CDeskewTool* tool = DeskewTool();
        QCOMPARE(CurrentTool(), static_cast<CMouseTool*>(tool));
        CVandrelView* view = tool->view();
        QWidget* port = view->viewport();
        const QPoint a = view->PictureToClient(tool->a());
        QTest::mouseMove(port, a + QPoint(3, 3));
        QTest::mousePress(port, Qt::LeftButton, {}, a + QPoint(3, 3));
        QTest::mouseMove(port, a + QPoint(43, 3));
        QTest::mouseRelease(port, Qt::LeftButton, {}, a + QPoint(43, 3));
        DisturbTheTitleDuringTheWork();
        QTest::mouseClick(port, Qt::RightButton, {}, QPoint(5, 5));
        QCOMPARE(CurrentTool(), DefaultTool());
        QCOMPARE(sheet->page(0)->beforeDeskew(), original);
        sheet->close();
        TitleSettles();
    }

    // Printing to a PDF file with the picture fitted to the page: its rows
    // are rescaled on the way.
    void printToPdf() {
        Document* doc = MaximisedDocument();
        QVERIFY(doc);
        doc->core().m_print.Reset(600, 400, 96, 96, 1200, 1200);
        doc->core().m_print.fitInPage = 1;
        QFile::remove(dir_.filePath("out.pdf"));
        DisturbTheTitleDuringTheWork();
        QVERIFY(app()->commands()->execute(ID_QUICK_PRINT));
        QTRY_VERIFY(QFile::exists(dir_.filePath("out.pdf")));
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('|')));
        TitleSettles();
    }
};

int main(int argc, char** argv) {
    // Qt Test's watchdog ends a test function that runs longer than this
    // with a failure; the slowest (sanitized) run takes a few seconds.
    if (!qEnvironmentVariableIsSet("QTEST_FUNCTION_TIMEOUT")) qputenv("QTEST_FUNCTION_TIMEOUT", "120000");
    return apptest::RunInApplication<MaximisedWorkTest>(argc, argv);
}

#include "maximised_work_test.moc"
