// The stitch sheet, the deskew tool and the stitch tool inside the running
// application, driven by synthetic mouse and key events. Every stitch result
// is compared byte for byte with what stitchara-cli makes of the same choices.
#include <QAbstractButton>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "base/job_qt.h"
#include "base/message_box.h"
#include "base/testing/test_progress_host.h"
#include "display/mouse_tool_qt.h"
#include "display/view_qt.h"
#include "document/document_qt.h"
#include "document/import_export.h"
#include "picture/picture.h"
#include "shell/app/app_qt.h"
#include "shell/app/commands_qt.h"
#include "shell/app/main_wnd_qt.h"
#include "shell/app/status_bar_qt.h"
#include "stitch/deskew_geometry.h"
#include "stitch/deskew_tool_qt.h"
#include "stitch/stitch_app_qt.h"
#include "stitch/stitch_mouse_tool_qt.h"
#include "stitch/stitch_sheet_qt.h"
#include "stitch/tests/gui/stitch_app_harness.h"
#include "stitch/tests/stitch_test_support.h"

using stitchapptest::Bytes;
using stitchapptest::CloseSheetAndDocuments;
using stitchapptest::Sample;
using stitchapptest::SheetWithSamples;

namespace {

std::unique_ptr<CPicture> Load(const QString& path) {
    return ReadImageFile(path.toStdString(), false);
}

}  // namespace

class StitchFlowsTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QStringList messages_;

    // The command line's picture for the same choices, as BMP bytes.
    QByteArray CommandLine(const QStringList& options) {
        return stitchapptest::CommandLineStitch(options, dir_.filePath(QStringLiteral("cli.bmp")));
    }
    QByteArray AsBmp(CPicture* picture) {
        QString out = dir_.filePath(QStringLiteral("app.bmp"));
        QFile::remove(out);
        WriteImageFile(out.toStdString(), picture);
        return Bytes(out);
    }

    int DocumentCount() { return int(theApp()->documents().size()); }


    // Phase 1 click at p1 and phase 2 click at p2 (view client points); the
    // points each picture gets, in its own coordinates, for side Right.
    void Place(CVandrelView* view, QPoint p1, QPoint p2) {
        CStitchMouseTool* tool = StitchMouseTool();
        QWidget* port = view->viewport();
        QTest::mouseMove(port, p1);
        QTest::mouseClick(port, Qt::LeftButton, {}, p1);
        QCOMPARE(tool->state(), 2);
        QTest::mouseMove(port, p2);
        QTest::mouseClick(port, Qt::LeftButton, {}, p2);
    }
    QStringList PointsFor(CVandrelView* view, QPoint p1, QPoint p2, int ov, int wm) {
        QSize b = StitchMouseTool()->blockSize();
        // The block's top-left corner is the reference corner for side Right.
        QPoint r = view->ClientToPicture(p1 - QPoint(b.width() / 2, b.height() / 2));
        QPoint m = view->ClientToPicture(p2 - QPoint(b.width() / 2, b.height() / 2));
        // Strip column s is layout column s + wm - ov; Rest starts at layout column wm.
        return {QStringLiteral("--rest-point"), QString("%1,%2").arg(r.x() - ov).arg(r.y()),
                QStringLiteral("--main-point"), QString("%1,%2").arg(m.x() + wm - ov).arg(m.y())};
    }

private slots:
    void initTestCase() {
        SetMessageSink([this](const std::string& text) {
            messages_ << QString::fromStdString(text);
        });
        QVERIFY(QTest::qWaitForWindowExposed(theApp()->mainWindow()));
    }
    void cleanup() { CloseSheetAndDocuments(); }
    // The application quits with a sheet open: the sheet goes with the main
    // window and must not reach it while it is being destroyed (the
    // sanitized run checks).
    void cleanupTestCase() {
        theApp()->OnCommand(ID_STITCH);
        QVERIFY(CurrentStitchSheet() && CurrentStitchSheet()->isVisible());
    }

    void interactiveMethodsMatchTheCommandLine_data() {
        QTest::addColumn<int>("method");
        QTest::addColumn<QString>("cliMethod");
        QTest::newRow("Manual") << int(kMethodManual) << QStringLiteral("manual");
        QTest::newRow("Semi-Auto") << int(kMethodSemiAuto) << QStringLiteral("semi");
    }
    void interactiveMethodsMatchTheCommandLine() {
        QFETCH(int, method);
        QFETCH(QString, cliMethod);
        CStitchSheet* sheet = SheetWithSamples(method);
        sheet->stitchButton()->click();
        QVERIFY(sheet->isHidden());
        CStitchMouseTool* tool = StitchMouseTool();
        QCOMPARE(CurrentTool(), static_cast<CMouseTool*>(tool));
        QCOMPARE(tool->state(), 1);
        CVandrelView* view = tool->view();
        Document* doc = tool->document();
        QVERIFY(view && doc);
        // The strip: 2 x 150 columns around the seam (25 % of 600).
        QCOMPARE(doc->picture()->GetWidth(), 300);
        int seam = view->PictureToClient(QPoint(150, 0)).x();
        QCOMPARE(tool->clipRect().left, seam);
        QSize b = tool->blockSize();
        // Rest pixel (0, 26) lies on Main pixel (470, 30) in the pair; the
        // block picked there lies wholly on the Rest half.
        QPoint p1 = view->PictureToClient(QPoint(150 + 0, 26)) + QPoint(b.width() / 2, b.height() / 2);
        QPoint p2 = view->PictureToClient(QPoint(150 - 130, 30)) + QPoint(b.width() / 2, b.height() / 2);
        QStringList points = PointsFor(view, p1, p2, 150, 600);
        Place(view, p1, p2);
        QCOMPARE(CurrentTool(), DefaultTool());
        QTRY_VERIFY(CurrentStitchSheet() == nullptr);
        QCOMPARE(theApp()->stitchIdle, 1);
        QVERIFY(doc->isModified());
        QByteArray expected = CommandLine(QStringList{"--method", cliMethod} + points);
        QVERIFY(!expected.isEmpty());
        QCOMPARE(AsBmp(doc->picture()), expected);
    }

    // A strip of 2 x 40 pixels: the block is at most 40 wide, and a block
    // that would stick out of the Rest half is drawn touching its edge. The
    // strip is narrower and shorter than the window: the block stays on it,
    // never on the background beside it (a point outside the pictures).
    void narrowStripKeepsTheBlockInside() {
        theApp()->OnCommand(ID_STITCH);
        CStitchSheet* sheet = CurrentStitchSheet();
        sheet->page(0)->TakePicture(stitchtest::MakeTextured(160, 100));
        sheet->page(1)->TakePicture(stitchtest::MakeTextured(160, 100, ptTrueColor24, 9));
        sheet->tabs()->setCurrentIndex(2);
        sheet->stitchImage()->methodButton(kMethodManual)->click();
        sheet->stitchButton()->click();
        CStitchMouseTool* tool = StitchMouseTool();
        QCOMPARE(tool->document()->picture()->GetWidth(), 80);
        QVERIFY(tool->blockSize().width() <= 40);
        QWidget* port = tool->view()->viewport();
        QPoint stripEnd = tool->view()->PictureToClient(QPoint(80, 100));
        QVERIFY(stripEnd.x() < port->width() && stripEnd.y() < port->height());
        QTest::mouseMove(port, QPoint(port->width() - 1, port->height() - 1));
        CStitchMouseTool::Box block = tool->blockRect();
        QCOMPARE(block.right, stripEnd.x());
        QCOMPARE(block.bottom, stripEnd.y());
        QTest::mouseMove(port, QPoint(0, 0));
        QCOMPARE(tool->blockRect().left, tool->view()->PictureToClient(QPoint(40, 0)).x());
        QCOMPARE(tool->blockRect().top, tool->view()->PictureToClient(QPoint(0, 0)).y());
        QVERIFY(tool->view()->ScrollX() >= tool->originScroll().x());
        // Carried into the Main half, it stays on the strip as well.
        QTest::mouseClick(port, Qt::LeftButton, {}, QPoint(0, 0));
        QCOMPARE(tool->state(), 2);
        QTest::mouseMove(port, QPoint(0, port->height() - 1));
        QCOMPARE(tool->blockRect().left, tool->view()->PictureToClient(QPoint(0, 0)).x());
        QCOMPARE(tool->blockRect().bottom, stripEnd.y());
        QTest::keyClick(tool->view(), Qt::Key_Escape);
    }

    // Auto from the sheet; the next sheet remembers the side and percentage.
    void autoMatchesTheCommandLine() {
        CStitchSheet* first = CurrentStitchSheet();
        QVERIFY(!first);
        theApp()->OnCommand(ID_STITCH);
        QVERIFY(CurrentStitchSheet()->stitchImage()->sideButton(kSideRight)->isChecked());
        QCOMPARE(CurrentStitchSheet()->stitchImage()->overlapPercent(), StitchFeature::Of().lastOverlapPercent);
        CurrentStitchSheet()->close();
        CStitchSheet* sheet = SheetWithSamples(kMethodAuto);
        sheet->stitchImage()->overlapBar()->setValue(30);
        int before = DocumentCount();
        sheet->stitchButton()->click();
        // The stitch runs on a worker thread; its picture comes back as a new document.
        QTRY_COMPARE(DocumentCount(), before + 1);
        Document* doc = theApp()->documents().last();
        QVERIFY(doc->isModified());
        QCOMPARE(AsBmp(doc->picture()), CommandLine({"--overlap", "30"}));
        QTRY_VERIFY(CurrentStitchSheet() == nullptr);
        theApp()->OnCommand(ID_STITCH);
        QCOMPARE(CurrentStitchSheet()->stitchImage()->overlapPercent(), 30);
        QVERIFY(CurrentStitchSheet()->stitchImage()->sideButton(kSideRight)->isChecked());
        CurrentStitchSheet()->close();
        StitchFeature::Of().lastOverlapPercent = 25;
    }

    // Escape while the search runs on its worker (the main window takes it).
    void escapeDuringTheSearchLeavesNoDocument() {
        CStitchSheet* sheet = SheetWithSamples(kMethodAuto);
        int before = DocumentCount();
        messages_.clear();
        // Escape comes as the job starts, before its worker runs: the search
        // of the small sample pair may otherwise end before the key does.
        bool pressed = false;
        connect(Job::monitor(), &JobMonitor::started, this, [&pressed] {
            QVERIFY(theApp()->mainWindow()->statusBar()->shownJob());
            QTest::keyClick(theApp()->mainWindow(), Qt::Key_Escape);
            pressed = true;
        }, Qt::SingleShotConnection);
        sheet->stitchButton()->click();
        QVERIFY(pressed);
        QTRY_VERIFY(sheet->isVisible());
        QVERIFY(!theApp()->mainWindow()->statusBar()->inProgress());
        QCOMPARE(DocumentCount(), before);
        QVERIFY(messages_.isEmpty());
        // The sheet comes back with the pictures, on the Stitch Image page.
        QCOMPARE(CurrentStitchSheet(), sheet);
        QVERIFY(sheet->isVisible());
        QCOMPARE(sheet->tabs()->currentIndex(), 2);
        QVERIFY(sheet->page(0)->picture() && sheet->page(1)->picture());
        QCOMPARE(theApp()->stitchIdle, 0);
    }

    // An Auto stitch the search refuses gives the sheet back as the user
    // prepared it: the same pictures (a turned one, a deskewed one with its
    // undeskewed picture), on the Stitch Image page, and the message is
    // shown over the open sheet. A second try with other settings works.
    void refusedAutoKeepsTheSheet() {
        theApp()->OnCommand(ID_STITCH);
        CStitchSheet* sheet = CurrentStitchSheet();
        sheet->page(0)->TakePicture(stitchtest::MakeTextured(200, 160, ptTrueColor24, 3));
        sheet->page(1)->TakePicture(stitchtest::MakeTextured(160, 200, ptTrueColor24, 51));
        QVERIFY(sheet->page(1)->Rotate(ID_PAGE_ROTATE_RIGHT));
        CPicture* undeskewed = sheet->page(0)->picture();
        sheet->ReplacePicture(undeskewed, stitchtest::MakeTextured(200, 160, ptTrueColor24, 4));
        CPicture* main = sheet->page(0)->picture();
        CPicture* rest = sheet->page(1)->picture();
        QCOMPARE(sheet->page(0)->beforeDeskew(), undeskewed);
        sheet->tabs()->setCurrentIndex(2);
        sheet->stitchImage()->methodButton(kMethodAuto)->click();
        QCOMPARE(sheet->stitchImage()->method(), int(kMethodAuto));
        const int before = DocumentCount();
        bool shownOverSheet = false;
        SetMessageSink([&](const std::string& text) {
            messages_ << QString::fromStdString(text);
            shownOverSheet = CurrentStitchSheet() == sheet && sheet->isVisible() &&
                             sheet->tabs()->currentIndex() == 2;
        });
        messages_.clear();
        sheet->stitchButton()->click();
        QTRY_COMPARE(messages_.size(), 1);
        SetMessageSink([this](const std::string& text) { messages_ << QString::fromStdString(text); });
        QVERIFY2(shownOverSheet, qPrintable(messages_.join('|')));
        QCOMPARE(DocumentCount(), before);
        QTest::qWait(20);  // nothing is destroyed later either
        QCOMPARE(CurrentStitchSheet(), sheet);
        QVERIFY(sheet->isVisible());
        QCOMPARE(theApp()->stitchIdle, 0);
        QCOMPARE(sheet->page(0)->picture(), main);
        QCOMPARE(sheet->page(0)->beforeDeskew(), undeskewed);
        QCOMPARE(sheet->page(1)->picture(), rest);
        QCOMPARE(rest->GetWidth(), 200);
        QVERIFY(sheet->stitchButton()->isEnabled());
        // Gray commands stay gray while the sheet is open.
        QVERIFY(!theApp()->commands()->state(ID_OPEN).enabled);
        sheet->close();
    }

    // Escape during the compose (Manual) or the search (Semi-Auto) that the
    // second click starts: the strip goes unmodified, no document stays, no
    // message is shown.
    void escapeDuringThePlacedStitch_data() { interactiveMethodsMatchTheCommandLine_data(); }
    void escapeDuringThePlacedStitch() {
        QFETCH(int, method);
        int before = DocumentCount();
        CStitchSheet* sheet = SheetWithSamples(method);
        sheet->stitchButton()->click();
        CStitchMouseTool* tool = StitchMouseTool();
        CVandrelView* view = tool->view();
        QSize b = tool->blockSize();
        QPoint p1 = view->PictureToClient(QPoint(150, 26)) + QPoint(b.width() / 2, b.height() / 2);
        QPoint p2 = view->PictureToClient(QPoint(20, 30)) + QPoint(b.width() / 2, b.height() / 2);
        QPointer<Document> strip = tool->document();
        messages_.clear();
        {
            TestProgressHost host;
            host.escapeFromCall = 1;
            Place(view, p1, p2);
            QVERIFY(host.escapeTaken);
            QCOMPARE(host.begins, host.ends);
        }
        QCOMPARE(CurrentTool(), DefaultTool());
        QTRY_VERIFY(strip.isNull());
        QCOMPARE(DocumentCount(), before);
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('|')));
        QCOMPARE(theApp()->stitchIdle, 1);
    }

    // Escape while the block is carried: the strip stays an ordinary,
    // unmodified document, the sheet stays hidden, and a new sheet can open.
    // Before that, a click in another view does nothing for the placement.
    void escapeAndOtherViewsLeaveThePlacement() {
        Document* other = theApp()->NewDocumentWithPicture(Load(Sample("right.png")));
        other->setModified(false);
        CStitchSheet* sheet = SheetWithSamples(kMethodManual);
        sheet->stitchButton()->click();
        CStitchMouseTool* tool = StitchMouseTool();
        CVandrelView* view = tool->view();
        Document* strip = tool->document();
        QMdiSubWindow* otherFrame = nullptr;
        for (QMdiSubWindow* w : theApp()->mainWindow()->documentWindows())
            if (w->findChild<CVandrelView*>()->GetDocument() == other) otherFrame = w;
        QVERIFY(otherFrame);
        CVandrelView* otherView = otherFrame->findChild<CVandrelView*>();
        PointL before = tool->restPoint();
        QTest::mouseClick(otherView->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        QTest::mouseClick(otherView->viewport(), Qt::LeftButton, {}, QPoint(25, 25));
        QCOMPARE(tool->restPoint(), before);
        QVERIFY(tool->state() != 2);
        QVERIFY(!other->isModified());
        // Back in the strip's window the placement starts again.
        theApp()->mainWindow()->mdiArea()->setActiveSubWindow(FrameOf(view));
        QTRY_COMPARE(tool->state(), 1);
        QPoint p1 = QPoint(tool->clipRect().left + 60, 60);
        QTest::mouseMove(view->viewport(), p1);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, p1);
        QCOMPARE(tool->state(), 2);
        QTest::keyClick(view, Qt::Key_Escape);
        QCOMPARE(CurrentTool(), DefaultTool());
        QCOMPARE(tool->state(), 0);
        QVERIFY(theApp()->documents().contains(strip));
        QVERIFY(!strip->isModified());
        QCOMPARE(strip->picture()->GetWidth(), 300);
        QVERIFY(CurrentStitchSheet() && CurrentStitchSheet()->isHidden());
        QCOMPARE(theApp()->stitchIdle, 1);
        theApp()->OnCommand(ID_STITCH);
        QVERIFY(CurrentStitchSheet() && CurrentStitchSheet()->isVisible());
        CurrentStitchSheet()->close();
    }

    // A deskew straightens the page's picture as the deskew computation
    // does; a second one starts from the undeskewed picture, and finishing
    // it without a tilt brings that picture back.
    void deskewTwice() {
        theApp()->OnCommand(ID_STITCH);
        CStitchSheet* sheet = CurrentStitchSheet();
        sheet->page(0)->TakePicture(Load(Sample("left.png")));
        CPicture* original = sheet->page(0)->picture();
        sheet->tabs()->setCurrentIndex(2);
        int before = DocumentCount();
        sheet->stitchImage()->deskewButton(0)->click();
        CDeskewTool* tool = DeskewTool();
        QCOMPARE(CurrentTool(), static_cast<CMouseTool*>(tool));
        QVERIFY(sheet->isHidden());
        QCOMPARE(DocumentCount(), before + 1);
        CVandrelView* view = tool->view();
        QWidget* port = view->viewport();
        QCOMPARE(tool->a().x(), tool->b().x());
        // Drag thumb A 40 pixels to the right.
        QPoint a = view->PictureToClient(tool->a());
        QTest::mouseMove(port, a + QPoint(3, 3));
        QCOMPARE(tool->grabbed(), 1);
        QTest::mousePress(port, Qt::LeftButton, {}, a + QPoint(3, 3));
        QTest::mouseMove(port, a + QPoint(43, 3));
        QTest::mouseRelease(port, Qt::LeftButton, {}, a + QPoint(43, 3));
        QPoint na = tool->a(), nb = tool->b();
        QCOMPARE(na, view->ClientToPicture(a + QPoint(43, 3)));
        QTest::mouseClick(port, Qt::RightButton, {}, QPoint(5, 5));
        QCOMPARE(CurrentTool(), DefaultTool());
        QVERIFY(sheet->isVisible());
        QTRY_COMPARE(DocumentCount(), before);
        QCOMPARE(sheet->page(0)->beforeDeskew(), original);
        std::unique_ptr<CPicture> expected(DeskewPicture(original, na.x(), na.y(), nb.x(), nb.y()));
        QCOMPARE(AsBmp(sheet->page(0)->picture()), AsBmp(expected.get()));

        sheet->stitchImage()->deskewButton(0)->click();
        QCOMPARE(tool->view()->GetPicture()->GetWidth(), original->GetWidth());
        QTest::mouseClick(tool->view()->viewport(), Qt::RightButton, {}, QPoint(5, 5));
        QTRY_COMPARE(DocumentCount(), before);
        QCOMPARE(sheet->page(0)->picture(), original);
        QVERIFY(!sheet->page(0)->beforeDeskew());
        sheet->close();
    }
};

int main(int argc, char** argv) { return stitchapptest::RunInApplication<StitchFlowsTest>(argc, argv); }

#include "stitch_flows_test.moc"
