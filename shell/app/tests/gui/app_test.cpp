// The application: start-up, command routing and states, prompts, the
// progress gauge, the icon bar, recent files and the save question.
#include <QAction>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QSet>
#include <QtEndian>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QDBusConnection>
#include <QtTest>
#include <atomic>
#include <memory>

#include "acquire/xfer_done_qt.h"
#include "base/job_qt.h"
#include "base/message_box.h"
#include "base/progress.h"
#include "document/document_qt.h"
#include "document/file_dialogs_qt.h"
#include "document/import_export.h"
#include "picture/picture.h"
#include "platform/profile.h"
#include "resources/command_ids.h"
#include "resources/string_ids.h"
#include "resources/strings.h"
#include "shell/app/app_qt.h"
#include "shell/app/commands_qt.h"
#include "shell/app/doc_template_qt.h"
#include "shell/app/icon_bar_qt.h"
#include "shell/app/logo_wnd_qt.h"
#include "shell/app/main_wnd_qt.h"
#include "shell/app/status_bar_qt.h"
#include "shell/embed/embed_server_qt.h"

namespace {

// A view stand-in: the first target of the routing, claiming what a view
// claims (print, zoom) and, when asked, a document command too.
class FakeView : public QWidget, public CommandTarget {
public:
    bool claimMirror = false;
    QList<int> handled;
    bool OnCommand(int id) override {
        if (id == ID_PRINT || (claimMirror && id == ID_MIRROR_HORIZONTAL)) {
            handled << id;
            return true;
        }
        return false;
    }
    bool OnUpdateCommand(int id, CommandState& state) override {
        if (id == ID_PRINT || id == ID_QUICK_PRINT || id == ID_PRINT_PREVIEW ||
            (claimMirror && id == ID_MIRROR_HORIZONTAL)) {
            state.enabled = true;
            return true;
        }
        return false;
    }
};

// Counts the paint events of a widget and keeps the last painted region.
class PaintCounter : public QObject {
public:
    int count = 0;
    QRegion last;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            ++count;
            last = static_cast<QPaintEvent*>(e)->region();
        }
        return false;
    }
};

QString WritePicture(const QString& path, QColor left, QColor right, int w = 64, int h = 48) {
    QImage image(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image.setPixelColor(x, y, x < w / 2 ? left : right);
    image.save(path);
    return path;
}

}  // namespace

class AppTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QStringList messages_;
    QStringList questions_;
    SaveAnswer answer_ = SaveAnswer::No;
    QString savePath_;

    CVandrelApp* app() { return theApp(); }
    PMainWnd* main() { return theApp()->mainWindow(); }
    QString file(const QString& name) { return dir_.filePath(name); }
    void start(const QString& path = {}, bool embedding = false) {
        CVandrelApp::StartOptions options;
        options.path = path;
        options.embedding = embedding;
        options.showLogo = false;
        QVERIFY(app()->InitInstance(options));
        app()->setPrinterAvailable(true);
        app()->setScannerAvailable(true);
        app()->stitchIdle = 1;
        QVERIFY(idle());
    }
    bool enabled(int id) { return app()->commands()->state(id).enabled; }
    // The user presses Escape as the next job starts (on the window's
    // thread, before its worker runs): however fast the work, it is stopped.
    void EscapeWhenWorkStarts() {
        connect(Job::monitor(), &JobMonitor::started, this, [this] { QTest::keyClick(main(), Qt::Key_Escape); },
                Qt::SingleShotConnection);
    }
    // Documents are read, written and turned on worker threads: waits until
    // every job has handed its result over.
    static bool idle() { return QTest::qWaitFor([] { return Job::runningJobs().isEmpty(); }, 120000); }
    // A document window whose view is the stand-in.
    FakeView* addFakeWindow(Document** document = nullptr) {
        auto* doc = new Document(app());
        auto picture = std::make_unique<CPicture>();
        picture->Create(ptTrueColor24, 32, 16, 0, nullptr, 0, 0, 3);
        doc->setPicture(std::move(picture));
        doc->setModified(false);
        auto* view = new FakeView;
        auto* window = new QMdiSubWindow;
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->setWidget(view);
        BindDocumentWindow(window, doc);
        main()->addDocumentWindow(window);
        if (document) *document = doc;
        return view;
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        platform::SetProfilePath(file("stitchara.ini").toStdString());
        // Messages and questions are recorded, never shown.
        app()->setMessageHandler([this](const QString& text) { messages_ << text; });
        Document::SetSaveQuestion([this](const QString& q) {
            questions_ << q;
            return answer_;
        });
        SetFileDialogAnswerer([this](FileDialogKind, const QString&, const QStringList&, int position) {
            return FileChoice{savePath_, position};
        });
    }
    void init() {
        messages_.clear();
        questions_.clear();
    }

    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("embedding");
        QTest::addColumn<QString>("path");
        QTest::newRow("empty") << QStringList{"stitchara"} << false << "";
        QTest::newRow("spaces make one path") << QStringList{"stitchara", "my", "scan 1.png"} << false
                                              << "my scan 1.png";
        QTest::newRow("embedding") << QStringList{"stitchara", "-Embedding"} << true << "";
        QTest::newRow("slash embedding") << QStringList{"stitchara", "/Embedding", "a.vdl"} << true << "a.vdl";
    }
    void commandLine() {
        QFETCH(QStringList, arguments);
        const auto options = CVandrelApp::ParseCommandLine(arguments);
        QTEST(options.embedding, "embedding");
        QTEST(options.path, "path");
    }

    void startUp() {
        // Embedding: no window, no document, the start-up stops early. It
        // succeeds when the embedding service can reach the session bus (a
        // program that cannot serve ends at once).
        {
            CVandrelApp::StartOptions options;
            options.embedding = true;
            options.showLogo = false;
            const bool served = app()->InitInstance(options);
            if (!QDBusConnection::sessionBus().isConnected()) QVERIFY(!served);
        }
        QVERIFY(!main()->isVisible());
        QCOMPARE(app()->StartupSteps().last(), QString("embedding"));
        // Empty command line: the window and nothing in it.
        start();
        QVERIFY(main()->isVisible());
        QVERIFY(app()->documents().isEmpty());
        const QStringList steps = app()->StartupSteps();
        QVERIFY(steps.indexOf("settings") < steps.indexOf("main frame"));
        QVERIFY(steps.indexOf("main frame") < steps.indexOf("formats"));
        QVERIFY(steps.indexOf("formats") < steps.indexOf("printer"));
        QVERIFY(steps.indexOf("printer") < steps.indexOf("scanner"));
        QCOMPARE(main()->windowTitle(), QString("Stitchara"));
        // A path with blanks is one document, and the title follows it.
        QDir().mkpath(file("with blank"));
        const QString path = WritePicture(file("with blank/left side.png"), Qt::red, Qt::blue);
        start(path);
        QCOMPARE(app()->documents().size(), 1);
        QCOMPARE(app()->documents().first()->pathName(), path);
        QCOMPARE(main()->windowTitle(), QString("left side.png [x1] - Stitchara"));
        QVERIFY(messages_.isEmpty());
    }

    void badInput_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << "absent.png" << "does not exist";
        QTest::newRow("not a picture") << "notes.png" << "not a picture";
        QTest::newRow("directory") << "folder" << "not a picture";
        QTest::newRow("no extension") << "noext" << "not a picture";
    }
    void badInput() {
        QFETCH(QString, name);
        QFile text(file("notes.png"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("just some words\n");
        text.close();
        QDir().mkpath(file("folder"));
        WritePicture(file("noext"), Qt::red, Qt::green);
        QFile::remove(file("noext"));
        QFile(file("notes.png")).copy(file("noext"));
        start(file(name));
        QVERIFY(main()->isVisible());
        QVERIFY(app()->documents().isEmpty());
        QCOMPARE(messages_.size(), 1);
        QFETCH(QString, message);
        QVERIFY2(messages_.first().contains(message), qPrintable(messages_.first()));
        QVERIFY(messages_.first().contains(name));
    }

    void commandStates_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<bool>("idle");       // enabled with no sheet open
        QTest::addColumn<bool>("sheet");      // enabled while a stitch sheet is open
        QTest::addColumn<bool>("noPrinter");  // enabled with no printer (no sheet)
        QTest::newRow("Open") << ID_OPEN << true << false << true;
        QTest::newRow("Save") << ID_SAVE << true << false << true;
        QTest::newRow("Mirror") << ID_MIRROR_VERTICAL << true << false << true;
        QTest::newRow("Rotate") << ID_ROTATE_RIGHT << true << false << true;
        QTest::newRow("Print") << ID_PRINT << true << false << false;
        QTest::newRow("Quick Print") << ID_QUICK_PRINT << true << false << false;
        QTest::newRow("Preview") << ID_PRINT_PREVIEW << true << false << false;
        QTest::newRow("Cascade") << ID_WINDOW_CASCADE << true << false << true;
        QTest::newRow("About") << ID_ABOUT << true << false << true;
        QTest::newRow("Help") << ID_HELP_KEYBOARD << true << false << true;
        QTest::newRow("Exit") << ID_APP_EXIT << true << false << true;
        QTest::newRow("Recent file") << ID_FILE_MRU_FILE1 << true << false << true;
        QTest::newRow("Toolbar") << ID_VIEW_ICONBAR << true << true << true;
        QTest::newRow("Import") << ID_IMPORT << true << true << true;
        QTest::newRow("Print Setup") << ID_PRINT_SETUP << true << false << true;
        QTest::newRow("Acquire") << ID_ACQUIRE << true << false << true;
        QTest::newRow("Select Source, no rule of its own") << ID_SELECT_SOURCE << true << true << true;
    }
    void commandStates() {
        QFETCH(int, id);
        start();
        // A view in the document window: print commands are its own.
        addFakeWindow();
        app()->stitchIdle = 1;
        QTEST(enabled(id), "idle");
        app()->stitchIdle = 0;
        QTEST(enabled(id), "sheet");
        app()->stitchIdle = 1;
        app()->setPrinterAvailable(false);
        QTEST(enabled(id), "noPrinter");
        // Refreshing puts the same state on the action.
        app()->UpdateCommandStates();
        QCOMPARE(app()->commands()->action(id)->isEnabled(), enabled(id));
    }

    void routingAndScannerRule() {
        start();
        Document* doc = nullptr;
        FakeView* view = addFakeWindow(&doc);
        // The view comes before the document.
        view->claimMirror = true;
        QVERIFY(app()->commands()->execute(ID_MIRROR_HORIZONTAL));
        QCOMPARE(view->handled, QList<int>{ID_MIRROR_HORIZONTAL});
        QVERIFY(!doc->isModified());
        view->claimMirror = false;
        QVERIFY(app()->commands()->execute(ID_MIRROR_HORIZONTAL));
        QVERIFY(idle());
        QVERIFY(doc->isModified());
        // Nothing runs while a sheet is open, even from a stale action.
        app()->stitchIdle = 0;
        QVERIFY(!app()->commands()->execute(ID_ROTATE_LEFT));
        app()->stitchIdle = 1;
        // No scanner library: both scanning commands stay gray.
        app()->setScannerAvailable(false);
        QVERIFY(!enabled(ID_ACQUIRE));
        QVERIFY(!enabled(ID_SELECT_SOURCE));
        // No document: its commands are gray, the application's are not.
        doc->setModified(false);
        QVERIFY(main()->activeDocumentWindow()->close());
        QVERIFY(main()->documentWindows().isEmpty());
        QVERIFY(!enabled(ID_SAVE));
        QVERIFY(enabled(ID_OPEN));
        QCOMPARE(main()->windowTitle(), QString("Stitchara"));
    }

    void prompts_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("prompt");
        QTest::newRow("Open") << ID_OPEN << "Open an image file";
        QTest::newRow("About, last of the range") << ID_ABOUT << "Show the program title and version";
        QTest::newRow("recent file") << ID_FILE_MRU_FILE2 << "Open this image";
        QTest::newRow("Exit") << ID_APP_EXIT << "Quit the application";
        QTest::newRow("Import, outside the ranges") << ID_IMPORT << "";
        QTest::newRow("Copy") << ID_EDIT_COPY << "";
        QTest::newRow("idle prompt has no string") << ID_PROMPT_IDLE << "";
    }
    void prompts() {
        QFETCH(int, id);
        QTEST(CommandPrompt(id), "prompt");
        if (QAction* action = app()->commands()->action(id)) {
            QTEST(PMainWnd::PromptForMenuItem(action), "prompt");
        }
    }

    void promptPane() {
        start();
        CMainStatusBar* bar = main()->statusBar();
        QMenu* file = main()->fileMenu();
        emit file->hovered(app()->commands()->action(ID_SAVE_AS));
        QCOMPARE(bar->promptText(), QString("Save the active image under a new name"));
        // A pop-up item and a closing menu empty the pane.
        QMenu* enlarge = main()->findChild<QMenu*>("Enlarge");
        QVERIFY(enlarge);
        emit file->hovered(enlarge->menuAction());
        QCOMPARE(bar->promptText(), QString());
        emit file->hovered(app()->commands()->action(ID_OPEN));
        emit file->aboutToHide();
        QCOMPARE(bar->promptText(), QString());
        // The panes explain themselves when the mouse rests on them.
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(bar->positionPane(), &enter);
        QCOMPARE(bar->promptText(), QString(LoadStringById(IDS_TIP_POSITION_PANE)));
        QCoreApplication::sendEvent(bar->toggleButton(), &enter);
        QCOMPARE(bar->promptText(), QString(LoadStringById(IDS_TIP_ICONBAR_TOGGLE)));
        bar->SetPosition(12, 3456);
        QCOMPARE(bar->positionText(), QString("X:12     Y:3456 "));
        QCOMPARE(bar->height(), 25);
    }

    void gauge() {
        start();
        CMainStatusBar* bar = main()->statusBar();
        CProgressGauge* gauge = bar->gauge();
        // Equal ends: one step, no division by zero.
        BeginProgressWithCaption(IDS_MIRRORING, 7, 7);
        QCOMPARE(gauge->minimum(), 7u);
        QCOMPARE(gauge->maximum(), 8u);
        QVERIFY(!bar->positionPane()->isVisible());
        QCOMPARE(bar->captionPane()->text(), QString("Mirroring"));
        QVERIFY(!gauge->grab().isNull());
        EndProgress();
        QVERIFY(bar->positionPane()->isVisible());
        QVERIFY(!gauge->isVisible());

        // Within one percent only the strip waits for the next repaint; a new
        // percent repaints strip and text at once.
        BeginProgressWithCaption(IDS_MIRRORING, 0, 1000);
        QCoreApplication::processEvents();
        PaintCounter paints;
        gauge->installEventFilter(&paints);
        gauge->SetPosition(5);
        QCOMPARE(paints.count, 0);
        gauge->SetPosition(10);
        QCOMPARE(paints.count, 1);
        QVERIFY(paints.last.contains(gauge->textRect()));
        gauge->removeEventFilter(&paints);

        // Half way: green on the left, light gray on the right, the text in
        // the opposite colour of each side.
        gauge->SetPosition(500);
        const QImage image = gauge->grab().toImage();
        const int edge = gauge->fillEdge(500);
        const int mid = gauge->height() / 2;
        QCOMPARE(image.pixelColor(gauge->barRect().left() + 2, mid), QColor(0, 128, 0));
        QCOMPARE(image.pixelColor(gauge->barRect().right() - 2, mid), QColor(192, 192, 192));
        int grayOnGreen = 0, greenOnGray = 0;
        const QRect text = gauge->textRect();
        for (int y = text.top(); y <= text.bottom(); ++y)
            for (int x = text.left(); x <= text.right(); ++x) {
                const QColor c = image.pixelColor(x, y);
                // Text pixels, allowing for smoothed glyph edges.
                if (x < edge && c.red() > 96) ++grayOnGreen;
                if (x >= edge && c.red() < 150 && c.green() > c.red() + 30) ++greenOnGray;
            }
        QVERIFY(grayOnGreen > 0);
        QVERIFY(greenOnGray > 0);
        EndProgress();
    }

    void escapeDuringWork() {
        start();
        CMainStatusBar* bar = main()->statusBar();
        PaintCounter paints;
        bar->gauge()->installEventFilter(&paints);
        PaintCounter keys;  // key presses that reach the window
        main()->installEventFilter(&keys);
        int keyPresses = 0;
        std::atomic<int> stoppedAt{-1};
        // The work runs as a job on its worker thread; the window's thread
        // goes on with its event loop.
        Job job(IDS_ROTATING, [&](Progress&) {
            BeginProgressWithCaption(IDS_ROTATING, 0, 2000);
            for (int i = 0; i <= 2000 && stoppedAt < 0; ++i) {
                // Once the work is under way, the key arrives through the event
                // queue, as a real one would, however slowly the machine runs.
                if (i == 100)
                    QTimer::singleShot(0, main(), [&] {
                        QTest::keyClick(main(), Qt::Key_Escape);
                        ++keyPresses;
                    });
                QTest::qSleep(1);
                if (StepProgress(i)) stoppedAt = i;
            }
            EndProgress();
        });
        QSignalSpy finished(&job, &Job::finished);
        job.start();
        QVERIFY(finished.wait(60000));
        QCOMPARE(keyPresses, 1);
        // Taken by the step that let it through or by the next one.
        QVERIFY2(stoppedAt >= 100 && stoppedAt < 2000, qPrintable(QString("stopped at %1").arg(stoppedAt)));
        QVERIFY(paints.count > 1);  // the gauge was repainted while it ran
        bar->gauge()->removeEventFilter(&paints);
        main()->removeEventFilter(&keys);
    }

    void escapeStopsATransform() {
        start();
        auto picture = std::make_unique<CPicture>();
        QVERIFY(picture->Create(ptTrueColor24, 3000, 2000, 0, nullptr, 0, 0, 3));
        Document* doc = app()->NewDocumentWithPicture(std::move(picture));
        QVERIFY(doc);
        doc->setModified(false);
        EscapeWhenWorkStarts();
        QVERIFY(app()->commands()->execute(ID_ROTATE_RIGHT));
        QVERIFY(idle());
        // Cancelled: the picture keeps its shape and the document is clean.
        QCOMPARE(doc->picture()->GetWidth(), 3000);
        QVERIFY(!doc->isModified());
        QVERIFY(!GetProgressGauge().inProgress);
        QVERIFY(messages_.isEmpty());
    }

    // Escape while a picture is written: cancelling is not a failure. No
    // message, the file written before is untouched, the document keeps its
    // name and stays modified (Save As and Save alike).
    void escapeDuringSave() {
        start();
        auto picture = std::make_unique<CPicture>();
        QVERIFY(picture->Create(ptTrueColor24, 2000, 1500, 0, nullptr, 0, 0, 3));
        Document* doc = app()->NewDocumentWithPicture(std::move(picture));
        QVERIFY(doc && doc->isModified());
        const QString path = WritePicture(file("old.png"), Qt::red, Qt::blue);
        QFile in(path);
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QByteArray before = in.readAll();
        in.close();
        auto bytes = [&] {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        savePath_ = path;
        EscapeWhenWorkStarts();
        QVERIFY(app()->commands()->execute(ID_SAVE_AS));
        QVERIFY(idle());
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('|')));
        QCOMPARE(bytes(), before);
        QVERIFY(doc->isModified());
        QVERIFY(doc->pathName().isEmpty());
        QVERIFY(main()->windowTitle().startsWith("untitled"));
        // Save over the document's own file.
        doc->core().SetPathName(path.toStdString());
        EscapeWhenWorkStarts();
        QVERIFY(app()->commands()->execute(ID_SAVE));
        QVERIFY(idle());
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('|')));
        QCOMPARE(bytes(), before);
        QVERIFY(doc->isModified());
        QVERIFY(!GetProgressGauge().inProgress);
        doc->setModified(false);
    }

    // A 100-megapixel picture (10000 x 10000, 8-bit gray BMP, written here):
    // the status bar shows the loading progress while it reads; Escape stops
    // it with nothing opened, nothing said and nothing left half-made; read
    // to the end, it opens whole.
    void largePicture() {
        start();
        const QString path = file("large.bmp");
        {
            const int w = 10000, h = 10000;
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly));
            QByteArray header(54 + 1024, '\0');
            auto put32 = [&](int at, quint32 v) { qToLittleEndian(v, header.data() + at); };
            header[0] = 'B';
            header[1] = 'M';
            put32(2, quint32(header.size()) + quint32(w) * h);
            put32(10, quint32(header.size()));
            put32(14, 40);
            put32(18, w);
            put32(22, h);
            qToLittleEndian(quint16(1), header.data() + 26);
            qToLittleEndian(quint16(8), header.data() + 28);
            put32(34, quint32(w) * h);
            put32(46, 256);
            for (int i = 0; i < 256; ++i) put32(54 + 4 * i, quint32(i) * 0x010101u);
            out.write(header);
            QByteArray row(w, '\0');
            for (int x = 0; x < w; ++x) row[x] = char(x * 255 / (w - 1));
            for (int y = 0; y < h; ++y) QVERIFY(out.write(row) == w);
        }
        CMainStatusBar* bar = main()->statusBar();
        CProgressGauge* gauge = bar->gauge();
        // Watches the gauge while the file is read; Escape once it has moved.
        QSet<unsigned> positions;
        QString caption;
        bool pressEscape = true;
        QTimer watch;
        watch.setInterval(2);
        connect(&watch, &QTimer::timeout, this, [&] {
            if (!bar->inProgress()) return;
            caption = bar->captionPane()->text();
            positions << gauge->position();
            if (pressEscape && positions.size() >= 3) {
                pressEscape = false;
                QTest::keyClick(main(), Qt::Key_Escape);
            }
        });
        watch.start();
        // The file is read on a worker: the answer comes with its end.
        bool cancelled = false;
        QMetaObject::Connection ended = connect(Job::monitor(), &JobMonitor::ended, this,
                                                [&](Job* job) { cancelled = job->cancelled(); });
        QSignalSpy opened(app(), &CVandrelApp::documentOpened);
        app()->OpenDocumentFile(path);
        QVERIFY(opened.wait(120000));
        QVERIFY(!opened.first().first().value<Document*>());
        disconnect(ended);
        QVERIFY(!pressEscape);
        QVERIFY(cancelled);
        QCOMPARE(caption, QString("Loading Image"));
        QVERIFY(app()->documents().isEmpty());
        QVERIFY(messages_.isEmpty());
        QVERIFY(!bar->inProgress());
        QVERIFY(bar->positionPane()->isVisible());
        QVERIFY(!app()->recentFiles().Files().contains(path));

        // Again without Escape: the gauge keeps moving to the end and the
        // picture opens whole.
        positions.clear();
        opened.clear();
        app()->OpenDocumentFile(path);
        QVERIFY(opened.wait(120000));
        Document* doc = opened.first().first().value<Document*>();
        watch.stop();
        QVERIFY(doc);
        QVERIFY2(positions.size() >= 3, qPrintable(QString::number(positions.size())));
        QCOMPARE(doc->picture()->GetWidth(), 10000);
        QCOMPARE(doc->picture()->GetHeight(), 10000);
        QVERIFY(!bar->inProgress());
        QVERIFY(messages_.isEmpty());
        QCOMPARE(main()->windowTitle(), QString("large.bmp [x1] - Stitchara"));
        QVERIFY(main()->documentWindows().first()->close());
        QFile::remove(path);
    }

    // Settings that cannot be kept: the program starts with the defaults,
    // works on with the settings in memory and says so once; a settings
    // file it cannot make sense of is never written over.
    void unusableSettings_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("message");
        QTest::newRow("a directory") << "directory" << true;
        QTest::newRow("in a directory that cannot be made") << "under a file" << true;
        QTest::newRow("garbage") << "garbage" << false;
    }
    void unusableSettings() {
        QFETCH(QString, kind);
        const QString home = file("unusable-" + kind);
        QDir().mkpath(home);
        QString ini = home + "/stitchara.ini";
        const QByteArray garbage("\x01\x02\xff\xfe binary\0junk\n[unclosed\n=value without key\n", 44);
        if (kind == "directory") {
            QDir().mkpath(ini);
        } else if (kind == "under a file") {
            QFile plain(home + "/plain");
            QVERIFY(plain.open(QIODevice::WriteOnly));
            plain.close();
            ini = home + "/plain/stitchara.ini";
        } else {
            QFile junk(ini);
            QVERIFY(junk.open(QIODevice::WriteOnly));
            junk.write(garbage);
        }
        platform::SetProfilePath(ini.toStdString());
        start();
        QVERIFY(main()->isVisible());
        QVERIFY(main()->iconBar()->isVisible());
        QVERIFY(messages_.isEmpty());
        // Opening a picture, the list keeps it; hiding the icon bar hides it.
        const QString picture = WritePicture(file("settings.png"), Qt::red, Qt::blue);
        QVERIFY(app()->OpenDocumentFile(picture));
        QVERIFY(idle());
        QCOMPARE(app()->recentFiles().Files().first(), picture);
        QVERIFY(app()->commands()->action(ID_FILE_MRU_FILE1)->isVisible());
        app()->commands()->execute(ID_VIEW_ICONBAR);
        QVERIFY(!main()->iconBar()->isVisible());
        QFETCH(bool, message);
        if (message) {
            QCOMPARE(messages_.size(), 1);  // once, not at every write
            QVERIFY2(messages_.first().contains(ini), qPrintable(messages_.first()));
        } else {
            QVERIFY(messages_.isEmpty());
            QFile kept(ini);
            QVERIFY(kept.open(QIODevice::ReadOnly));
            QVERIFY(kept.readAll().startsWith(garbage));
        }
        platform::SetProfilePath(file("stitchara.ini").toStdString());
        QVERIFY(main()->documentWindows().first()->close());
    }

    // About waits for the user, past the splash's time-out; the key that ends
    // it goes nowhere else. The splash ends by itself.
    void logoWindow() {
        start();
        int keysToWindow = 0;
        struct KeyCounter : QObject {
            int* count;
            explicit KeyCounter(int* c) : count(c) {}
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == QEvent::KeyPress) ++*count;
                return false;
            }
        } counter(&keysToWindow);
        main()->installEventFilter(&counter);
        bool shownAtKey = false;
        QTimer::singleShot(kSplashMilliseconds + 300, [&] {
            shownAtKey = main()->findChild<CLogoWindow*>() != nullptr;
            QTest::keyClick(main(), Qt::Key_A);
        });
        QVERIFY(app()->commands()->execute(ID_ABOUT));
        QTRY_VERIFY_WITH_TIMEOUT(shownAtKey, 2 * kSplashMilliseconds + 2000);
        QTRY_VERIFY(!main()->findChild<CLogoWindow*>());
        QTest::keyClick(main(), Qt::Key_B);  // the window has its keys again
        QCOMPARE(keysToWindow, 1);
        main()->removeEventFilter(&counter);
        QVERIFY(ShowLogoWindow(main(), 40000));
        QTRY_VERIFY_WITH_TIMEOUT(!main()->findChild<CLogoWindow*>(), kSplashMilliseconds + 5000);
    }

    void iconBarToggle() {
        start();
        CIconBarToggle* toggle = main()->iconBarToggle();
        QAction* menu = app()->commands()->action(ID_VIEW_ICONBAR);
        QVERIFY(main()->iconBar()->isVisible());
        QTest::mouseClick(toggle, Qt::LeftButton);
        app()->UpdateCommandStates();
        QVERIFY(!main()->iconBar()->isVisible());
        QVERIFY(!menu->isChecked());
        QCOMPARE(toggle->text(), QString("IconBarUp"));
        QCOMPARE(platform::GetProfileInt("MainWindow", "IconBar", 1), 0);
        menu->trigger();
        QVERIFY(main()->iconBar()->isVisible());
        QVERIFY(menu->isChecked());
        QCOMPARE(toggle->text(), QString("IconBarDown"));
        QCOMPARE(platform::GetProfileInt("MainWindow", "IconBar", 0), 1);
        // Hidden from the menu, it stays hidden after a restart.
        menu->trigger();
        start();
        QVERIFY(!main()->iconBar()->isVisible());
        QVERIFY(app()->commands()->action(ID_VIEW_ICONBAR)->isCheckable());
        QVERIFY(!app()->commands()->action(ID_VIEW_ICONBAR)->isChecked());
        app()->commands()->execute(ID_VIEW_ICONBAR);
        // The status bar's 25 pixels go to the document area when it hides.
        QVERIFY(QTest::qWaitForWindowExposed(main()));
        QTest::qWait(20);
        const int before = main()->mdiArea()->height();
        app()->commands()->execute(ID_VIEW_STATUSBAR);
        QTRY_COMPARE(main()->mdiArea()->height(), before + 25);
        app()->commands()->execute(ID_VIEW_STATUSBAR);
    }

    void recentFiles() {
        start();
        const QString a = WritePicture(file("a.png"), Qt::red, Qt::blue);
        QVERIFY(app()->OpenDocumentFile(a));
        QVERIFY(idle());
        QCOMPARE(app()->recentFiles().Files().first(), a);
        QAction* first = app()->commands()->action(ID_FILE_MRU_FILE1);
        QVERIFY(first->isVisible());
        QVERIFY(first->text().contains("a.png"));
        // Save As puts the new name on top.
        savePath_ = file("b.png");
        QVERIFY(app()->commands()->execute(ID_SAVE_AS));
        QVERIFY(idle());
        QCOMPARE(app()->recentFiles().Files().mid(0, 2), (QStringList{file("b.png"), a}));
        QCOMPARE(main()->windowTitle(), QString("b.png [x1] - Stitchara"));
        // The list survives a restart; four at most, the newest first.
        for (const char* n : {"c.png", "d.png", "e.png"}) {
            QVERIFY(app()->OpenDocumentFile(WritePicture(file(n), Qt::red, Qt::blue)));
            QVERIFY(idle());
        }
        start();
        QCOMPARE(app()->recentFiles().Files(),
                 (QStringList{file("e.png"), file("d.png"), file("c.png"), file("b.png")}));
        QVERIFY(!app()->commands()->action(ID_FILE_MRU_FILE4)->text().isEmpty());
        // Opening from the list, and a vanished file leaves it.
        QVERIFY(app()->commands()->execute(ID_FILE_MRU_FILE3));
        QVERIFY(idle());
        QCOMPARE(app()->documents().first()->pathName(), file("c.png"));
        QFile::remove(file("d.png"));
        QVERIFY(app()->commands()->execute(ID_FILE_MRU_FILE3));  // d.png is third now
        QCOMPARE(app()->recentFiles().Files().size(), 3);
        QVERIFY(!app()->recentFiles().Files().contains(file("d.png")));
    }

    void saveBeforeClose() {
        const QString path = WritePicture(file("keep.png"), Qt::red, Qt::blue);
        QFile in(path);
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QByteArray original = in.readAll();
        in.close();
        start(path);
        Document* doc = app()->documents().first();
        QVERIFY(app()->commands()->execute(ID_MIRROR_HORIZONTAL));
        QVERIFY(idle());
        QVERIFY(doc->isModified());
        // Cancel keeps the window and the program.
        answer_ = SaveAnswer::Cancel;
        QVERIFY(!main()->close());
        QCOMPARE(questions_, QStringList{"Save changes to keep.png?"});
        QVERIFY(main()->isVisible());
        QCOMPARE(main()->documentWindows().size(), 1);
        // No closes without touching the file.
        answer_ = SaveAnswer::No;
        QVERIFY(main()->documentWindows().first()->close());
        QFile again(path);
        QVERIFY(again.open(QIODevice::ReadOnly));
        QCOMPARE(again.readAll(), original);
        again.close();
        // Yes saves in the file's own format: the mirrored picture, still PNG.
        start(path);
        app()->commands()->execute(ID_MIRROR_HORIZONTAL);
        QVERIFY(idle());
        answer_ = SaveAnswer::Yes;
        QVERIFY(main()->close());
        const QImage saved(path, "PNG");
        QVERIFY(!saved.isNull());
        QCOMPARE(saved.pixelColor(0, 0), QColor(Qt::blue));
        QCOMPARE(saved.pixelColor(63, 0), QColor(Qt::red));
        // Unmodified documents close without a question.
        questions_.clear();
        start(path);
        QVERIFY(main()->close());
        QVERIFY(questions_.isEmpty());
    }

    // Import over a modified picture asks first; Cancel keeps everything.
    // Afterwards the document holds a picture saved nowhere: no file name,
    // an untitled title, and Save asks for a name instead of writing the
    // imported picture over the old file.
    void importOverAModifiedPicture() {
        const QString path = WritePicture(file("stitched.png"), Qt::red, Qt::blue);
        QFile in(path);
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QByteArray original = in.readAll();
        in.close();
        start(path);
        Document* doc = app()->documents().first();
        QVERIFY(app()->commands()->execute(ID_MIRROR_HORIZONTAL));
        QVERIFY(idle());
        CPicture* held = doc->picture();
        const QString imported = WritePicture(file("other.bmp"), Qt::green, Qt::green, 20, 10);
        savePath_ = imported;
        answer_ = SaveAnswer::Cancel;
        QVERIFY(app()->commands()->execute(ID_IMPORT));
        QCOMPARE(questions_, QStringList{"Save changes to stitched.png?"});
        QCOMPARE(doc->picture(), held);
        QCOMPARE(doc->pathName(), path);
        QVERIFY(doc->isModified());
        // No: the imported picture takes its place.
        answer_ = SaveAnswer::No;
        QVERIFY(app()->commands()->execute(ID_IMPORT));
        QVERIFY(idle());
        QCOMPARE(doc->picture()->GetWidth(), 20);
        QVERIFY(doc->isModified());
        QVERIFY(doc->pathName().isEmpty());
        QTRY_VERIFY2(main()->windowTitle().startsWith("untitled"), qPrintable(main()->windowTitle()));
        // Save asks for a name; the first file keeps the stitch.
        savePath_ = file("imported.png");
        QVERIFY(app()->commands()->execute(ID_SAVE));
        QVERIFY(idle());
        QCOMPARE(doc->pathName(), savePath_);
        QVERIFY(!doc->isModified());
        QCOMPARE(QImage(savePath_).size(), QSize(20, 10));
        QFile again(path);
        QVERIFY(again.open(QIODevice::ReadOnly));
        QCOMPARE(again.readAll(), original);
        // A picture that is not modified is replaced without a question.
        questions_.clear();
        savePath_ = imported;
        QVERIFY(app()->commands()->execute(ID_IMPORT));
        QVERIFY(idle());
        QVERIFY(questions_.isEmpty());
        QVERIFY(doc->pathName().isEmpty());
        QVERIFY(messages_.isEmpty());
        doc->setModified(false);
        answer_ = SaveAnswer::No;
    }

    void scannedPicture() {
        start();
        auto picture = std::make_unique<CPicture>();
        QVERIFY(picture->Create(ptGray256, 40, 30, 0, nullptr, 0, 0, 3));
        QCoreApplication::postEvent(main(), new TwainXferDoneEvent(std::move(picture)));
        QCoreApplication::postEvent(main(), new TwainXferDoneEvent(nullptr));
        QTRY_COMPARE(app()->documents().size(), 1);
        Document* doc = app()->documents().first();
        QVERIFY(doc->isModified());
        QCOMPARE(doc->picture()->GetWidth(), 40);
        QVERIFY(main()->windowTitle().startsWith("untitled - "));
        doc->setModified(false);
    }

    void help() {
        start();
        QList<QUrl> opened;
        app()->setUrlOpener([&](const QUrl& url) {
            opened << url;
            return true;
        });
        for (int id : {ID_HELP_INDEX, ID_HELP_KEYBOARD, ID_HELP_ICONS, ID_HELP_USING})
            QVERIFY(app()->commands()->execute(id));
        QCOMPARE(opened.size(), 4);
        QVERIFY(opened[1].toLocalFile().endsWith("keyboard.html"));
        for (const QUrl& url : opened) QVERIFY(QFile::exists(url.toLocalFile()));
        QVERIFY(messages_.isEmpty());
        app()->setUrlOpener({});
    }

    // No browser can be started: the message says so and where the pages
    // are, so that the user can open them another way.
    void helpWithoutBrowser() {
        start();
        app()->setUrlOpener([](const QUrl&) { return false; });
        QVERIFY(app()->commands()->execute(ID_HELP_INDEX));
        app()->setUrlOpener({});
        QCOMPARE(messages_.size(), 1);
        const QString folder = CVandrelApp::HelpDirectory();
        QVERIFY(!folder.isEmpty());
        QVERIFY2(messages_[0].contains("browser") && messages_[0].contains(folder) &&
                     messages_[0].contains(folder + "/index.html") && messages_[0].endsWith('.'),
                 qPrintable(messages_[0]));
    }

    void cleanupTestCase() { answer_ = SaveAnswer::No; }
};

int main(int argc, char** argv) {
    CVandrelApp app(argc, argv);
    app.setEmbeddingService(&StartEmbeddingServer);
    AppTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "app_test.moc"
