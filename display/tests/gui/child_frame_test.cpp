#include <QMdiArea>
#include <QScrollBar>
#include <QtTest>

#include "display/child_frame_qt.h"
#include "display/frame_caption.h"
#include "display/view_qt.h"
#include "document/document.h"
#include "picture_fixtures.h"
#include "resources/command_ids.h"

using namespace display_test;

class ChildFrameTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    display::UntitledCounter untitled_;

    PMDIChildWnd* NewWindow(QMdiArea& area, CVandrelDoc& doc, const std::string& path) {
        auto* frame = new PMDIChildWnd;
        auto* view = new CVandrelView(&doc);
        frame->SetView(view);
        frame->SetBaseName(path, untitled_);
        area.addSubWindow(frame);
        frame->resize(400, 300);
        frame->show();
        view->FitFrameToPicture();
        return frame;
    }

private slots:
    void initTestCase() {
        qputenv("STITCHARA_INI", dir_.filePath("test.ini").toUtf8());
    }

    void captionsFollowNameAndZoom() {
        QMdiArea area;
        area.resize(800, 600);
        area.show();
        CVandrelDoc a, b, c;
        a.SetPicture(MakePicture(ptTrueColor24, 300, 200, 1));
        b.SetPicture(MakePicture(ptTrueColor24, 300, 200, 2));
        c.SetPicture(MakePicture(ptTrueColor24, 300, 200, 3));
        PMDIChildWnd* first = NewWindow(area, a, "");
        PMDIChildWnd* second = NewWindow(area, b, "");
        PMDIChildWnd* house = NewWindow(area, c, "/somewhere/Else/HOUSE.BMP");
        QCOMPARE(first->windowTitle(), QString("untitled - 1 [x1]"));
        QCOMPARE(second->windowTitle(), QString("untitled - 2 [x1]"));
        QCOMPARE(house->windowTitle(), QString("HOUSE.BMP [x1]"));
        house->GetView()->OnCommand(ID_ZOOM_1_4);
        QCOMPARE(house->windowTitle(), QString("HOUSE.BMP [1/4]"));
        house->showMinimized();
        QCOMPARE(house->windowTitle(), QString("HOUSE.BMP"));
        // Zoom commands do nothing while minimised.
        house->GetView()->OnCommand(ID_ZOOM_2);
        QCOMPARE(house->GetView()->Zoom(), -4);
    }

    void windowCommandsIgnoredWhileStitching() {
        QMdiArea area;
        area.resize(800, 600);
        area.show();
        CVandrelDoc doc;
        doc.SetPicture(MakePicture(ptGray256, 100, 100, 4));
        QPointer<PMDIChildWnd> frame = NewWindow(area, doc, "");
        bool idle = false;
        PMDIChildWnd::SetStitchIdleQuery([&idle] { return idle; });
        frame->close();
        QVERIFY(frame && frame->isVisible());
        // A click on the title bar (above the body) is swallowed.
        const QPoint title(frame->width() / 2, 5);
        QTest::mouseDClick(frame, Qt::LeftButton, {}, title);
        QVERIFY(!frame->isMaximized());
        // The program's own close still works.
        frame->CloseFromProgram();
        QTRY_VERIFY(frame.isNull());
        idle = true;
        QPointer<PMDIChildWnd> other = NewWindow(area, doc, "");
        other->close();
        QTRY_VERIFY(other.isNull());
        PMDIChildWnd::SetStitchIdleQuery({});
    }

    void rulersTakeTheirPlace() {
        QMdiArea area;
        area.resize(800, 600);
        area.show();
        CVandrelDoc doc;
        doc.SetPicture(MakePicture(ptTrueColor24, 2000, 2000, 5));
        PMDIChildWnd* frame = NewWindow(area, doc, "");
        CVandrelView* view = frame->GetView();
        const QSize before = view->size();
        frame->ShowRulers(true);
        QTRY_COMPARE(view->size(), before - QSize(19, 19));
        QVERIFY(view->RulersShown());
        auto* top = frame->findChild<QWidget*>("topRuler");
        QVERIFY(top && top->isVisible());
        // The ruler shows ticks: some pixels differ from its face.
        const QImage ruler = top->grab().toImage();
        int ticks = 0;
        for (int x = 0; x < ruler.width(); ++x)
            if (qGray(ruler.pixel(x, 15)) < 140) ++ticks;  // dark tick lines on the light face
        QVERIFY(ticks > 10);
        frame->ShowRulers(false);
        QTRY_COMPARE(view->size(), before);
    }

    // A picture wider than the document area: the frame is cut at the area's
    // right edge and made a scroll bar taller, so the whole height still
    // shows; fitting again (after a zoom, after a stitch) changes nothing.
    void fitCutAtTheDocumentAreaIsStable() {
        QMdiArea area;
        area.resize(700, 500);
        area.show();
        CVandrelDoc doc;
        doc.SetPicture(MakePicture(ptTrueColor24, 3000, 120, 4));
        PMDIChildWnd* frame = NewWindow(area, doc, "/tmp/wide.png");
        CVandrelView* view = frame->GetView();
        frame->move(0, 0);
        view->FitFrameToPicture();
        QApplication::processEvents();
        const QRect first = frame->geometry();
        QCOMPARE(first.right(), area.viewport()->rect().right());
        QVERIFY(view->horizontalScrollBar()->isVisible());
        QCOMPARE(view->viewport()->height(), 120);
        for (int i = 0; i < 3; ++i) {
            view->FitFrameToPicture();
            QApplication::processEvents();
            QCOMPARE(frame->geometry(), first);
        }
    }
};

QTEST_MAIN(ChildFrameTest)
#include "child_frame_test.moc"
