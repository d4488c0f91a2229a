// End to end under a real X server: a long Auto stitch (a pair of A4 scans
// at 300 dpi) runs while the user works in another document window. The
// other window is picked with the mouse and zoomed with the keyboard while
// the stitch is still running; then the stitch's picture arrives as a new
// document, the same as the command line's.
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "base/job_qt.h"
#include "base/message_box.h"
#include "display/view_qt.h"
#include "document/document_qt.h"
#include "document/import_export.h"
#include "resources/command_ids.h"
#include "shell/app/app_qt.h"
#include "shell/app/main_wnd_qt.h"
#include "stitch/stitch_run.h"
#include "stitch/stitch_sheet_qt.h"
#include "stitch/tests/gui/stitch_app_harness.h"
#include "stitch/tests/stitch_test_support.h"

using stitchapptest::Sample;

namespace {
// An A4 page at 300 dpi, the scanner's bed; the pieces overlap by a fifth.
constexpr int kPageW = 2480, kPageH = 3508, kShared = kPageW / 5;
}  // namespace

class StitchBusyEndToEnd : public QObject {
    Q_OBJECT
    QStringList messages_;

private slots:
    void initTestCase() {
        SetMessageSink([this](const std::string& text) {
            messages_ << QString::fromStdString(text);
            qWarning("message: %s", text.c_str());
        });
        QVERIFY(QTest::qWaitForWindowExposed(theApp()->mainWindow()));
    }

    void zoomAnotherWindowWhileALongStitchRuns() {
        // The window the user works in meanwhile.
        Document* other = theApp()->NewDocumentWithPicture(ReadImageFile(Sample("left.png").toStdString(), false));
        QVERIFY(other);
        other->setModified(false);
        QMdiSubWindow* otherFrame = nullptr;
        for (QMdiSubWindow* w : theApp()->mainWindow()->documentWindows())
            if (w->findChild<CVandrelView*>()->GetDocument() == other) otherFrame = w;
        QVERIFY(otherFrame);
        CVandrelView* otherView = otherFrame->findChild<CVandrelView*>();
        QVERIFY(QTest::qWaitForWindowExposed(otherView->viewport()));

        // Two scans of one page, cut from a textured original.
        auto page = stitchtest::MakeTextured(2 * kPageW - kShared, kPageH, ptTrueColor24, 11);
        auto main = stitchtest::Cut(page.get(), 0, 0, kPageW, kPageH);
        auto rest = stitchtest::Cut(page.get(), kPageW - kShared, 0, kPageW, kPageH);
        StitchRequest alone;
        alone.overlapPercent = 25;
        StitchResult expected = RunStitch(*main, *rest, alone);
        QVERIFY2(expected, expected.message.c_str());

        theApp()->OnCommand(ID_STITCH);
        CStitchSheet* sheet = CurrentStitchSheet();
        QVERIFY(QTest::qWaitForWindowExposed(sheet));
        sheet->page(0)->TakePicture(std::move(main));
        sheet->page(1)->TakePicture(std::move(rest));
        sheet->tabs()->setCurrentIndex(2);
        QTest::mouseClick(sheet->stitchImage()->methodButton(kMethodAuto), Qt::LeftButton);
        sheet->stitchImage()->overlapBar()->setValue(25);
        const int before = int(theApp()->documents().size());
        const int zoom = otherView->Zoom();
        QTest::mouseClick(sheet->stitchButton(), Qt::LeftButton);
        QVERIFY(!Job::runningJobs().isEmpty());

        // The other window, picked with the mouse, zooms in at a key press.
        QTest::mouseClick(otherView->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
        QTRY_COMPARE(theApp()->mainWindow()->mdiArea()->activeSubWindow(), otherFrame);
        QTest::keyClick(otherView, Qt::Key_Plus);
        QTRY_VERIFY(otherView->Zoom() > zoom);
        // ... while the stitch still runs.
        QVERIFY(!Job::runningJobs().isEmpty());
        QCOMPARE(int(theApp()->documents().size()), before);

        QTRY_COMPARE_WITH_TIMEOUT(int(theApp()->documents().size()), before + 1, 120000);
        QVERIFY(Job::runningJobs().isEmpty());
        Document* stitched = theApp()->documents().last();
        QVERIFY(stitched != other);
        QVERIFY(stitchtest::SamePictures(stitched->picture(), expected.picture.get()));
        QTRY_VERIFY(CurrentStitchSheet() == nullptr);
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('|')));
    }
};

int main(int argc, char** argv) { return stitchapptest::RunInApplication<StitchBusyEndToEnd>(argc, argv); }

#include "stitch_busy_e2e_qt.moc"
