// What the stitch sheet and the placement tell the user, in the running
// application: the overlap's value, the pictures already open offered on
// the image pages, why a control is gray, what a stitch found, and the
// placement's instruction at each step with the pointer left where the user
// clicked.
#include <QAbstractButton>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QtTest>

#include <vector>

#include "display/mouse_tool_qt.h"
#include "display/view_qt.h"
#include "info/info_sheet_qt.h"
#include "document/document_qt.h"
#include "document/import_export.h"
#include "picture/picture.h"
#include "resources/command_ids.h"
#include "resources/string_ids.h"
#include "resources/strings.h"
#include "shell/app/app_qt.h"
#include "shell/app/main_wnd_qt.h"
#include "shell/app/status_bar_qt.h"
#include "shell/app/tests/gui/run_in_application.h"
#include "stitch/stitch_mouse_tool_qt.h"
#include "stitch/stitch_sheet_qt.h"
#include "stitch/tests/gui/stitch_app_harness.h"
#include "stitch/tests/stitch_test_support.h"

namespace {

using stitchapptest::Sample;
using stitchapptest::SheetWithSamples;

QString Prompt() { return theApp()->mainWindow()->statusBar()->promptText(); }
QString Text(int id) { return QString::fromUtf8(LoadStringById(id)); }

bool SameRows(CPicture& a, CPicture& b) {
    if (a.GetType() != b.GetType() || a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) return false;
    std::vector<std::uint8_t> ra(a.GetRowBytes()), rb(b.GetRowBytes());
    for (int y = 0; y < a.GetHeight(); y += 37) {
        a.ReadRow(0, a.GetWidth() - 1, y, ra.data());
        b.ReadRow(0, b.GetWidth() - 1, y, rb.data());
        if (ra != rb) return false;
    }
    return true;
}

}  // namespace

class StitchGuidanceTest : public QObject {
    Q_OBJECT

    CStitchSheet* OpenSheet() {
        theApp()->OnCommand(ID_STITCH);
        return CurrentStitchSheet();
    }

private slots:
    void initTestCase() {
        QVERIFY2(QFile::exists(Sample("left.png")), "no sample pictures: set STITCHARA_SOURCE_DIR (ctest does)");
        // A message would wait for an answer: it fails the test instead.
        theApp()->setMessageHandler([](const QString& text) { QFAIL(qPrintable(text)); });
    }
    void cleanup() { stitchapptest::CloseSheetAndDocuments(); }

    // The overlap's per cent beside its bar; a picture open in the main
    // window taken onto a page as a copy of its own.
    void sheetShowsOverlapAndTakesOpenPictures() {
        CStitchSheet* sheet = OpenSheet();
        QVERIFY(sheet);
        CStitchImage* image = sheet->stitchImage();
        QCOMPARE(image->overlapValue()->text(), QStringLiteral("%1 %").arg(image->overlapPercent()));
        image->overlapBar()->setValue(40);
        QCOMPARE(image->overlapValue()->text(), QStringLiteral("40 %"));
        image->overlapBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(image->overlapValue()->text(), QStringLiteral("41 %"));
        // Nothing open: gray, and it says why.
        QPushButton* take = sheet->page(0)->openPictureButton();
        QVERIFY(!take->isEnabled());
        QVERIFY(!take->toolTip().isEmpty());
        sheet->Destroy();
        QTRY_COMPARE(theApp()->stitchIdle, 1);

        // Files are read in the background: the window comes when it is read.
        Document* doc = nullptr;
        bool opened = false;
        theApp()->OpenDocumentFile(Sample("left.png"), [&](Document* d) {
            doc = d;
            opened = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(opened, 120000);
        QVERIFY(doc && doc->picture());
        sheet = OpenSheet();
        QVERIFY(QTest::qWaitForWindowExposed(sheet));
        for (int page : {0, 1}) {
            take = sheet->page(page)->openPictureButton();
            QVERIFY(take->isEnabled());
            QMenu* menu = sheet->page(page)->openPictureMenu();
            emit menu->aboutToShow();
            QCOMPARE(menu->actions().size(), 1);
            QVERIFY2(menu->actions()[0]->text().contains(QStringLiteral("left.png")),
                     qPrintable(menu->actions()[0]->text()));
            menu->actions()[0]->trigger();
            CPicture* taken = sheet->page(page)->picture();
            QVERIFY(taken && taken != doc->picture());
            QVERIFY(SameRows(*taken, *doc->picture()));
        }
        // Both pages hold a picture: "&Stitch" is there, with no excuse.
        QVERIFY(sheet->stitchButton()->isEnabled());
        QVERIFY(sheet->stitchButton()->toolTip().isEmpty());
        // The open picture stays as it was when the page's copy turns.
        QVERIFY(sheet->page(0)->Rotate(ID_PAGE_ROTATE_RIGHT));
        QCOMPARE(doc->picture()->GetWidth(), 600);
    }

    // Semi-Auto and Auto gray: the tool tip gives the engine's reason, as
    // the command line does; with pictures that fit they are back and say
    // nothing.
    void grayMethodsSayWhy() {
        CStitchSheet* sheet = OpenSheet();
        sheet->page(0)->TakePicture(stitchtest::MakeTextured(200, 100));
        sheet->page(1)->TakePicture(stitchtest::MakeTextured(200, 120, ptTrueColor24, 9));
        sheet->tabs()->setCurrentIndex(2);
        QAbstractButton* autoButton = sheet->stitchImage()->methodButton(kMethodAuto);
        QAbstractButton* semi = sheet->stitchImage()->methodButton(kMethodSemiAuto);
        QVERIFY(!autoButton->isEnabled() && !semi->isEnabled());
        for (QAbstractButton* b : {autoButton, semi}) {
            QVERIFY2(b->toolTip().contains(QStringLiteral("4%")) && b->toolTip().contains(QStringLiteral("height")),
                     qPrintable(b->toolTip()));
        }
        // Top: the widths are compared, and they are the same.
        sheet->stitchImage()->SetSide(kSideTop);
        QVERIFY(autoButton->isEnabled());
        QVERIFY(autoButton->toolTip().isEmpty());
    }

    // After an Auto stitch the status bar says what was found, in the
    // command line's words.
    void autoStitchReportsWhatItFound() {
        CStitchSheet* sheet = SheetWithSamples(kMethodAuto);
        sheet->stitchImage()->overlapBar()->setValue(30);
        sheet->stitchButton()->click();
        QTRY_COMPARE(int(theApp()->documents().size()), 1);
        QVERIFY2(Prompt().startsWith(QStringLiteral("stitched: overlap ")) &&
                     Prompt().contains(QStringLiteral("match quality")),
                 qPrintable(Prompt()));

        // The result's Information page keeps saying it; a picture opened
        // from a file, now the active window, says nothing of a stitch.
        const QString found = Prompt();
        Document* stitched = theApp()->documents().first();
        QVERIFY(theApp()->OpenDocumentFile(Sample("left.png")));
        QTRY_COMPARE(int(theApp()->documents().size()), 2);
        QTRY_VERIFY(theApp()->activeDocument() && theApp()->activeDocument() != stitched &&
                    !theApp()->activeDocument()->busy());
        CInfoSheet info(theApp()->mainWindow()->mdiArea());
        CDocInfoPage* page = info.DocumentPage();
        QVERIFY(page);
        QVERIFY(page->FindingGroup()->isHidden());
        QVERIFY(page->FindingText()->text().isEmpty());
        QVERIFY(page->OnNext());
        QCOMPARE(page->FindingText()->text(), found);
        QVERIFY(!page->FindingGroup()->isHidden());
    }

    // Semi-Auto placement: each step's instruction in the status bar; the
    // first click leaves the pointer where it is; the end reports the find.
    void placementGuidesAndLeavesThePointer() {
        CStitchSheet* sheet = SheetWithSamples(kMethodSemiAuto);
        sheet->stitchImage()->overlapBar()->setValue(25);
        sheet->stitchButton()->click();
        CStitchMouseTool* tool = StitchMouseTool();
        QCOMPARE(tool->state(), 1);
        QCOMPARE(Prompt(), Text(IDS_STITCH_PICK_PROMPT));
        CVandrelView* view = tool->view();
        QWidget* port = view->viewport();
        const QSize b = tool->blockSize();
        const QPoint half(b.width() / 2, b.height() / 2);
        // Rest pixel (0, 26) lies on Main pixel (470, 30); the strip has 150
        // columns of each picture.
        const QPoint p1 = view->PictureToClient(QPoint(150 + 0, 26)) + half;
        const QPoint p2 = view->PictureToClient(QPoint(150 - 130, 30)) + half;
        const QPoint global = port->mapToGlobal(view->ClientToLogical(p1).toPoint());
        QCursor::setPos(global);
        QTest::mouseMove(port, view->ClientToLogical(p1).toPoint());
        QTest::mouseClick(port, Qt::LeftButton, {}, view->ClientToLogical(p1).toPoint());
        QCOMPARE(tool->state(), 2);
        QCOMPARE(QCursor::pos(), global);
        QCOMPARE(Prompt(), Text(IDS_STITCH_PLACE_PROMPT));
        QTest::mouseMove(port, view->ClientToLogical(p2).toPoint());
        QTest::mouseClick(port, Qt::LeftButton, {}, view->ClientToLogical(p2).toPoint());
        QTRY_COMPARE(CurrentTool(), DefaultTool());
        QVERIFY2(Prompt().startsWith(QStringLiteral("stitched: overlap ")), qPrintable(Prompt()));
    }
};

int main(int argc, char** argv) { return apptest::RunInApplication<StitchGuidanceTest>(argc, argv); }

#include "stitch_guidance_test.moc"
