// Poster printing in the print sheet and the preview, driven with mouse and
// key events: the Poster choice on the Rescale page, the grid in the Layout
// box, the preview paging through the sheets, a print of every sheet and a
// poster of too many sheets asked for.
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

#include "base/message_box.h"
#include "document/document.h"
#include "picture/picture.h"
#include "print/print_commands_qt.h"
#include "print/print_sheet_qt.h"
#include "resources/command_ids.h"

namespace {

std::function<void(CPrintSheet*)> gOnSheet;

void SheetHook(CPrintSheet* sheet) {
    QPointer<CPrintSheet> guard(sheet);
    QTimer::singleShot(0, sheet, [guard] {
        if (guard && gOnSheet) gOnSheet(guard);
    });
}

template <class W>
W* Child(QObject* parent, const char* name) {
    W* w = parent->findChild<W*>(QString::fromLatin1(name));
    if (!w) qWarning("no child %s", name);
    return w;
}

// A click where the control takes it: a check box on its box, others in the middle.
void Click(QWidget* w) {
    const QPoint at = qobject_cast<QCheckBox*>(w) ? QPoint(8, w->height() / 2) : w->rect().center();
    QTest::mouseClick(w, Qt::LeftButton, {}, at);
}

// Replaces an edit's text as typed, then Tab to the next control (Enter
// would close the sheet with its default button).
void Type(QLineEdit* edit, const QString& text) {
    edit->window()->activateWindow();
    if (!QTest::qWaitForWindowActive(edit->window())) qWarning("the window did not become active");
    Click(edit);
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Tab);
}

void Keep(QWidget* widget, const char* name) {
    const QString dir = qEnvironmentVariable("STITCHARA_BUILD_DIR") + QStringLiteral("/artefacts");
    QDir().mkpath(dir);
    widget->grab().save(dir + QStringLiteral("/%1.png").arg(QLatin1String(name)));
}

int PdfPages(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return 0;
    return int(QString::fromLatin1(f.readAll()).count(QRegularExpression(QStringLiteral("/Type\\s*/Page[^s]"))));
}

PPreviewView* ThePreview() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* p = qobject_cast<PPreviewView*>(w); p && p->isVisible()) return p;
    return nullptr;
}

}  // namespace

class PrintPosterTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    CVandrelDoc doc_;
    QWidget window_;

    PrintTarget Target() { return PrintTarget{&doc_, QStringLiteral("map.png"), &window_, nullptr}; }

    // A PDF printer on A6 paper at 300 dpi: the 6 x 4-inch map needs several sheets.
    void UsePrinter(QPageSize::PageSizeId paper) {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(dir_.filePath("out.pdf"));
        printer->setPageSize(QPageSize(paper));
        PrintEngine& engine = ThePrintEngine();
        engine.SetPrinter(std::move(printer));
        engine.Printer()->setResolution(300);
        engine.AttachPrinter();
    }

    void FreshSettings() {
        PrintEngine& engine = ThePrintEngine();
        CPicture& p = *doc_.m_pPicture;
        doc_.m_print.Reset(p.GetWidth(), p.GetHeight(), p.GetXDpi(), p.GetYDpi(),
                           engine.LogPixelsX(), engine.LogPixelsY());
    }

    std::unique_ptr<CPrintSheet> Sheet() {
        FreshSettings();
        PrintEngine& engine = ThePrintEngine();
        CPicture& p = *doc_.m_pPicture;
        const PrintOptions o = OptionsFromSettings(doc_.m_print, p.GetType(), p.GetWidth(),
                                                   p.GetHeight(), p.GetXDpi(), p.GetYDpi(),
                                                   engine.LogPixelsX(), engine.LogPixelsY());
        auto sheet = std::make_unique<CPrintSheet>(o, &p, engine);
        sheet->show();
        return sheet;
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        qputenv("STITCHARA_INI", dir_.filePath("test.ini").toUtf8());
        auto picture = std::make_unique<CPicture>();
        QVERIFY(picture->Create(ptTrueColor24, 1800, 1200, 0, nullptr, DpiToPpm(300), DpiToPpm(300),
                                kStoreMemory));
        std::vector<std::uint8_t> row(picture->GetRowBytes());
        for (int y = 0; y < 1200; ++y) {
            for (int x = 0; x < 1800; ++x) {
                row[std::size_t(3 * x)] = std::uint8_t(y / 5);
                row[std::size_t(3 * x + 1)] = std::uint8_t(x / 8);
                row[std::size_t(3 * x + 2)] = std::uint8_t(255 - x / 8);
            }
            picture->WriteRow(0, 1799, y, row.data());
        }
        doc_.SetPicture(std::move(picture));
        UsePrinter(QPageSize::A6);
        window_.resize(200, 100);
        window_.show();
        SetPrintSheetHook(SheetHook);
    }

    void posterChoiceShowsTheGridOfSheets() {
        auto sheet = Sheet();
        QTabBar* tabs = sheet->Tabs()->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        QCOMPARE(sheet->Tabs()->currentIndex(), 1);
        auto* poster = Child<QCheckBox>(sheet.get(), "posterBox");
        auto* fit = Child<QCheckBox>(sheet.get(), "fitInPageBox");
        auto* overlap = Child<QLineEdit>(sheet.get(), "posterOverlapEdit");
        auto* grid = Child<QLabel>(sheet.get(), "posterGridLabel");
        auto* box = Child<CLayoutBox>(sheet.get(), "rescaleLayoutBox");
        QVERIFY(!overlap->isEnabled());
        Click(fit);
        QVERIFY(fit->isChecked());
        Click(poster);
        QVERIFY(poster->isChecked());
        QVERIFY2(!fit->isChecked() && !fit->isEnabled(), "a poster prints at its scale");
        QVERIFY(overlap->isEnabled());
        QCOMPARE(sheet->Options().printWidth, 1800);  // 100 % again

        const PosterLayout plan = sheet->PosterPlan();
        QVERIFY(plan.SheetCount() >= 2);
        QVERIFY2(grid->text().contains(QStringLiteral("sheets")), qPrintable(grid->text()));
        box->grab();
        QCOMPARE(box->PosterSheetsShown(), plan.SheetCount());

        // A wider overlap: no fewer sheets; one over half the sheet is named.
        Type(overlap, QStringLiteral("30"));
        QCOMPARE(sheet->Options().posterOverlapMm, 30.0);
        QVERIFY(sheet->PosterPlan().SheetCount() >= plan.SheetCount());
        Type(overlap, QStringLiteral("80"));
        QVERIFY2(grid->text().contains(QStringLiteral("overlap")), qPrintable(grid->text()));
        box->grab();
        QCOMPARE(box->PosterSheetsShown(), 0);
        // Leaving the page is refused while the overlap cannot be printed.
        QTimer::singleShot(0, [] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* m = qobject_cast<QMessageBox*>(w); m && m->isVisible()) m->accept();
        });
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
        QCOMPARE(sheet->Tabs()->currentIndex(), 1);
        Type(overlap, QStringLiteral("5"));
        Click(Child<QCheckBox>(sheet.get(), "posterLabelsBox"));
        Click(Child<QCheckBox>(sheet.get(), "posterMarksBox"));
        QVERIFY(sheet->Options().posterLabels && sheet->Options().posterMarks);
        box->grab();
        QVERIFY(box->PosterSheetsShown() >= 2);
        Keep(sheet.get(), "print_sheet_poster");
        Keep(box, "print_sheet_poster_layout");
        sheet->CloseWith(kSheetOk);
        QCOMPARE(sheet->result(), int(kSheetOk));
        QCOMPARE(sheet->Options().poster, 1);
        QCOMPARE(sheet->Options().posterOverlapMm, 5.0);
    }

    void previewPagesThroughTheSheets() {
        FreshSettings();
        doc_.m_print.poster = 1;
        doc_.m_print.posterOverlapMm = 5;
        doc_.m_print.posterLabels = 1;
        QVERIFY(HandlePrintCommand(ID_PRINT_PREVIEW, Target()));
        QTRY_VERIFY(ThePreview() != nullptr);
        PPreviewView* preview = ThePreview();
        auto* next = Child<QPushButton>(preview, "previewNextSheet");
        auto* previous = Child<QPushButton>(preview, "previewPreviousSheet");
        auto* label = Child<QLabel>(preview, "previewSheetLabel");
        QVERIFY(next->isVisible() && label->isVisible());
        QVERIFY(!previous->isEnabled());
        QVERIFY2(label->text().startsWith(QStringLiteral("Sheet A1 (1 of ")), qPrintable(label->text()));
        preview->resize(760, 720);  // room for the sheet controls in the picture kept
        QVERIFY(preview->Render());
        const QImage first = preview->PageImage();
        Keep(preview, "print_preview_poster_a1");
        Click(next);
        QCOMPARE(preview->SheetShown(), 1);
        QVERIFY(previous->isEnabled());
        QVERIFY(preview->PageImage() != first);
        Keep(preview, "print_preview_poster_next");
        for (int i = 0; i < 200 && next->isEnabled(); ++i) Click(next);
        QVERIFY2(label->text().contains(QStringLiteral("%1 of %1").arg(preview->SheetShown() + 1)),
                 qPrintable(label->text()));
        Click(previous);
        QCOMPARE(label->text().contains(QStringLiteral("(%1 of").arg(preview->SheetShown() + 1)), true);
        Click(Child<QPushButton>(preview, "previewClose"));
        QTRY_VERIFY(ThePreview() == nullptr);
    }

    void printingAPosterPutsEverySheetOnAPage() {
        QFile::remove(dir_.filePath("out.pdf"));
        int sheets = 0;
        gOnSheet = [&sheets](CPrintSheet* sheet) {
            sheet->Tabs()->setCurrentIndex(1);
            Click(Child<QCheckBox>(sheet, "posterBox"));
            sheets = sheet->PosterPlan().SheetCount();
            Click(Child<QPushButton>(sheet, "printButton"));
        };
        FreshSettings();
        QVERIFY(HandlePrintCommand(ID_PRINT, Target()));
        QTRY_VERIFY(!OpenPrintDialog() && !ThePrintEngine().Busy());
        QVERIFY(sheets >= 2);
        QCOMPARE(PdfPages(dir_.filePath("out.pdf")), sheets);
        QCOMPARE(doc_.m_print.poster, 1);
    }

    void tooManySheetsAreAskedFor() {
        UsePrinter(QPageSize::A7);
        QFile::remove(dir_.filePath("out.pdf"));
        bool asked = false;
        QString scaleY;
        gOnSheet = [&asked, &scaleY](CPrintSheet* sheet) {
            sheet->Tabs()->setCurrentIndex(1);
            // A poster may be printed larger than a page: up to 32767 dots.
            Click(Child<QCheckBox>(sheet, "posterBox"));
            Type(Child<QLineEdit>(sheet, "scaleXEdit"), QStringLiteral("1000"));
            scaleY = Child<QLineEdit>(sheet, "scaleYEdit")->text();
            QTimer::singleShot(0, sheet, [sheet, &asked] {
                auto* ask = sheet->findChild<QMessageBox*>(QStringLiteral("posterSheetsQuestion"));
                asked = ask && ask->text().contains(QStringLiteral("sheets"));
                if (ask) Click(ask->button(QMessageBox::No));
                QTimer::singleShot(0, sheet, [sheet] { sheet->done(kSheetCancel); });
            });
            Click(Child<QPushButton>(sheet, "printButton"));
        };
        FreshSettings();
        QVERIFY(HandlePrintCommand(ID_PRINT, Target()));
        QTRY_VERIFY(!OpenPrintDialog());
        QCOMPARE(scaleY, QStringLiteral("1000"));
        QVERIFY(asked);
        QVERIFY(!QFile::exists(dir_.filePath("out.pdf")));

        // Quick Print does not ask: it says why and prints nothing.
        std::string said;
        SetMessageSink([&said](const std::string& text) { said = text; });
        doc_.m_print.poster = 1;
        doc_.m_print.scaleX = doc_.m_print.scaleY = 1000;
        doc_.m_print.printSize = Box{0, 0, 18000, 12000};
        QVERIFY(HandlePrintCommand(ID_QUICK_PRINT, Target()));
        SetMessageSink(nullptr);
        QVERIFY2(said.find("sheets") != std::string::npos, said.c_str());
        QVERIFY(!QFile::exists(dir_.filePath("out.pdf")));
        UsePrinter(QPageSize::A6);
        gOnSheet = nullptr;
    }
};

QTEST_MAIN(PrintPosterTest)
#include "print_poster_test.moc"
