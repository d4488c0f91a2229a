// The information sheet over a document area of real document windows: the
// texts and their units, Previous/Next with the beep at the ends, the focus
// rule, the thumbnail by its pixels, and what the System page makes of
// missing facts.
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <memory>

#include "display/display_rows.h"
#include "display/frame_caption.h"
#include "document/document_qt.h"
#include "info/info_commands_qt.h"
#include "info/info_sheet_qt.h"
#include "info/info_texts.h"
#include "picture/bitmap.h"
#include "picture/picture.h"
#include "resources/command_ids.h"
#include "shell/app/doc_template_qt.h"

namespace {

// The colour of pixel (x, y) of the test pictures.
QRgb Colour(int x, int y) { return qRgb((x * 7) & 255, (y * 5) & 255, (x + y) & 255); }

// What a reduction shows for the pixels [x0, x1) x [y0, y1) of Colour.
QColor BlockColour(int x0, int x1, int y0, int y1) {
    std::uint64_t sum[3] = {};
    int lo[3] = {255, 255, 255}, hi[3] = {0, 0, 0};
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const QRgb c = Colour(x, y);
            const int v[3] = {qRed(c), qGreen(c), qBlue(c)};
            for (int k = 0; k < 3; ++k) sum[k] += unsigned(v[k]), lo[k] = std::min(lo[k], v[k]), hi[k] = std::max(hi[k], v[k]);
        }
    const std::uint64_t n = std::uint64_t(x1 - x0) * std::uint64_t(y1 - y0);
    return QColor(display::DetailValue(sum[0], n, lo[0], hi[0]), display::DetailValue(sum[1], n, lo[1], hi[1]),
                  display::DetailValue(sum[2], n, lo[2], hi[2]));
}

std::unique_ptr<CPicture> Gradient(int width, int height, int dpi) {
    auto p = std::make_unique<CDocPicture>();
    // dpi 0: a file that claims 10 pels per metre, which is 0 dpi.
    const std::uint32_t ppm = dpi > 0 ? DpiToPpm(std::uint32_t(dpi)) : 10;
    if (!p->Create(ptTrueColor24, width, height, 0, nullptr, ppm, ppm, kStoreMemory))
        return nullptr;
    std::vector<std::uint8_t> row(std::size_t(width) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const QRgb c = Colour(x, y);
            row[std::size_t(x) * 3] = std::uint8_t(qBlue(c));
            row[std::size_t(x) * 3 + 1] = std::uint8_t(qGreen(c));
            row[std::size_t(x) * 3 + 2] = std::uint8_t(qRed(c));
        }
        p->WriteRow(0, width - 1, y, row.data());
    }
    return p;
}

const QColor kLightGray(192, 192, 192);

}  // namespace

class InfoSheetTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    display::UntitledCounter untitled_;  // the windows' numbers, as the application keeps them
    std::unique_ptr<QMainWindow> main_;
    QMdiArea* area_ = nullptr;
    int beeps_ = 0;
    // The display unit kept for the run, as the Information command keeps it.
    info::DisplayUnitChoice unit_;

    // A document window for a w x h picture at dpi, on top of the others.
    QMdiSubWindow* Open(int w, int h, int dpi) {
        auto* document = new Document;
        document->setPicture(Gradient(w, h, dpi));
        QMdiSubWindow* window = CreateDocumentWindow(document, untitled_);
        area_->addSubWindow(window);
        window->show();
        area_->setActiveSubWindow(window);
        return window;
    }
    QString Text(CDocInfoPage* page, int control) { return page->Text(control)->text(); }
    // Counts the beeps of the sheet's Document page.
    void Count(CInfoSheet& sheet) {
        if (CDocInfoPage* page = sheet.DocumentPage())
            connect(page, &CDocInfoPage::endReached, this, [this] { ++beeps_; });
    }
    QString WidthOf(CDocInfoPage* page) { return Text(page, 205); }

private slots:
    void initTestCase() {
        qputenv("STITCHARA_INI", dir_.filePath("test.ini").toUtf8());
    }

    void init() {
        unit_ = info::DisplayUnitChoice();
        beeps_ = 0;
        main_ = std::make_unique<QMainWindow>();
        area_ = new QMdiArea;
        main_->setCentralWidget(area_);
        main_->resize(1000, 700);
        main_->show();
        QVERIFY(QTest::qWaitForWindowExposed(main_.get()));
    }

    void cleanup() {
        main_.reset();
        area_ = nullptr;
        // The documents go with their windows.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void textsInEachUnit_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("dpi");
        QTest::addColumn<int>("unit");
        QTest::addColumn<QString>("widthText");
        QTest::addColumn<QString>("heightText");
        QTest::newRow("cm") << 600 << 400 << 300 << info::kUnitCm << " 5.1" << " 3.4";
        QTest::newRow("inch") << 600 << 400 << 300 << info::kUnitInch << " 2.0" << " 1.3";
        QTest::newRow("pixel") << 600 << 400 << 300 << info::kUnitPixel << "  600" << "  400";
        // No resolution of its own: shown at the screen's, here 96 dpi.
        QTest::newRow("no dpi, inch") << 192 << 96 << 0 << info::kUnitInch << " 2.0" << " 1.0";
    }
    void textsInEachUnit() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, dpi);
        QFETCH(int, unit);
        QFETCH(QString, widthText);
        QFETCH(QString, heightText);
        QMdiSubWindow* window = Open(width, height, dpi);
        const int screenDpi = qRound(window->screen()->logicalDotsPerInchX());
        if (dpi == 0 && screenDpi != 96) QSKIP("the screen is not 96 dpi");

        CInfoSheet sheet(area_, nullptr, &unit_);
        CDocInfoPage* page = sheet.DocumentPage();
        QVERIFY(page);
        QCOMPARE(page->CurrentWindow(), window);
        // The user picks the unit in the combo.
        page->UnitBox()->setCurrentIndex(unit);
        QCOMPARE(WidthOf(page), widthText);
        QCOMPARE(Text(page, 206), heightText);

        const int shown = dpi >= 1 ? dpi : screenDpi;
        // The window's name as words: the unsaved mark's placeholder is not part of it.
        QVERIFY(!Text(page, 200).contains(QStringLiteral("[*]")));
        QCOMPARE(Text(page, 200), "Filename : " + window->windowTitle().remove(QStringLiteral("[*]")));
        QCOMPARE(Text(page, 201), QStringLiteral("Image Type : 24 bit True Color"));
        QCOMPARE(Text(page, 202), QStringLiteral("Resolution - X : %1 DPI").arg(shown, 3));
        QCOMPARE(Text(page, 208), QStringLiteral("Resolution - Y : %1 DPI").arg(shown, 3));
        const auto stored = DocumentOfWindow(window)->picture()->Store().GetSize();
        QCOMPARE(Text(page, 203), QStringLiteral("Image Size : %1KB").arg(stored / 1024.0, 6, 'f', 1));
    }

    void unitStaysForTheRunAndIsNotSaved() {
        QFile ini(dir_.filePath("test.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Preference]\nUnit=0\n");
        ini.close();
        Open(600, 400, 300);
        {
            CInfoSheet sheet(area_, nullptr, &unit_);
            QCOMPARE(sheet.DocumentPage()->UnitBox()->currentIndex(), int(info::kUnitInch));
            QCOMPARE(WidthOf(sheet.DocumentPage()), QStringLiteral(" 2.0"));
            sheet.DocumentPage()->UnitBox()->setCurrentIndex(info::kUnitCm);
        }
        CInfoSheet again(area_, nullptr, &unit_);
        QCOMPARE(again.DocumentPage()->UnitBox()->currentIndex(), int(info::kUnitCm));
        QCOMPARE(WidthOf(again.DocumentPage()), QStringLiteral(" 5.1"));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QCOMPARE(ini.readAll(), QByteArray("[Preference]\nUnit=0\n"));
    }

    void previousAndNextWalkTheWindowsAndBeepAtTheEnds() {
        unit_.Set(info::kUnitPixel);
        QMdiSubWindow* bottom = Open(100, 10, 300);
        QMdiSubWindow* middle = Open(200, 20, 300);
        QMdiSubWindow* top = Open(300, 30, 300);
        CInfoSheet sheet(area_, nullptr, &unit_);
        Count(sheet);
        CDocInfoPage* page = sheet.DocumentPage();
        QCOMPARE(page->CurrentWindow(), top);
        QVERIFY(!page->PreviousButton()->isEnabled());
        QVERIFY(page->NextButton()->isEnabled());
        QCOMPARE(WidthOf(page), QStringLiteral("  300"));

        QTest::mouseClick(page->NextButton(), Qt::LeftButton);
        QCOMPARE(page->CurrentWindow(), middle);
        QCOMPARE(WidthOf(page), QStringLiteral("  200"));
        QCOMPARE(page->Thumbnail()->Picture(), DocumentOfWindow(middle)->picture());
        QVERIFY(page->PreviousButton()->isEnabled());
        page->OnNext();
        QCOMPARE(page->CurrentWindow(), bottom);
        QVERIFY(!page->NextButton()->isEnabled());
        QCOMPARE(beeps_, 0);

        // Next on the last window beeps and changes nothing.
        const QString title = Text(page, 200);
        QVERIFY(!page->OnNext());
        QCOMPARE(beeps_, 1);
        QCOMPARE(page->CurrentWindow(), bottom);
        QCOMPARE(Text(page, 200), title);
        QCOMPARE(WidthOf(page), QStringLiteral("  100"));

        page->OnPrevious();
        page->OnPrevious();
        QCOMPARE(page->CurrentWindow(), top);
        QVERIFY(!page->OnPrevious());
        QCOMPARE(beeps_, 2);
        // The area's own order is untouched: the sheet only reports.
        QCOMPARE(area_->currentSubWindow(), top);
    }

    void minimisedDocumentsAreWalkedOtherWindowsSkipped() {
        QMdiSubWindow* a = Open(10, 10, 72);
        // A window of the area that holds no document (a print preview).
        QMdiSubWindow* other = area_->addSubWindow(new QLabel(QStringLiteral("preview")));
        other->show();
        QMdiSubWindow* b = Open(20, 20, 72);
        for (QMdiSubWindow* w : area_->subWindowList()) w->showMinimized();
        area_->setActiveSubWindow(b);
        QCOMPARE(area_->subWindowList().size(), 3);

        const QList<QMdiSubWindow*> walk = CDocInfoPage::DocumentWindows(area_);
        QCOMPARE(walk.size(), 2);
        QVERIFY(walk.contains(a) && walk.contains(b) && !walk.contains(other));

        CInfoSheet sheet(area_, nullptr, &unit_);
        CDocInfoPage* page = sheet.DocumentPage();
        QVERIFY(page);
        QMdiSubWindow* first = page->CurrentWindow();
        QVERIFY(first == a || first == b);
        QVERIFY(page->OnNext() || page->OnPrevious());
        QVERIFY(page->CurrentWindow() != first);
        QVERIFY(page->CurrentWindow() == a || page->CurrentWindow() == b);
        QVERIFY(!(page->PreviousButton()->isEnabled() && page->NextButton()->isEnabled()));
    }

    void focusLeavesAButtonThatTurnsGray() {
        Open(10, 10, 72);
        Open(20, 20, 72);
        CInfoSheet sheet(area_, main_.get(), &unit_);
        Count(sheet);
        sheet.show();
        QVERIFY(QTest::qWaitForWindowActive(&sheet));
        CDocInfoPage* page = sheet.DocumentPage();
        page->NextButton()->setFocus();
        QTRY_VERIFY(page->NextButton()->hasFocus());
        QTest::keyClick(page->NextButton(), Qt::Key_Space);
        QVERIFY(!page->NextButton()->isEnabled());
        QVERIFY(page->PreviousButton()->hasFocus());
        QTest::keyClick(page->PreviousButton(), Qt::Key_Space);
        QVERIFY(page->NextButton()->hasFocus());
        QCOMPARE(beeps_, 0);
    }

    void sheetPagesAndButtons() {
        {
            CInfoSheet sheet(area_, nullptr, &unit_);
            QCOMPARE(sheet.Tabs()->count(), 1);
            QCOMPARE(sheet.Tabs()->tabText(0), QStringLiteral("System"));
            QVERIFY(!sheet.DocumentPage());
        }
        Open(10, 10, 72);
        CInfoSheet sheet(area_, nullptr, &unit_);
        QCOMPARE(sheet.windowTitle(), QStringLiteral("Information"));
        QCOMPARE(sheet.Tabs()->count(), 2);
        QCOMPARE(sheet.Tabs()->tabText(0), QStringLiteral("Document"));
        QCOMPARE(sheet.Tabs()->tabText(1), QStringLiteral("System"));
        const QList<QPushButton*> buttons = sheet.findChild<QDialogButtonBox*>()->findChildren<QPushButton*>();
        QCOMPARE(buttons.size(), 1);
        QCOMPARE(buttons.first(), sheet.OkButton());
        QVERIFY(!sheet.SystemPage()->Value(1503)->text().isEmpty());
        QVERIFY(sheet.SystemPage()->Value(1554)->text().endsWith(QStringLiteral(" KB")));
    }

    void systemPageWithMissingFacts() {
        info::SystemFacts facts = info::GatherSystemFacts("/nonexistent/cache");
        facts.swapKnown = false;
        CSysInfoPage page(facts);
        QCOMPARE(page.Value(1543)->text(), QStringLiteral("/nonexistent/cache"));
        QCOMPARE(page.Value(1549)->text(), QStringLiteral("not available"));
        QCOMPARE(page.Value(1554)->text(), QStringLiteral("not available"));
        QCOMPARE(page.Value(1530)->text(), QStringLiteral("not available"));
        QVERIFY(!page.Value(1000));
    }

    void thumbnailPixels_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("factor");
        QTest::newRow("whole") << 100 << 50 << 1;
        QTest::newRow("exact fit") << 188 << 140 << 1;
        QTest::newRow("wide, by 3") << 400 << 100 << 3;
        QTest::newRow("tall, by 5") << 90 << 700 << 5;
        QTest::newRow("beyond the band renderer's reduction") << 6000 << 200 << 32;
    }
    void thumbnailPixels() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, factor);
        QMdiSubWindow* window = Open(width, height, 300);
        CInfoSheet sheet(area_, nullptr, &unit_);
        CThumbnailBox* box = sheet.DocumentPage()->Thumbnail();
        QCOMPARE(box->Picture(), DocumentOfWindow(window)->picture());
        QCOMPARE(box->Factor(), factor);
        const QImage shot = box->grab().toImage();
        const QRect area = box->AreaRect();
        const QRect inner = area.adjusted(2, 2, -2, -2);
        const QRect at = box->PictureRect();
        QCOMPARE(at.size(), QSize((width + factor - 1) / factor, (height + factor - 1) / factor));
        QVERIFY(inner.contains(at));
        // Centred: the gray margins on the two sides differ by at most one.
        QVERIFY(qAbs((at.left() - inner.left()) - (inner.right() - at.right())) <= 1);
        QVERIFY(qAbs((at.top() - inner.top()) - (inner.bottom() - at.bottom())) <= 1);

        if (factor <= 16) {
            // Each pixel shows the factor x factor block from its own corner, unscaled.
            auto block = [&](int x, int y) {
                return BlockColour(x * factor, std::min(width, (x + 1) * factor), y * factor,
                                   std::min(height, (y + 1) * factor));
            };
            for (int y = 0; y < at.height(); y += std::max(1, at.height() / 7))
                for (int x = 0; x < at.width(); x += std::max(1, at.width() / 9))
                    QCOMPARE(QColor(shot.pixel(at.left() + x, at.top() + y)), block(x, y));
            QCOMPARE(QColor(shot.pixel(at.right(), at.bottom())), block(at.width() - 1, at.height() - 1));
        } else {
            // Reduced straight to the thumbnail's size: the left column still
            // starts the picture (blocks as even as whole pixels allow).
            QCOMPARE(QColor(shot.pixel(at.left(), at.top())),
                     BlockColour(0, width / at.width(), 0, height / at.height()));
        }
        // Light gray around the picture inside the area, a black frame.
        if (at.left() > inner.left()) QCOMPARE(QColor(shot.pixel(inner.left(), at.center().y())), kLightGray);
        if (at.top() > inner.top()) QCOMPARE(QColor(shot.pixel(at.center().x(), inner.top())), kLightGray);
        for (QPoint p : {inner.topLeft() - QPoint(1, 1), QPoint(inner.right() + 1, inner.top() - 1),
                         QPoint(inner.left() - 1, inner.bottom() + 1), inner.bottomRight() + QPoint(1, 1),
                         QPoint(inner.left() - 1, at.center().y())})
            QCOMPARE(QColor(shot.pixel(p)), QColor(Qt::black));
        // The bars and their dimension lines with ticks at both ends.
        const int right = area.left() + area.width(), bottom = area.top() + area.height();
        const int midY = area.center().y(), midX = area.center().x();
        QCOMPARE(QColor(shot.pixel(right + 5, midY)), kLightGray);
        QCOMPARE(QColor(shot.pixel(right + 8, midY)), QColor(Qt::black));
        QCOMPARE(QColor(shot.pixel(right + 11, midY)), kLightGray);
        QCOMPARE(QColor(shot.pixel(right + 5, area.top())), QColor(Qt::black));
        QCOMPARE(QColor(shot.pixel(right + 11, bottom - 1)), QColor(Qt::black));
        QCOMPARE(QColor(shot.pixel(midX, bottom + 5)), kLightGray);
        QCOMPARE(QColor(shot.pixel(midX, bottom + 8)), QColor(Qt::black));
        QCOMPARE(QColor(shot.pixel(area.left(), bottom + 11)), QColor(Qt::black));
        QCOMPARE(QColor(shot.pixel(right - 1, bottom + 4)), QColor(Qt::black));
        // Nothing of the bars touches the area's edge.
        QVERIFY(QColor(shot.pixel(right + 1, midY)) != kLightGray);
    }

    // Windows given in place of an area (the in-place frame's): the page
    // walks them in order and leaves out a window whose document is gone;
    // none left, no Document page.
    void givenWindowsInPlaceOfAnArea() {
        QWidget first, second, third;
        first.setWindowTitle("first");
        second.setWindowTitle("second");
        third.setWindowTitle("third");
        Document a, b;
        auto* gone = new Document;
        a.setPicture(Gradient(60, 40, 300));
        b.setPicture(Gradient(30, 20, 150));
        gone->setPicture(Gradient(10, 10, 72));
        const QList<InfoDocumentWindow> windows = {{&first, &a}, {&third, gone}, {&second, &b}};
        delete gone;
        CInfoSheet sheet(windows, nullptr, &unit_);
        Count(sheet);
        CDocInfoPage* page = sheet.DocumentPage();
        QVERIFY(page);
        QCOMPARE(page->CurrentWidget(), &first);
        QVERIFY(!page->CurrentWindow());
        QCOMPARE(page->Thumbnail()->Picture(), a.picture());
        QVERIFY(page->OnNext());
        QCOMPARE(page->CurrentWidget(), &second);
        QCOMPARE(Text(page, 200), QString("Filename : second"));
        QCOMPARE(page->XDpi(), 150);
        QVERIFY(!page->OnNext());
        QCOMPARE(beeps_, 1);

        CInfoSheet none(QList<InfoDocumentWindow>{{&first, nullptr}});
        QVERIFY(!none.DocumentPage());
        QCOMPARE(none.Tabs()->count(), 1);
    }

    void informationCommandOpensTheSheetOverTheArea() {
        Open(600, 400, 300);
        CommandState state;
        state.enabled = false;
        QVERIFY(UpdateInfoCommand(ID_INFORMATION, state));
        QVERIFY(state.enabled);
        QVERIFY(!UpdateInfoCommand(ID_ABOUT, state));
        QVERIFY(!HandleInfoCommand(ID_ABOUT, main_.get()));

        bool seen = false;
        QTimer::singleShot(0, this, [&] {
            auto* sheet = qobject_cast<CInfoSheet*>(QApplication::activeModalWidget());
            QVERIFY(sheet);
            seen = sheet->DocumentPage() != nullptr && sheet->parentWidget() == main_.get();
            QTest::mouseClick(sheet->OkButton(), Qt::LeftButton);
        });
        QVERIFY(HandleInfoCommand(ID_INFORMATION, main_.get()));
        QTRY_VERIFY(seen);  // the sheet opens window-modal and answers later
    }
};

QTEST_MAIN(InfoSheetTest)
#include "info_sheet_test.moc"
