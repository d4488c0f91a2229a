// Long work on a worker thread: while a 100-megapixel picture turns or is
// written, the window's thread keeps its event loop (timers on time, another
// document zooms and repaints), the busy document's commands are gray, Escape
// and the Stop button cancel with the document as it was, and quitting stops
// the work with no file written and no swap file left. A scan or a print job
// grays the commands that would reach its device until it ends.
#include <QDir>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QScopeGuard>
#include <QPrinter>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <cstdlib>
#include <memory>

#include "acquire/acquire_commands_qt.h"
#include "acquire/tests/gui/scan_receiver.h"
#include "base/command_registry_qt.h"
#include "base/job_qt.h"
#include "base/message_box.h"
#include "display/view_qt.h"
#include "document/document_qt.h"
#include "document/document_window_qt.h"
#include "document/file_dialogs_qt.h"
#include "picture/picture.h"
#include "platform/profile.h"
#include "platform/system.h"
#include "platform/twain/testing/sane_test_config.h"
#include "print/print_commands_qt.h"
#include "resources/command_ids.h"
#include "resources/string_ids.h"
#include "shell/app/app_qt.h"
#include "shell/app/main_wnd_qt.h"
#include "shell/app/status_bar_qt.h"

#if defined(__SANITIZE_ADDRESS__)
constexpr qint64 kDelayLimitMs = 250;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr qint64 kDelayLimitMs = 250;
#else
constexpr qint64 kDelayLimitMs = 50;
#endif
#else
constexpr qint64 kDelayLimitMs = 50;
#endif

namespace {

class PaintCounter : public QObject {
public:
    int count = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++count;
        return false;
    }
};

// The worst lateness of a 10 ms timer on the window's thread while it runs.
class DelayMeter : public QObject {
public:
    DelayMeter() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(10);
        connect(&timer_, &QTimer::timeout, this, [this] {
            const qint64 now = clock_.elapsed();
            worst = std::max(worst, now - last_ - 10);
            last_ = now;
            ++ticks;
        });
        clock_.start();
        timer_.start();
    }
    qint64 worst = 0;
    int ticks = 0;

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
};

}  // namespace

class LongWorkTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QStringList messages_;
    QStringList stopQuestions_;
    bool stopAnswer_ = true;

    CVandrelApp* app() { return theApp(); }
    PMainWnd* main() { return theApp()->mainWindow(); }
    bool enabled(int id) { return app()->commands()->state(id).enabled; }

    // A 100-megapixel gray picture (12500 x 8000) with a mark at its top
    // left corner, in a document of its own that is not modified.
    Document* LargeDocument(int storeFlags = kStoreAny) {
        auto picture = std::make_unique<CPicture>();
        if (!picture->Create(ptGray256, 12500, 8000, 0, nullptr, 0, 0, storeFlags)) return nullptr;
        std::uint8_t mark[4] = {1, 2, 3, 4};
        picture->WriteRow(0, 3, 0, mark);
        Document* doc = app()->NewDocumentWithPicture(std::move(picture));
        if (doc) doc->setModified(false);
        return doc;
    }
    QMdiSubWindow* WindowOf(Document* doc) {
        for (QMdiSubWindow* w : main()->documentWindows())
            if (DocumentOfWindow(w) == doc) return w;
        return nullptr;
    }
    // "Stop the work?" answered by the test (stopAnswer_), the questions kept.
    void AnswerStopQuestions() {
        Document::SetStopQuestion([this](const QString& q) {
            stopQuestions_ << q;
            return stopAnswer_;
        });
    }
    static bool WaitForJobs() {
        return QTest::qWaitFor([] { return Job::runningJobs().isEmpty(); }, 300000);
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        platform::SetProfilePath(dir_.filePath("stitchara.ini").toStdString());
        // A scanner whose reads come slowly, known before the start.
        sanetest::UseTestBackend(dir_.filePath("sane").toStdString(),
                                 "read-limit true\nread-limit-size 4096\nread-delay true\nread-delay-duration 5000\n");
        app()->setMessageHandler([this](const QString& text) { messages_ << text; });
        Document::SetSaveQuestion([](const QString&) { return SaveAnswer::No; });
        AnswerStopQuestions();
        CVandrelApp::StartOptions options;
        options.showLogo = false;
        QVERIFY(app()->InitInstance(options));
        app()->stitchIdle = 1;
        QVERIFY(QTest::qWaitForWindowExposed(main()));
    }
    void init() {
        messages_.clear();
        stopQuestions_.clear();
        stopAnswer_ = true;
    }
    void cleanup() {
        QVERIFY(WaitForJobs());
        for (Document* doc : app()->documents()) doc->setModified(false);
        main()->mdiArea()->closeAllSubWindows();
        QTRY_VERIFY(app()->documents().isEmpty());
    }

    // The turn runs while the window's thread answers: a timer fires on
    // time, the other document zooms and repaints, the busy one's commands
    // are gray and its window does not close without asking.
    void windowLivesDuringATurn() {
        Document* small = nullptr;
        {
            auto picture = std::make_unique<CPicture>();
            QVERIFY(picture->Create(ptTrueColor24, 400, 300, 0, nullptr, 0, 0, kStoreAny));
            small = app()->NewDocumentWithPicture(std::move(picture));
            QVERIFY(small);
            small->setModified(false);
        }
        Document* large = LargeDocument();
        QVERIFY(large);
        QSignalSpy finished(large, &Document::jobFinished);
        auto* largeView = WindowOf(large)->findChild<CVandrelView*>();
        QVERIFY(largeView);
        const QImage shown = largeView->viewport()->grab().toImage();
        DelayMeter meter;
        QVERIFY(app()->commands()->execute(ID_ROTATE_RIGHT));
        QVERIFY(large->busy());
        // The busy view shows the picture as it was, whatever the worker has done.
        QCOMPARE(largeView->viewport()->grab().toImage(), shown);
        QVERIFY(!enabled(ID_SAVE));
        QVERIFY(!enabled(ID_SAVE_AS));
        QVERIFY(!enabled(ID_MIRROR_HORIZONTAL));
        QVERIFY(!enabled(ID_PRINT));
        // Closing the busy window asks first; No keeps it and the work.
        stopAnswer_ = false;
        QVERIFY(!WindowOf(large)->close());
        QCOMPARE(stopQuestions_.size(), 1);
        QVERIFY(large->busy());
        QVERIFY(main()->statusBar()->inProgress());
        QVERIFY(main()->statusBar()->stopButton()->isVisible());

        // The other document: made active, zoomed, repainted; its commands work.
        main()->mdiArea()->setActiveSubWindow(WindowOf(small));
        QVERIFY(enabled(ID_SAVE));
        auto* view = WindowOf(small)->findChild<CVandrelView*>();
        QVERIFY(view);
        PaintCounter paints;
        view->viewport()->installEventFilter(&paints);
        const int zoom = view->Zoom();
        QVERIFY(app()->commands()->execute(ID_ZOOM_2));
        QTRY_VERIFY(paints.count > 0);
        QVERIFY(view->Zoom() != zoom);
        QVERIFY2(large->busy(), "the turn ended before the other window was used: too fast to tell");

        QVERIFY(finished.wait(300000));
        view->viewport()->removeEventFilter(&paints);
        qInfo("worst timer delay during the turn: %lld ms over %d ticks", meter.worst, meter.ticks);
        QVERIFY2(meter.worst < kDelayLimitMs, qPrintable(QString("%1 ms").arg(meter.worst)));
        QCOMPARE(large->picture()->GetWidth(), 8000);
        QCOMPARE(large->picture()->GetHeight(), 12500);
        QVERIFY(large->isModified());
        QVERIFY(!main()->statusBar()->inProgress());
        QVERIFY(messages_.isEmpty());
    }

    // A scan holds the scanner and a print job the printer: the commands
    // that would reach them are gray in the window while the job runs, with
    // no other change to bring the states up to date, and come back when it
    // has ended.
    void devicesGrayWhileTheirJobRuns() {
        QVERIFY(app()->scannerAvailable());
        QAction* acquire = app()->commands()->action(ID_ACQUIRE);
        QAction* selectSource = app()->commands()->action(ID_SELECT_SOURCE);
        QVERIFY(acquire->isEnabled() && selectSource->isEnabled());
        ScanWholeBedWhenAsked();
        QVERIFY(app()->commands()->execute(ID_ACQUIRE));
        QTRY_VERIFY_WITH_TIMEOUT(ScanRunning(), 5000);
        QTRY_VERIFY(!acquire->isEnabled() && !selectSource->isEnabled());
        QVERIFY(ScanRunning());
        Job::runningJobs().first()->cancel();
        QTRY_VERIFY_WITH_TIMEOUT(!ScanRunning(), 10000);
        QTRY_VERIFY(acquire->isEnabled() && selectSource->isEnabled());

        // A print job that is no document's: the job alone tells.
        app()->setPrinterAvailable(true);
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(dir_.filePath("out.pdf"));
        ThePrintEngine().SetPrinter(std::move(printer));
        auto picture = std::make_unique<CPicture>();
        QVERIFY(picture->Create(ptTrueColor24, 600, 300, 0, nullptr, DpiToPpm(300), DpiToPpm(300), kStoreMemory));
        Document* doc = app()->NewDocumentWithPicture(std::move(picture));
        QVERIFY(doc);
        doc->setModified(false);
        const QList<int> printing{ID_PRINT, ID_QUICK_PRINT, ID_PRINT_PREVIEW, ID_PRINT_SETUP};
        for (int id : printing) QVERIFY2(app()->commands()->action(id)->isEnabled(), qPrintable(QString::number(id)));
        doc->core().m_print.copies = 100;
        PrintTarget target{&doc->core(), QStringLiteral("out"), WindowOf(doc), nullptr};
        QVERIFY(HandlePrintCommand(ID_QUICK_PRINT, target));
        QVERIFY(RunningPrintJob() && RunningPrintJob()->running());
        QVERIFY(!doc->busy());
        for (int id : printing) QTRY_VERIFY2(!app()->commands()->action(id)->isEnabled(), qPrintable(QString::number(id)));
        QVERIFY2(RunningPrintJob(), "the print job ended before its commands could be seen");
        RunningPrintJob()->cancel();
        QTRY_VERIFY(!RunningPrintJob());
        for (int id : printing) QTRY_VERIFY2(app()->commands()->action(id)->isEnabled(), qPrintable(QString::number(id)));
        QVERIFY(messages_.isEmpty());
    }

    // Closing a busy document's window asks window-modal and returns: the
    // work goes on and ends meanwhile, and Yes then closes the window.
    void closeQuestionLetsTheWorkGoOn() {
        Document::SetStopQuestion({});
        const auto answerAgain = qScopeGuard([this] { AnswerStopQuestions(); });
        Document* doc = LargeDocument();
        QVERIFY(doc);
        QSignalSpy finished(doc, &Document::jobFinished);
        QVERIFY(app()->commands()->execute(ID_ROTATE_RIGHT));
        QVERIFY(doc->busy());
        QVERIFY(!WindowOf(doc)->close());
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        QCOMPARE(box->windowModality(), Qt::WindowModal);
        QVERIFY(finished.wait(300000));
        QVERIFY(!doc->busy() && doc->isModified());
        const QPointer<Document> closing(doc);
        box->button(QMessageBox::Yes)->click();
        QTRY_VERIFY(!closing);  // the turned picture is not saved (the test answers No)
        QVERIFY(messages_.isEmpty());
    }

    // Escape and the Stop button each stop the turn: the same picture, not
    // modified, nothing said.
    void cancelLeavesTheDocument_data() {
        QTest::addColumn<bool>("button");
        QTest::newRow("Escape") << false;
        QTest::newRow("Stop button") << true;
    }
    void cancelLeavesTheDocument() {
        QFETCH(bool, button);
        Document* doc = LargeDocument();
        QVERIFY(doc);
        CPicture* before = doc->picture();
        QSignalSpy finished(doc, &Document::jobFinished);
        QVERIFY(app()->commands()->execute(ID_ROTATE_LEFT));
        CMainStatusBar* bar = main()->statusBar();
        QToolButton* stop = bar->stopButton();
        QCOMPARE(stop->accessibleName(), QString("Stop"));
        QCOMPARE(stop->objectName(), QString("Stop"));
        // Once the gauge has moved.
        QVERIFY(QTest::qWaitFor([&] { return !doc->busy() || bar->gauge()->position() > bar->gauge()->minimum(); }, 60000));
        QVERIFY2(doc->busy(), "the turn ended before it could be stopped");
        if (button) QTest::mouseClick(stop, Qt::LeftButton);
        else QTest::keyClick(main(), Qt::Key_Escape);
        QVERIFY(finished.wait(300000));
        QCOMPARE(doc->picture(), before);
        QCOMPARE(doc->picture()->GetWidth(), 12500);
        std::uint8_t mark[4] = {};
        QVERIFY(doc->picture()->ReadRow(0, 3, 0, mark));
        QCOMPARE(int(mark[3]), 4);
        QVERIFY(!doc->isModified());
        QVERIFY(messages_.isEmpty());
        QVERIFY(!bar->inProgress());
        QVERIFY(!stop->isVisible());
    }

    // What the core says on a worker reaches the user on the window's
    // thread, in its order, when the job ends.
    void messagesComeOnTheWindowThread() {
        QList<bool> onWindowThread;
        app()->setMessageHandler([&](const QString& text) {
            messages_ << text;
            onWindowThread << (QThread::currentThread() == qApp->thread());
        });
        Job job(IDS_SAVING_IMAGE, [](Progress&) {
            ShowMessage("first");
            ShowMessage("second");
        });
        QSignalSpy finished(&job, &Job::finished);
        job.start();
        QVERIFY(finished.wait(60000));
        app()->setMessageHandler([this](const QString& text) { messages_ << text; });
        QCOMPARE(messages_, (QStringList{"first", "second"}));
        QCOMPARE(onWindowThread, (QList<bool>{true, true}));
    }

    // Quitting while a large picture is written: asked, the write stops, no
    // file is left at the target or beside it, and once the documents are
    // gone no swap file is left either.
    void quitDuringASave() {
        const QString swapDir = dir_.filePath("swap");
        const QString outDir = dir_.filePath("out");
        QVERIFY(QDir().mkpath(swapDir) && QDir().mkpath(outDir));
        const QByteArray oldTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", swapDir.toUtf8());
        Document* doc = LargeDocument(kStoreSwapFile);
        QVERIFY(doc);
        QCOMPARE(QDir(swapDir).entryList({"~tsv*"}, QDir::Files | QDir::Hidden).size(), 1);
        const QString target = outDir + "/large.png";
        SetFileDialogAnswerer([&](FileDialogKind, const QString&, const QStringList&, int position) {
            return FileChoice{target, position};
        });
        QVERIFY(app()->commands()->execute(ID_SAVE_AS));
        SetFileDialogAnswerer({});
        QVERIFY(doc->busy());
        QTest::qWait(50);
        QVERIFY2(doc->busy(), "the save ended before the quit");
        QVERIFY(main()->close());
        QCOMPARE(stopQuestions_.size(), 1);
        QVERIFY(Job::runningJobs().isEmpty());
        QVERIFY(messages_.isEmpty());
        QTRY_VERIFY(app()->documents().isEmpty());
        QCOMPARE(QDir(outDir).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden), QStringList());
        QTRY_COMPARE(QDir(swapDir).entryList({"~tsv*"}, QDir::Files | QDir::Hidden), QStringList());
        if (oldTmp.isEmpty()) qunsetenv("TMPDIR");
        else qputenv("TMPDIR", oldTmp);
        main()->show();
    }
};

int main(int argc, char** argv) {
    CVandrelApp app(argc, argv);
    LongWorkTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "long_work_test.moc"
