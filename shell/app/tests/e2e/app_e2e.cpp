// End to end on a real display (run under Xvfb): the program starts with a
// picture, the splash goes at a click, the picture is mirrored from the
// Bitmap menu, saved under a new name through the save dialog, closed, and
// opened again from the recent-file list of the File menu. The saved file
// and the reopened picture hold the mirrored pixels. Screenshots go to
// STITCHARA_ARTEFACTS (or the build's artefacts folder).
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "base/job_qt.h"
#include "document/document_qt.h"
#include "resources/command_ids.h"
#include "platform/profile.h"
#include "shell/app/app_qt.h"
#include "shell/app/commands_qt.h"
#include "shell/app/doc_template_qt.h"
#include "shell/app/logo_wnd_qt.h"
#include "shell/app/main_wnd_qt.h"
#include "shell/app/status_bar_qt.h"

class AppEndToEnd : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString artefacts_;

    void shot(const QString& name) {
        QCoreApplication::processEvents();
        QScreen* screen = QGuiApplication::primaryScreen();
        screen->grabWindow(0).save(artefacts_ + "/app_e2e_" + name + ".png");
    }
    // Clicks a menu of the menu bar open, then one of its items.
    void chooseFromMenu(const QString& menuName, QAction* item) {
        PMainWnd* main = theApp()->mainWindow();
        QMenu* menu = main->findChild<QMenu*>(menuName);
        QVERIFY2(menu, qPrintable(menuName));
        QMenuBar* bar = main->menuBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
        QTRY_VERIFY(menu->isVisible());
        QTest::qWait(100);
        QVERIFY(item->isEnabled());
        QTest::mouseMove(menu, menu->actionGeometry(item).center());
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
    }

private slots:
    void run() {
        QVERIFY(dir_.isValid());
        artefacts_ = qEnvironmentVariable("STITCHARA_ARTEFACTS", QDir::currentPath());
        QDir().mkpath(artefacts_);
        platform::SetProfilePath(dir_.filePath("stitchara.ini").toStdString());
        theApp()->setMessageHandler([](const QString& text) { QFAIL(qPrintable("message: " + text)); });

        // A picture: red on the left, blue on the right.
        const QString start = dir_.filePath("start scan.png");
        QImage image(120, 80, QImage::Format_RGB888);
        image.fill(Qt::blue);
        for (int y = 0; y < 80; ++y)
            for (int x = 0; x < 60; ++x) image.setPixelColor(x, y, Qt::red);
        QVERIFY(image.save(start));

        // The splash ends at a click. It comes after the picture has opened,
        // which takes its time in a slow (sanitized) build: look for it until
        // it is there.
        bool splashSeen = false;
        QTimer lookForSplash;
        QObject::connect(&lookForSplash, &QTimer::timeout, [&] {
            PMainWnd* window = theApp()->mainWindow();
            auto* logo = window ? window->findChild<CLogoWindow*>() : nullptr;
            if (!logo || !logo->isVisible()) return;
            lookForSplash.stop();
            splashSeen = true;
            shot("1_splash");
            QTest::mouseClick(logo, Qt::LeftButton);
        });
        lookForSplash.start(50);
        QStringList arguments{"stitchara", start};
        QVERIFY(theApp()->InitInstance(CVandrelApp::ParseCommandLine(arguments)));
        QTRY_VERIFY(splashSeen);
        lookForSplash.stop();
        PMainWnd* main = theApp()->mainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(main));
        QCOMPARE(theApp()->documents().size(), 1);
        theApp()->UpdateCommandStates();
        shot("2_started");

        // Mirror from the Bitmap menu.
        Document* doc = theApp()->documents().first();
        chooseFromMenu("Bitmap", theApp()->commands()->action(32020));
        QTRY_VERIFY(doc->isModified());
        shot("3_mirrored");

        // Save As from the File menu, typing the new name into the dialog.
        const QString saved = dir_.filePath("mirrored.png");
        // Return may first close the name field's completion list; it is
        // pressed until the dialog goes (and the dialog is given up, failing
        // the test, rather than left open for ever).
        bool typed = false;
        int returns = 0;
        QTimer dialogWatch;
        dialogWatch.setInterval(100);
        connect(&dialogWatch, &QTimer::timeout, this, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            auto* edit = dialog ? dialog->findChild<QLineEdit*>("fileNameEdit") : nullptr;
            if (!edit || !edit->isVisible()) return;
            if (!typed) {
                edit->clear();
                QTest::keyClicks(edit, saved);
                shot("4_save_dialog");
                typed = true;
            }
            if (++returns > 50) {
                dialog->reject();
                return;
            }
            QTest::keyClick(edit, Qt::Key_Return);
        });
        dialogWatch.start();
        chooseFromMenu("File", theApp()->commands()->action(32002));
        // The dialog is window-modal: the menu returns at once, and Return
        // goes on being pressed until the dialog has gone.
        QTRY_VERIFY(typed);
        QTRY_VERIFY_WITH_TIMEOUT(!qobject_cast<QFileDialog*>(QApplication::activeModalWidget()), 15000);
        dialogWatch.stop();
        QTRY_VERIFY(!doc->isModified());
        QCOMPARE(doc->pathName(), saved);
        const QImage written(saved);
        QCOMPARE(written.pixelColor(0, 0), QColor(Qt::blue));
        QCOMPARE(written.pixelColor(119, 79), QColor(Qt::red));

        // Close it, then open it again from the recent-file list.
        QVERIFY(main->documentWindows().first()->close());
        QTRY_VERIFY(theApp()->documents().isEmpty());
        chooseFromMenu("File", theApp()->commands()->action(57616));
        QTRY_COMPARE(theApp()->documents().size(), 1);
        Document* again = theApp()->documents().first();
        QCOMPARE(again->pathName(), saved);
        const QImage pixels = PictureThumbnail(again->picture(), 4096).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(pixels.pixelColor(5, 5), QColor(Qt::blue));
        QCOMPARE(pixels.pixelColor(115, 75), QColor(Qt::red));
        QTRY_COMPARE(main->windowTitle(), QString("mirrored.png [x1] - Stitchara"));
        shot("5_reopened");
        // What the screen shows: blue to the left of red in the picture's window.
        QMdiSubWindow* window = main->documentWindows().first();
        const QImage shown = window->grab().toImage();
        int blueAt = -1, redAt = -1;
        const int y = shown.height() / 2;
        for (int x = 0; x < shown.width(); ++x) {
            const QColor c = shown.pixelColor(x, y);
            if (blueAt < 0 && c == QColor(Qt::blue)) blueAt = x;
            if (redAt < 0 && c == QColor(Qt::red)) redAt = x;
        }
        QVERIFY(blueAt >= 0 && redAt > blueAt);

        // The two sample scans side by side, the Bitmap menu's prompt in the
        // status bar: the picture of the program the README shows.
        const QString samples = qEnvironmentVariable("STITCHARA_SOURCE_DIR") + "/samples/";
        if (!QFile::exists(samples + "left.png")) QSKIP("the sample pictures are not found");
        QVERIFY(main->documentWindows().first()->close());
        main->resize(1040, 640);
        QVERIFY(theApp()->OpenDocumentFile(samples + "right.png"));
        QVERIFY(QTest::qWaitFor([] { return Job::runningJobs().isEmpty(); }, 120000));
        QVERIFY(theApp()->OpenDocumentFile(samples + "left.png"));
        QVERIFY(QTest::qWaitFor([] { return Job::runningJobs().isEmpty(); }, 120000));
        QVERIFY(theApp()->commands()->execute(ID_WINDOW_TILE));
        QMenu* bitmap = main->findChild<QMenu*>("Bitmap");
        QMenuBar* bar = main->menuBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(bitmap->menuAction()).center());
        QTRY_VERIFY(bitmap->isVisible());
        QAction* mirror = theApp()->commands()->action(ID_MIRROR_HORIZONTAL);
        for (int i = 0; i < 100 && main->statusBar()->promptText().isEmpty(); ++i) {
            QTest::mouseMove(bitmap, bitmap->actionGeometry(mirror).center() + QPoint(i % 2, 0));
            QTest::qWait(50);
        }
        const bool prompted = !main->statusBar()->promptText().isEmpty();
        if (!prompted) QTest::keyClick(bitmap, Qt::Key_Escape);
        QVERIFY(prompted);
        QTest::qWait(100);
        // The open menu is a window of its own: the screen holds both.
        QCoreApplication::processEvents();
        const QRect frame = main->frameGeometry();
        const QImage screen = QGuiApplication::primaryScreen()
                                  ->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
                                  .toImage();
        QVERIFY(screen.save(artefacts_ + "/app_e2e_6_window.png"));
        QTest::keyClick(bitmap, Qt::Key_Escape);
    }
};

int main(int argc, char** argv) {
    CVandrelApp app(argc, argv);
    AppEndToEnd test;
    return QTest::qExec(&test, argc, argv);
}

#include "app_e2e.moc"
