// End to end on a real X server (Xvfb): a picture file opened into a document
// window, zoomed with the keyboard and the wheel, scrolled, fitted into the
// window, shown full screen and back. Every step is grabbed from the screen,
// kept in the artefacts and compared with the picture resampled at the zoom.
#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>
#include <QtTest>

#include "display/frame_caption.h"
#include "display/draw_picture_qt.h"
#include "display/view_qt.h"
#include "document/document_qt.h"
#include "document/import_export.h"
#include "document/import_export_formats.h"
#include "picture/picture.h"
#include "resources/command_ids.h"
#include "shell/app/doc_template_qt.h"
#include "../gui/picture_fixtures.h"

using namespace display_test;

class ViewEndToEnd : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    display::UntitledCounter untitled_;  // the windows' numbers, as the application keeps them
    QString artefacts_;
    QString file_;
    QMainWindow main_;
    QMdiArea* area_ = nullptr;
    Document* document_ = nullptr;
    QMdiSubWindow* window_ = nullptr;
    CVandrelView* view_ = nullptr;

    QImage Screen() { return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32); }

    // The view's client area as the screen shows it.
    QImage ViewOnScreen() {
        const QPoint at = view_->viewport()->mapToGlobal(QPoint(0, 0));
        return Screen().copy(QRect(at, view_->viewport()->size()));
    }

    void Save(const QString& name) { Screen().save(artefacts_ + "/view_e2e_" + name + ".png"); }

    // What the screen shows of the view is the picture at the view's zoom.
    void CompareWithPicture(const char* step) {
        QTest::qWait(50);
        QApplication::processEvents();
        const display::ScrollState& s = view_->ScrollStateNow();
        const QImage got = ViewOnScreen();
        const QColor background = view_->palette().color(QPalette::Dark);
        QImage want(got.size(), QImage::Format_RGB32);
        want.fill(background);
        QPainter p(&want);
        p.drawImage(QPoint(s.originX, s.originY),
                    Resampled(*document_->picture(), s.scrollX, s.scrollY, view_->Zoom(),
                              got.width() - s.originX, got.height() - s.originY, background.rgb()));
        p.end();
        const QString diff = FirstDifference(got, want);
        QVERIFY2(diff.isEmpty(), qPrintable(QString("%1: %2").arg(step, diff)));
    }

    void Wheel(int delta, Qt::KeyboardModifiers modifiers) {
        const QPointF at(view_->viewport()->width() / 2.0, view_->viewport()->height() / 2.0);
        QWheelEvent event(at, view_->viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view_->viewport(), &event);
    }

private slots:
    void initTestCase() {
        qputenv("STITCHARA_INI", dir_.filePath("test.ini").toUtf8());
        artefacts_ = qEnvironmentVariable("STITCHARA_BUILD_DIR", ".") + "/artefacts";
        QDir().mkpath(artefacts_);
        // A picture with a little of everything: gradients, a grid and text.
        QImage art(1600, 1200, QImage::Format_RGB888);
        for (int y = 0; y < art.height(); ++y)
            for (int x = 0; x < art.width(); ++x)
                art.setPixel(x, y, qRgb(x * 255 / 1599, y * 255 / 1199, ((x / 40 + y / 40) % 2) * 200));
        QPainter painter(&art);
        painter.setPen(QPen(Qt::white, 3));
        for (int x = 0; x < art.width(); x += 200) painter.drawLine(x, 0, x, art.height());
        for (int y = 0; y < art.height(); y += 200) painter.drawLine(0, y, art.width(), y);
        QFont font = painter.font();
        font.setPixelSize(90);
        painter.setFont(font);
        painter.drawText(art.rect(), Qt::AlignCenter, "Stitchara");
        painter.end();
        auto picture = std::make_unique<CDocPicture>();
        QVERIFY(picture->Create(ptTrueColor24, art.width(), art.height(), 0, nullptr, 0, 0, kStoreMemory));
        for (int y = 0; y < art.height(); ++y) {
            std::vector<std::uint8_t> row(std::size_t(art.width()) * 3);
            const uchar* line = art.constScanLine(y);
            for (int x = 0; x < art.width(); ++x) {
                row[3 * x] = line[3 * x + 2];
                row[3 * x + 1] = line[3 * x + 1];
                row[3 * x + 2] = line[3 * x];
            }
            picture->WriteRow(0, art.width() - 1, y, row.data());
        }
        Formats().LoadFormats();
        file_ = dir_.filePath("Map.PNG");
        QVERIFY(WriteImageFile(file_.toStdString(), picture.get()));

        area_ = new QMdiArea(&main_);
        main_.setCentralWidget(area_);
        main_.resize(1000, 750);
        main_.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main_));
    }

    void openZoomScrollFitFullScreen() {
        document_ = new Document;
        QVERIFY(document_->open(file_));
        window_ = CreateDocumentWindow(document_, untitled_);
        area_->addSubWindow(window_);
        window_->show();
        area_->setActiveSubWindow(window_);
        view_ = window_->findChild<CVandrelView*>();
        QVERIFY(view_);
        QTRY_VERIFY(view_->ScrollStateNow().hasHScroll);
        QCOMPARE(window_->windowTitle(), QString("Map.PNG [x1]"));
        view_->setFocus();
        CompareWithPicture("opened");
        Save("1_opened");

        // Zoom in with the keyboard, out again, then in with Ctrl + wheel.
        QTest::keyClick(view_, Qt::Key_Plus);
        QCOMPARE(view_->Zoom(), 2);
        QCOMPARE(window_->windowTitle(), QString("Map.PNG [x2]"));
        CompareWithPicture("x2 by key");
        Save("2_key_zoom_x2");
        QTest::keyClick(view_, Qt::Key_Minus);
        QTest::keyClick(view_, Qt::Key_Minus);
        QCOMPARE(view_->Zoom(), -2);
        CompareWithPicture("1/2 by key");
        Save("3_key_zoom_half");
        Wheel(120, Qt::ControlModifier);
        Wheel(120, Qt::ControlModifier);
        Wheel(120, Qt::ControlModifier);
        QCOMPARE(view_->Zoom(), 3);
        CompareWithPicture("x3 by wheel");
        Save("4_wheel_zoom_x3");

        // Scroll: the wheel, a page with the keyboard, the bar.
        const int before = view_->ScrollY();
        Wheel(-120, Qt::NoModifier);
        QVERIFY(view_->ScrollY() > before);
        QTest::keyClick(view_, Qt::Key_PageDown);
        view_->horizontalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QVERIFY(view_->ScrollX() > 0);
        CompareWithPicture("scrolled");
        Save("5_scrolled");

        // Fit in window: the whole picture reduced into the window.
        view_->OnCommand(ID_FIT_IN_WINDOW);
        QVERIFY(view_->Zoom() <= -2);
        QTRY_VERIFY(!view_->ScrollStateNow().hasHScroll && !view_->ScrollStateNow().hasVScroll);
        CompareWithPicture("fit in window");
        Save("6_fit_in_window");

        // Full screen until a key; then everything as it was.
        const int zoom = view_->Zoom();
        QImage full;
        QTimer::singleShot(300, [&] {
            full = Screen();
            QWidget* shown = QApplication::activeWindow();
            QTest::keyClick(shown ? shown : QApplication::focusWidget(), Qt::Key_Escape);
        });
        view_->OnCommand(ID_FULL_SCREEN);
        QTRY_VERIFY(!full.isNull());
        QTRY_VERIFY(!view_->IsFullScreen());
        full.save(artefacts_ + "/view_e2e_7_full_screen.png");
        // 1600 x 1200 on the screen: centred at the reduction that fits.
        const QSize screen = QGuiApplication::primaryScreen()->size();
        const int z = display::FullScreenZoom({1600, 1200}, {screen.width(), screen.height()});
        const int w = int(display::DisplayedLength(1600, z)), h = int(display::DisplayedLength(1200, z));
        const QImage shown = full.copy((screen.width() - w) / 2, (screen.height() - h) / 2, w, h);
        const QString diff = FirstDifference(shown, Resampled(*document_->picture(), 0, 0, z, w, h, 0));
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
        QCOMPARE(full.pixel(0, 0) & 0xFFFFFF, 0u);  // the rest is black
        QTRY_VERIFY(main_.isActiveWindow());
        QCOMPARE(view_->Zoom(), zoom);
        CompareWithPicture("after full screen");
        Save("8_back");
    }
};

QTEST_MAIN(ViewEndToEnd)
#include "view_e2e_test_qt.moc"
