// End to end on a real display (run under Xvfb): the program starts with a
// picture; a mirror from the Bitmap menu marks both titles unsaved, Ctrl+Z
// takes it back and clears the mark, Ctrl+S saves: the file holds the
// original picture. Then Edit > Select Area, a rectangle dragged on the
// view (its size in the status bar), Bitmap > Crop to Selection: the
// picture is that rectangle at the same resolution; Ctrl+Z brings back the
// whole. Screenshots go to STITCHARA_ARTEFACTS.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <vector>

#include "display/view_qt.h"
#include "document/document_qt.h"
#include "picture/picture.h"
#include "platform/profile.h"
#include "resources/command_ids.h"
#include "shell/app/app_qt.h"
#include "shell/app/commands_qt.h"
#include "shell/app/doc_template_qt.h"
#include "shell/app/logo_wnd_qt.h"
#include "shell/app/main_wnd_qt.h"
#include "shell/app/status_bar_qt.h"

class UndoCropEndToEnd : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString artefacts_;

    void shot(const QString& name) {
        QCoreApplication::processEvents();
        QGuiApplication::primaryScreen()->grabWindow(0).save(artefacts_ + "/undo_crop_e2e_" + name + ".png");
    }
    // Clicks a menu of the menu bar open, then one of its items.
    void chooseFromMenu(const QString& menuName, int id) {
        PMainWnd* main = theApp()->mainWindow();
        QAction* item = theApp()->commands()->action(id);
        QMenu* menu = main->findChild<QMenu*>(menuName);
        QVERIFY2(menu && item, qPrintable(menuName));
        QMenuBar* bar = main->menuBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
        QTRY_VERIFY(menu->isVisible());
        QTest::qWait(100);
        QVERIFY2(item->isEnabled(), qPrintable(item->text()));
        QTest::mouseMove(menu, menu->actionGeometry(item).center());
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
        QTRY_VERIFY(!menu->isVisible());
    }
    static QImage Pixels(const QImage& image) { return image.convertToFormat(QImage::Format_RGB32); }
    // The document's 24-bit picture as an image, pixel for pixel.
    static QImage Shown(Document* doc) {
        CPicture* p = doc->picture();
        QImage image(p->GetWidth(), p->GetHeight(), QImage::Format_RGB32);
        std::vector<std::uint8_t> row(p->SegmentBytes(0, p->GetWidth() - 1));
        for (int y = 0; y < p->GetHeight(); ++y) {
            if (!p->ReadRow(0, p->GetWidth() - 1, y, row.data())) return {};
            for (int x = 0; x < p->GetWidth(); ++x)
                image.setPixel(x, y, qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]));
        }
        return image;
    }

private slots:
    void run() {
        QVERIFY(dir_.isValid());
        artefacts_ = qEnvironmentVariable("STITCHARA_ARTEFACTS", QDir::currentPath());
        QDir().mkpath(artefacts_);
        platform::SetProfilePath(dir_.filePath("stitchara.ini").toStdString());
        theApp()->setMessageHandler([](const QString& text) { QFAIL(qPrintable("message: " + text)); });

        // A picture no mirror leaves as it was, at 200 x 100 dpi.
        const QString start = dir_.filePath("map.png");
        QImage original(120, 80, QImage::Format_RGB888);
        for (int y = 0; y < 80; ++y)
            for (int x = 0; x < 120; ++x) original.setPixelColor(x, y, QColor((x * 2) % 256, (y * 3) % 256, (x * y) % 256));
        original.setDotsPerMeterX(7874);
        original.setDotsPerMeterY(3937);
        QVERIFY(original.save(start));
        original = Pixels(QImage(start));

        bool splashSeen = false;
        QTimer lookForSplash;
        QObject::connect(&lookForSplash, &QTimer::timeout, [&] {
            PMainWnd* window = theApp()->mainWindow();
            auto* logo = window ? window->findChild<CLogoWindow*>() : nullptr;
            if (!logo || !logo->isVisible()) return;
            lookForSplash.stop();
            splashSeen = true;
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
        Document* doc = theApp()->documents().first();
        QMdiSubWindow* window = main->documentWindows().first();
        auto* view = window->findChild<CVandrelView*>();
        QVERIFY(view);
        QTRY_COMPARE(view->Zoom(), 1);
        theApp()->UpdateCommandStates();
        QVERIFY(!main->isWindowModified());

        // Mirror, then Ctrl+Z.
        chooseFromMenu("Bitmap", ID_MIRROR_HORIZONTAL);
        QTRY_VERIFY(doc->isModified());
        QVERIFY(window->isWindowModified() && window->windowTitle().contains("[*]"));
        QTRY_VERIFY(main->isWindowModified());
        QVERIFY(Shown(doc) != original);
        shot("1_mirrored");
        // The keys go to the active window (no window manager activates it).
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main));
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
        QTRY_VERIFY(!doc->isModified());
        QTRY_VERIFY(!main->isWindowModified());
        QVERIFY(!window->windowTitle().contains("[*]"));
        QCOMPARE(Shown(doc), original);

        // Ctrl+S writes the file again: it holds the original picture.
        const QDateTime old = QFileInfo(start).lastModified().addSecs(-60);
        {
            QFile file(start);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(old, QFileDevice::FileModificationTime));
        }
        QTest::keyClick(view, Qt::Key_S, Qt::ControlModifier);
        QTRY_VERIFY(QFileInfo(start).lastModified() > old);
        const QImage saved(start);
        QCOMPARE(Pixels(saved), original);
        QCOMPARE(saved.dotsPerMeterX(), 7874);
        QCOMPARE(saved.dotsPerMeterY(), 3937);

        // Edit > Select Area, then a rectangle dragged from picture pixel
        // (20, 10) to (79, 49).
        chooseFromMenu("Edit", ID_SELECT_AREA);
        QTRY_VERIFY(theApp()->commands()->action(ID_SELECT_AREA)->isChecked());
        QWidget* client = view->viewport();
        auto at = [view](int x, int y) {
            const QPoint c = view->PictureToClient(QPoint(x, y));
            return view->ClientToLogical(c).toPoint();
        };
        QTest::mouseMove(client, at(20, 10));
        QTest::mousePress(client, Qt::LeftButton, {}, at(20, 10));
        QTest::mouseMove(client, at(40, 30));
        QTest::mouseMove(client, at(79, 49));
        QTest::mouseRelease(client, Qt::LeftButton, {}, at(79, 49));
        QTRY_COMPARE(view->Selection(), QRect(20, 10, 60, 40));
        QVERIFY2(main->statusBar()->promptText().contains("60 pixels x 40 pixels"),
                 qPrintable(main->statusBar()->promptText()));
        shot("2_selected");

        // Its right edge moved by its handle, from x 79 to x 89.
        const QRect handle = view->SelectionHandles().at(7);
        const QPoint grip = view->ClientToLogical(handle.center()).toPoint();
        QTest::mouseMove(client, grip);
        QTest::mousePress(client, Qt::LeftButton, {}, grip);
        QTest::mouseMove(client, at(85, 30));
        QTest::mouseMove(client, at(89, 30));
        QTest::mouseRelease(client, Qt::LeftButton, {}, at(89, 30));
        QTRY_COMPARE(view->Selection(), QRect(20, 10, 70, 40));

        chooseFromMenu("Bitmap", ID_CROP_TO_SELECTION);
        QTRY_COMPARE(doc->picture()->GetWidth(), 70);
        QCOMPARE(doc->picture()->GetHeight(), 40);
        QCOMPARE(doc->picture()->GetHeader()->biXPelsPerMeter, 7874);
        QCOMPARE(doc->picture()->GetHeader()->biYPelsPerMeter, 3937);
        QCOMPARE(Shown(doc), original.copy(20, 10, 70, 40));
        QVERIFY(view->Selection().isEmpty());
        QTRY_VERIFY(main->isWindowModified());
        shot("3_cropped");

        // Escape drops a selection.
        QTest::mousePress(client, Qt::LeftButton, {}, at(2, 2));
        QTest::mouseMove(client, at(10, 10));
        QTest::mouseRelease(client, Qt::LeftButton, {}, at(10, 10));
        QTRY_VERIFY(!view->Selection().isEmpty());
        QTest::keyClick(view, Qt::Key_Escape);
        QVERIFY(view->Selection().isEmpty());

        QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
        QTRY_COMPARE(doc->picture()->GetWidth(), 120);
        QCOMPARE(Shown(doc), original);
        QTRY_VERIFY(!doc->isModified());
        QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_COMPARE(doc->picture()->GetWidth(), 70);
        shot("4_redone");
        doc->undo();
    }
};

int main(int argc, char** argv) {
    CVandrelApp app(argc, argv);
    UndoCropEndToEnd test;
    return QTest::qExec(&test, argc, argv);
}

#include "undo_crop_e2e_qt.moc"
