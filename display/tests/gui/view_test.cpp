#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <QtTest>

#include "display/draw_picture_qt.h"
#include "display/view_qt.h"
#include "document/document.h"
#include "document/document_qt.h"
#include "picture_fixtures.h"
#include "resources/command_ids.h"

using namespace display_test;

namespace {
// A shown view of a core document holding the picture, its viewport w x h.
struct ShownView {
    CVandrelDoc doc;
    std::unique_ptr<CVandrelView> view;
    ShownView(std::unique_ptr<CPicture> picture, int w, int h) {
        doc.SetPicture(std::move(picture));
        view = std::make_unique<CVandrelView>(&doc);
        view->resize(w, h);
        view->show();
        view->UpdateScrollState();
    }
    QImage Grab() { return view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

// A widget beside the view that takes file drops, as a file manager would.
class DropTarget : public QWidget {
public:
    QList<QUrl> dropped;
    int moves = 0;
    DropTarget() {
        setAcceptDrops(true);
        setMinimumSize(200, 200);
    }
protected:
    void dragEnterEvent(QDragEnterEvent* e) override {
        if (e->mimeData()->hasUrls()) e->acceptProposedAction();
    }
    void dragMoveEvent(QDragMoveEvent* e) override {
        ++moves;
        e->acceptProposedAction();
    }
    void dropEvent(QDropEvent* e) override {
        dropped = e->mimeData()->urls();
        e->acceptProposedAction();
    }
};
}  // namespace

class ViewTest : public QObject {
    Q_OBJECT
private slots:
    // The grabbed view equals the picture resampled by the zoom rules, for
    // every format at every zoom, scrolled to an odd spot.
    void grabbedViewEqualsResampledPicture_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("zoom");
        for (int type : kAllTypes)
            for (int zoom : {1, 2, 5, 16, -2, -3, -16})
                QTest::addRow("type %d zoom %d", type, zoom) << type << zoom;
    }
    void grabbedViewEqualsResampledPicture() {
        QFETCH(int, type);
        QFETCH(int, zoom);
        ShownView v(MakePicture(type, 700, 500, unsigned(type * 31 + zoom + 40)), 200, 150);
        v.view->SetZoom(zoom, 0, 0);
        v.view->ScrollTo(37, 23);
        const display::ScrollState& s = v.view->ScrollStateNow();
        const QImage got = v.Grab();
        // Where the picture begins in the client area (centred when smaller).
        const int ox = s.scrollX, oy = s.scrollY;
        QImage want = Resampled(*v.view->GetPicture(), ox, oy, zoom, got.width(), got.height(),
                                v.view->palette().color(QPalette::Dark).rgb());
        if (s.originX || s.originY) {
            QImage shifted(got.size(), QImage::Format_RGB32);
            shifted.fill(v.view->palette().color(QPalette::Dark));
            QPainter p(&shifted);
            p.drawImage(QPoint(s.originX, s.originY), want);
            p.end();
            want = shifted;
        }
        const QString diff = FirstDifference(got, want);
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
    }

    void zoomSequencesAndAnchors() {
        ShownView v(MakePicture(ptTrueColor24, 1000, 800, 1), 300, 200);
        CVandrelView& view = *v.view;
        view.OnCommand(ID_ZOOM_1_2);
        QCOMPARE(view.Zoom(), -2);
        view.OnCommand(ID_ZOOM_IN);
        QCOMPARE(view.Zoom(), 1);
        view.OnCommand(ID_ZOOM_IN);
        QCOMPARE(view.Zoom(), 2);
        view.OnCommand(ID_ZOOM_16);
        view.OnCommand(ID_ZOOM_IN);
        QCOMPARE(view.Zoom(), 16);
        view.OnCommand(ID_ZOOM_1_16);
        view.OnCommand(ID_ZOOM_OUT);
        QCOMPARE(view.Zoom(), -16);
        // An anchor keeps its client position.
        view.OnCommand(ID_ACTUAL_SIZE);
        view.ScrollTo(300, 300);
        const QPoint anchor(400, 350);
        const QPoint before = view.PictureToClient(anchor);
        view.SetZoom(3, anchor.x(), anchor.y());
        // (within one picture pixel: client positions are whole pixels at x3)
        const QPoint after = view.PictureToClient(anchor);
        QVERIFY(std::abs(after.x() - before.x()) < 3 && std::abs(after.y() - before.y()) < 3);
        // Client x 5 at x3 is picture x 1 + scroll.
        QCOMPARE(view.ClientToPicture({5, 5}), QPoint(1 + view.ScrollX(), 1 + view.ScrollY()));
        // At 1/4 positions land on multiples of 4.
        view.SetZoom(-4, 0, 0);
        view.ScrollTo(5, 0);
        QCOMPARE(view.ScrollX(), 0);  // whole picture fits across at 1/4: no bar
        view.SetZoom(1, 0, 0);
        CommandState state;
        QVERIFY(view.OnUpdateCommand(ID_ACTUAL_SIZE, state));
        QVERIFY(state.checked && state.enabled);
        QVERIFY(view.OnUpdateCommand(ID_PRINT, state));  // print commands pass through the view
    }

    // Full screen returns at once with its window shown; Escape closes it and
    // the view has its focus again; a new picture ends it (it would show the
    // old one), and a view that goes takes its window with it.
    void fullScreenEndsWithoutWaiting() {
        auto shown = [] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == QLatin1String("fullScreen") && w->isVisible()) return w;
            return static_cast<QWidget*>(nullptr);
        };
        auto v = std::make_unique<ShownView>(MakePicture(ptTrueColor24, 64, 48, 1), 200, 150);
        CVandrelView& view = *v->view;
        view.FullScreen();
        QVERIFY(view.IsFullScreen());
        QWidget* full = shown();
        QVERIFY(full);
        view.FullScreen();  // a second is not opened
        QCOMPARE(shown(), full);
        QTest::keyClick(full, Qt::Key_Escape);
        QVERIFY(!view.IsFullScreen() && !shown());

        view.FullScreen();
        QVERIFY(shown());
        view.OnPictureChanged(QRect());
        QVERIFY(!view.IsFullScreen() && !shown());

        view.FullScreen();
        QPointer<QWidget> last = shown();
        QVERIFY(last);
        v.reset();
        QVERIFY(!last);
    }

    void scrollingAtReductionRounds() {
        ShownView v(MakePicture(ptGray256, 8000, 8000, 2), 300, 200);
        CVandrelView& view = *v.view;
        view.SetZoom(-4, 0, 0);
        view.ScrollTo(5, 6);
        QCOMPARE(view.ScrollX(), 4);
        QCOMPARE(view.ScrollY(), 8);
        // A line step through the bar: 32 client pixels, 128 picture pixels.
        view.horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(view.ScrollX(), 4 + 128);
        // The end of the range still shows the last kept pixel.
        view.ScrollTo(1 << 20, 1 << 20);
        const QRect last = view.PictureRectToClient(QRect(7996, 7996, 1, 1));
        QVERIFY(last.right() < view.viewport()->width());
        QVERIFY(last.bottom() < view.viewport()->height());
    }

    void smallAndThinPicturesCentreAndScroll() {
        ShownView one(MakePicture(ptBlackWhite, 1, 1, 3), 200, 100);
        for (int z = -16; z <= 16; ++z) {
            one.view->SetZoom(z, 0, 0);
            QVERIFY(!one.view->ScrollStateNow().hasHScroll);
            QVERIFY(!one.Grab().isNull());
        }
        ShownView thin(MakePicture(ptColor16, 32767, 1, 4), 300, 100);
        thin.view->SetZoom(16, 0, 0);
        QVERIFY(thin.view->ScrollStateNow().hasHScroll);
        thin.view->ScrollTo(40000, 0);
        QCOMPARE(thin.view->ScrollX(), thin.view->ScrollStateNow().maxX);
        QVERIFY(thin.view->ClientToPicture({thin.view->viewport()->width() - 1, 0}).x() <= 32767);
        const QImage got = thin.Grab();
        const QImage want = Resampled(*thin.view->GetPicture(), thin.view->ScrollX(), 0, 16, got.width(), got.height(),
                                      thin.view->palette().color(QPalette::Dark).rgb());
        // Row band: the picture is 16 client rows high, centred vertically.
        const int top = thin.view->ScrollStateNow().originY;
        for (int x = 0; x < got.width(); x += 7)
            QCOMPARE(got.pixel(x, top + 3) & 0xFFFFFF, want.pixel(x, 3) & 0xFFFFFF);
    }

    void fitInWindow() {
        ShownView v(MakePicture(ptTrueColor24, 100, 100, 5), 400, 400);
        v.view->FitInWindow();
        QCOMPARE(v.view->Zoom(), 4);
        ShownView w(MakePicture(ptTrueColor24, 1000, 600, 6), 400, 400);
        w.view->FitInWindow();
        QCOMPARE(w.view->Zoom(), -3);
        ShownView e(MakePicture(ptTrueColor24, 1000, 600, 6), 500, 300);
        e.view->FitInWindow();
        QCOMPARE(e.view->Zoom(), -2);
    }

    // Holding 3 and dragging keeps the picture point under the cursor; other
    // digits only change the cursor; a tool gets no button events meanwhile.
    void panWithKeyThree() {
        ShownView v(MakePicture(ptTrueColor24, 2000, 2000, 8), 300, 300);
        CVandrelView& view = *v.view;
        view.setFocus();
        view.ScrollTo(500, 500);
        QTest::keyPress(&view, Qt::Key_3);
        QCOMPARE(view.HeldKey(), 3);
        QTest::mousePress(view.viewport(), Qt::LeftButton, {}, QPoint(100, 100));
        QVERIFY(view.PanMode());
        QTest::mouseMove(view.viewport(), QPoint(60, 80));
        QCOMPARE(QPoint(view.ScrollX(), view.ScrollY()), QPoint(540, 520));
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, QPoint(60, 80));
        QVERIFY(!view.PanMode());
        QTest::keyRelease(&view, Qt::Key_3);
        QCOMPARE(view.HeldKey(), 0);
        // Ctrl + wheel zooms at the cursor, the plain wheel scrolls.
        QWheelEvent zoomIn(QPointF(150, 150), view.viewport()->mapToGlobal(QPointF(150, 150)), QPoint(),
                           QPoint(0, 120), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view.viewport(), &zoomIn);
        QCOMPARE(view.Zoom(), 2);
        const int y = view.ScrollY();
        QWheelEvent down(QPointF(150, 150), view.viewport()->mapToGlobal(QPointF(150, 150)), QPoint(),
                         QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view.viewport(), &down);
        QCOMPARE(view.ScrollY(), y + 3 * 16);  // three lines of 32 client pixels at x2
    }

    // A quarter turn through the document redraws every view of it with the
    // new size.
    void documentChangesRedrawEveryView() {
        Document document;
        document.core().SetPicture(MakePicture(ptColor256, 120, 40, 9));
        CVandrelView first(&document), second(&document);
        for (CVandrelView* v : {&first, &second}) {
            v->resize(200, 200);
            v->show();
            v->UpdateScrollState();
        }
        QCOMPARE(first.ScrollStateNow().originY, 80);
        QVERIFY(document.OnCommand(ID_ROTATE_LEFT));
        for (CVandrelView* v : {&first, &second}) {
            QCOMPARE(v->ScrollStateNow().originX, 80);
            QCOMPARE(v->ScrollStateNow().originY, 40);
            const QImage got = v->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
            const QString diff = FirstDifference(got.copy(80, 40, 40, 120),
                                                 Resampled(*document.picture(), 0, 0, 1, 40, 120, 0));
            QVERIFY2(diff.isEmpty(), qPrintable(diff));
        }
    }

    void positionSignal() {
        ShownView v(MakePicture(ptTrueColor24, 1000, 1000, 7), 300, 300);
        v.view->SetZoom(2, 0, 0);
        QSignalSpy spy(v.view.get(), &CVandrelView::picturePosition);
        QTest::mouseMove(v.view->viewport(), QPoint(21, 41));
        QVERIFY(!spy.isEmpty());
        QCOMPARE(spy.last().at(0).toPoint(), QPoint(10, 20));
    }

    // Dragging a saved document's picture out of the view hands its file to
    // whatever it is dropped on; an unsaved document starts no drag.
    // (Run under a real X server: the offscreen platform has no drag and drop.)
    void fileDragCarriesTheDocumentsFile() {
        if (QGuiApplication::platformName() == "offscreen") QSKIP("needs a platform with drag and drop");
        CVandrelDoc doc;
        doc.SetPicture(MakePicture(ptTrueColor24, 200, 200, 5));
        doc.SetPathName("/tmp/stitchara-drag/scan one.png");
        QWidget window;
        auto* layout = new QHBoxLayout(&window);
        auto* view = new CVandrelView(&doc);
        auto* target = new DropTarget;
        layout->addWidget(view);
        layout->addWidget(target);
        window.resize(600, 240);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        view->UpdateScrollState();
        QWindow* handle = window.windowHandle();
        const QPoint press = view->viewport()->mapTo(&window, QPoint(50, 50));
        const QPoint drop = target->mapTo(&window, target->rect().center());
        // The drag runs its own loop: finish it from inside, once it runs.
        QTimer finish;
        QObject::connect(&finish, &QTimer::timeout, [&] {
            if (!view->findChild<QDrag*>()) return;
            finish.stop();
            // Each answer of the target travels back through the X server.
            QTest::mouseMove(handle, drop);
            QTRY_VERIFY_WITH_TIMEOUT(target->moves >= 1, 10000);
            QTest::mouseMove(handle, drop + QPoint(1, 1));
            QTRY_VERIFY_WITH_TIMEOUT(target->moves >= 2, 10000);
            QTest::qWait(100);
            QTest::mouseRelease(handle, Qt::LeftButton, {}, drop + QPoint(1, 1));
        });
        finish.start(20);
        QTest::mousePress(handle, Qt::LeftButton, {}, press);
        QTest::mouseMove(handle, press + QPoint(QApplication::startDragDistance() + 4, 0));
        QTRY_COMPARE(target->dropped.size(), 1);
        QCOMPARE(target->dropped.front(), QUrl::fromLocalFile("/tmp/stitchara-drag/scan one.png"));

        target->dropped.clear();
        doc.SetPathName("");
        QTest::mousePress(handle, Qt::LeftButton, {}, press);
        QTest::mouseMove(handle, drop);
        QTest::mouseRelease(handle, Qt::LeftButton, {}, drop);
        QTest::qWait(20);
        QVERIFY(target->dropped.isEmpty());
    }
};

QTEST_MAIN(ViewTest)
#include "view_test.moc"
