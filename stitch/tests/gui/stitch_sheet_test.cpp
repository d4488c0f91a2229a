// The stitch sheet on its own: remembered choices, the method rule, the
// pages' pictures through swap, rotate, deskew hand-over and import, and the
// overlap preview.
#include <QAbstractButton>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "stitch/deskew_tool_qt.h"
#include "stitch/stitch_app_qt.h"
#include "stitch/stitch_mouse_tool_qt.h"
#include "stitch/stitch_sheet_qt.h"
#include "stitch/tests/stitch_test_support.h"

using stitchtest::MakePicture;
using stitchtest::MakeTextured;

class StitchSheetTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    static QString Text(QWidget* w, const char* name) {
        return w->findChild<QLabel*>(QString::fromLatin1(name))->text();
    }

private slots:
    void initTestCase() {
        qputenv("STITCHARA_INI", dir_.filePath(QStringLiteral("stitchara.ini")).toUtf8());
    }

    void remembersTheLastChoices() {
        auto* first = OpenStitchSheet(nullptr);
        QCOMPARE(StitchIdle(), 0);
        QVERIFY(first->stitchImage()->sideButton(kSideRight)->isChecked());
        QCOMPARE(first->stitchImage()->overlapBar()->value(), 25);
        first->page(0)->TakePicture(MakeTextured(200, 120));
        first->page(1)->TakePicture(MakeTextured(180, 120));
        QVERIFY(first->stitchButton()->isEnabled());
        first->stitchImage()->sideButton(kSideTop)->click();
        first->stitchImage()->overlapBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(first->stitchImage()->overlapPercent(), 44);
        // Closing without stitching remembers nothing.
        first->cancelButton()->click();
        QCOMPARE(StitchIdle(), 1);
        QTRY_VERIFY(CurrentStitchSheet() == nullptr);
        auto* second = OpenStitchSheet(nullptr);
        QVERIFY(second->stitchImage()->sideButton(kSideRight)->isChecked());
        QCOMPARE(second->stitchImage()->overlapPercent(), 25);
        second->page(0)->TakePicture(MakeTextured(200, 120));
        second->page(1)->TakePicture(MakeTextured(200, 110));
        second->stitchImage()->SetSide(kSideBottom);
        second->stitchImage()->SetOverlapPercent(7);
        second->stitchButton()->click();
        // The search refuses these two (on its worker): the sheet comes back as it was.
        QTRY_VERIFY(second->isVisible());
        QCOMPARE(CurrentStitchSheet(), second);
        second->close();
        QTRY_VERIFY(CurrentStitchSheet() == nullptr);
        auto* third = OpenStitchSheet(nullptr);
        QVERIFY(third->stitchImage()->sideButton(kSideBottom)->isChecked());
        QCOMPARE(third->stitchImage()->overlapBar()->value(), 7);
        third->close();
        StitchFeature::Of().lastSide = kSideRight;
        StitchFeature::Of().lastOverlapPercent = 25;
    }

    void searchMethodsFollowThePictures_data() {
        QTest::addColumn<int>("mainType");
        QTest::addColumn<int>("restType");
        QTest::addColumn<QSize>("main");
        QTest::addColumn<QSize>("rest");
        QTest::addColumn<int>("side");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("heights differ by 4 %") << int(ptTrueColor24) << int(ptTrueColor24)
                                               << QSize(600, 400) << QSize(600, 416) << 2 << false;
        QTest::newRow("same sizes, Top compares widths")
            << int(ptTrueColor24) << int(ptTrueColor24) << QSize(600, 400) << QSize(600, 416)
            << 1 << true;
        QTest::newRow("rest gray, main colour") << int(ptTrueColor24) << int(ptGray256)
                                                << QSize(300, 200) << QSize(300, 200) << 0 << true;
        QTest::newRow("main 256 colours") << int(ptColor256) << int(ptTrueColor24)
                                          << QSize(300, 200) << QSize(300, 200) << 2 << false;
    }
    void searchMethodsFollowThePictures() {
        QFETCH(int, mainType);
        QFETCH(int, restType);
        QFETCH(QSize, main);
        QFETCH(QSize, rest);
        QFETCH(int, side);
        QFETCH(bool, allowed);
        CStitchSheet sheet;
        CStitchImage* page = sheet.stitchImage();
        page->SetMethod(kMethodAuto);
        sheet.page(0)->TakePicture(MakePicture(mainType, main.width(), main.height()));
        sheet.page(1)->TakePicture(MakePicture(restType, rest.width(), rest.height()));
        sheet.tabs()->setCurrentIndex(2);
        page->SetSide(side);
        page->methodButton(kMethodAuto)->click();  // does nothing when disabled
        QCOMPARE(page->methodButton(kMethodSemiAuto)->isEnabled(), allowed);
        QCOMPARE(page->methodButton(kMethodAuto)->isEnabled(), allowed);
        QCOMPARE(page->method(), allowed ? int(kMethodAuto) : int(kMethodManual));
        QVERIFY(page->methodButton(page->method())->isChecked());
        QVERIFY(page->deskewButton(0)->isEnabled() && page->deskewButton(1)->isEnabled());
    }

    // Swap twice restores both pages with their undeskewed pictures; a
    // deskew hand-over keeps the first undeskewed picture, and finishing
    // without a tilt brings it back.
    void picturesMoveBetweenPages() {
        CStitchSheet sheet;
        sheet.page(0)->TakePicture(MakeTextured(60, 40));
        sheet.page(1)->TakePicture(MakeTextured(50, 40));
        CPicture* original = sheet.page(0)->picture();
        auto first = MakeTextured(62, 44);
        CPicture* firstPtr = first.get();
        sheet.ReplacePicture(original, std::move(first));
        QCOMPARE(sheet.page(0)->picture(), firstPtr);
        QCOMPARE(sheet.page(0)->beforeDeskew(), original);
        // A second deskew starts from the undeskewed picture.
        auto second = MakeTextured(64, 46);
        CPicture* secondPtr = second.get();
        sheet.ReplacePicture(original, std::move(second));
        QCOMPARE(sheet.page(0)->picture(), secondPtr);
        QCOMPARE(sheet.page(0)->beforeDeskew(), original);
        CPicture* rest = sheet.page(1)->picture();
        sheet.stitchImage()->swapBox()->click();
        QCOMPARE(sheet.page(1)->picture(), secondPtr);
        QCOMPARE(sheet.page(1)->beforeDeskew(), original);
        QCOMPARE(sheet.page(0)->picture(), rest);
        sheet.stitchImage()->swapBox()->click();
        QCOMPARE(sheet.page(0)->picture(), secondPtr);
        QCOMPARE(sheet.page(0)->beforeDeskew(), original);
        sheet.ReplacePicture(original, nullptr);
        QCOMPARE(sheet.page(0)->picture(), original);
        QVERIFY(!sheet.page(0)->beforeDeskew());
        QCOMPARE(Text(sheet.page(0), "sizeValue"), QStringLiteral("60 x 40"));
    }

    void rotateMenuTurnsThePicture() {
        CStitchSheet sheet;
        CStitchPage* page = sheet.page(1);
        QVERIFY(!page->rotateButton()->isEnabled());
        page->TakePicture(MakeTextured(30, 20));
        sheet.ReplacePicture(page->picture(), MakeTextured(31, 21));
        QVERIFY(page->rotateButton()->isEnabled());
        QList<QAction*> actions = page->rotateMenu()->actions();
        QCOMPARE(actions.size(), 3);
        QCOMPARE(actions[0]->text(), QStringLiteral("Rotate Clockwise 90"));
        QVERIFY(!actions[0]->icon().isNull());
        // Clockwise: the bottom-left pixel becomes the top-left one.
        std::uint8_t before[3], after[3];
        page->picture()->ReadRow(0, 0, 20, before);
        actions[0]->trigger();
        QCOMPARE(page->picture()->GetWidth(), 21);
        QCOMPARE(page->picture()->GetHeight(), 31);
        page->picture()->ReadRow(0, 0, 0, after);
        QCOMPARE(QByteArray((char*)after, 3), QByteArray((char*)before, 3));
        QVERIFY(!page->beforeDeskew());
        QCOMPARE(Text(page, "sizeValue"), QStringLiteral("21 x 31"));
        QCOMPARE(Text(page, "resolutionValue"), QStringLiteral("300 DPI"));
    }

    void importGoesThroughTheFileDialog() {
        CStitchSheet sheet;
        sheet.show();
        QString file = qEnvironmentVariable("STITCHARA_SOURCE_DIR") + "/samples/right.png";
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QVERIFY(!sheet.isEnabled());
            dialog->selectFile(file);
            static_cast<QDialog*>(dialog)->accept();
        });
        sheet.page(0)->importButton()->click();
        QTRY_VERIFY(sheet.isEnabled());  // the dialog answers from the event loop
        QVERIFY(sheet.page(0)->picture());
        QCOMPARE(Text(sheet.page(0), "typeValue"), QStringLiteral("24 bit True Color"));
        QCOMPARE(Text(sheet.page(0), "sizeValue"), QStringLiteral("530 x 590"));
        QVERIFY(!sheet.stitchButton()->isEnabled());
    }

    // Each thumbnail shows the other picture's outline by inverting the
    // pixels under it; for side Right the outline in the Main thumbnail
    // starts the overlap's width before the thumbnail's right edge.
    void overlapPreviewInvertsTheOutline() {
        CStitchSheet sheet;
        sheet.page(0)->TakePicture(MakeTextured(424, 512));
        sheet.page(1)->TakePicture(MakeTextured(212, 256));
        CStitchImage* page = sheet.stitchImage();
        sheet.nextButton()->click();
        sheet.nextButton()->click();
        QCOMPARE(sheet.tabs()->currentWidget(), page);
        CThumbnailFrame* thumb = page->mainThumbnail();
        QRect area = thumb->Area();
        QCOMPARE(area.size(), QSize(106, 128));
        // Main factor 4, thumbnail 106 x 128 at (1, 1); overlap 25 %: 27 pixels.
        OverlapPreview p = ComputeOverlapPreview(kSideRight, 25, 424, 512, 212, 256, area);
        QCOMPARE(p.mainOutline, QRect(107 - 27 - 1, 33 - 1, 53 + 2, 64 + 2));
        QCOMPARE(thumb->Outline(), p.mainOutline);
        QImage with = thumb->Render();
        thumb->SetOutline({});
        QImage without = thumb->Render();
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) {
                bool edge = p.mainOutline.contains(x, y) &&
                            !p.mainOutline.adjusted(1, 1, -1, -1).contains(x, y);
                QRgb a = with.pixel(x, y), b = without.pixel(x, y);
                QCOMPARE(a, edge ? (b ^ 0x00FFFFFF) : b);
            }
        // Moving the bar moves the outline; Left mirrors Right.
        page->overlapBar()->setValue(50);
        QCOMPARE(page->overlapPercent(), 50);
        OverlapPreview left = ComputeOverlapPreview(kSideLeft, 50, 424, 512, 212, 256, area);
        OverlapPreview right = ComputeOverlapPreview(kSideRight, 50, 424, 512, 212, 256, area);
        QCOMPARE(left.mainOutline.right() - 1, 107 - (right.mainOutline.left() + 1));
        QCOMPARE(page->mainThumbnail()->Outline(), right.mainOutline);
    }

    // A thumb is grabbed only strictly within 4 pixels of its centre, A first.
    void deskewThumbHitTest_data() {
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<int>("grabbed");
        QTest::newRow("3 off A") << QPoint(103, 47) << 1;
        QTest::newRow("4 off A in x") << QPoint(104, 50) << 0;
        QTest::newRow("4 off A in y") << QPoint(100, 46) << 0;
        QTest::newRow("near B") << QPoint(97, 102) << 2;
        QTest::newRow("near both, A wins") << QPoint(100, 50) << 1;
    }
    void deskewThumbHitTest() {
        QFETCH(QPoint, point);
        QFETCH(int, grabbed);
        QPoint b = point == QPoint(100, 50) ? QPoint(101, 51) : QPoint(100, 100);
        QCOMPARE(CDeskewTool::HitTest(point, QPoint(100, 50), b), grabbed);
    }

    // Autoscroll steps for a block 120 wide in a confinement 0..600: two
    // steps within a sixth of the block of an edge, one within a third.
    void stitchAutoScrollSteps_data() {
        QTest::addColumn<int>("p");
        QTest::addColumn<int>("step");
        QTest::newRow("right edge") << 599 << 2;
        QTest::newRow("a sixth from the right") << 580 << 1;
        QTest::newRow("past a sixth") << 581 << 2;
        QTest::newRow("a third from the right") << 560 << 0;
        QTest::newRow("inside a third") << 561 << 1;
        QTest::newRow("middle") << 300 << 0;
        QTest::newRow("a third from the left") << 40 << 0;
        QTest::newRow("inside a third left") << 39 << -1;
        QTest::newRow("a sixth from the left") << 20 << -1;
        QTest::newRow("left edge") << 0 << -2;
    }
    void stitchAutoScrollSteps() {
        QFETCH(int, p);
        QFETCH(int, step);
        QCOMPARE(CStitchMouseTool::AutoScrollStep(p, 0, 600, 120), step);
    }
};

QTEST_MAIN(StitchSheetTest)
#include "stitch_sheet_test.moc"
