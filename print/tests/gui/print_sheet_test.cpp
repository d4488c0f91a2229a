// The print sheet, the print commands and the preview, driven as a user
// would: controls, enable rules, unit conversions, Preview and Close, Print...
// from a preview, a print to PDF and Escape in the abort dialog; a print job
// on its worker thread while the window's thread stays free, and a stopped
// job that leaves no file.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

#include "base/job_qt.h"
#include "base/message_box.h"
#include "document/document.h"
#include "document/document_qt.h"
#include "picture/picture.h"
#include "platform/profile.h"
#include "print/print_commands_qt.h"
#include "print/print_sheet_qt.h"
#include "resources/command_ids.h"

namespace {

std::function<void(CPrintSheet*)> gOnSheet;
int gSheets = 0;

void SheetHook(CPrintSheet* sheet) {
    ++gSheets;
    QPointer<CPrintSheet> guard(sheet);
    QTimer::singleShot(0, sheet, [guard] {
        if (guard && gOnSheet) gOnSheet(guard);
    });
}

template <class W>
W* Child(QWidget* parent, const char* name) {
    W* w = parent->findChild<W*>(QString::fromLatin1(name));
    if (!w) qWarning("no child %s", name);
    return w;
}

// Keeps a picture of the widget among the test artefacts.
void Keep(QWidget* widget, const char* name) {
    const QString dir = qEnvironmentVariable("STITCHARA_BUILD_DIR") + QStringLiteral("/artefacts");
    QDir().mkpath(dir);
    widget->grab().save(dir + QStringLiteral("/%1.png").arg(QLatin1String(name)));
}

// Whether the file is a whole PDF, and its pages.
int PdfPages(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QByteArray bytes = f.readAll();
    if (!bytes.startsWith("%PDF-") || !bytes.right(32).contains("%%EOF")) return -1;
    return int(QString::fromLatin1(bytes).count(QRegularExpression(QStringLiteral("/Type\\s*/Page[^s]"))));
}

CAbortDialog* AbortDialog() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<CAbortDialog*>(w); d && d->isVisible()) return d;
    return nullptr;
}

QList<PPreviewView*> Previews() {
    QList<PPreviewView*> found;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* p = qobject_cast<PPreviewView*>(w); p && p->isVisible()) found.append(p);
    return found;
}

}  // namespace

class PrintSheetTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    CVandrelDoc doc_;
    QWidget window_;

    PrintTarget Target() { return PrintTarget{&doc_, QStringLiteral("map.png"), &window_, nullptr}; }

    // Printing goes to out.pdf in the test's folder.
    void UsePdfFile() {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(dir_.filePath("out.pdf"));
        ThePrintEngine().SetPrinter(std::move(printer));
    }

    std::unique_ptr<CPrintSheet> Sheet() {
        PrintEngine& engine = ThePrintEngine();
        engine.AttachPrinter();
        CPicture& p = *doc_.m_pPicture;
        doc_.m_print.Reset(p.GetWidth(), p.GetHeight(), p.GetXDpi(), p.GetYDpi(),
                           engine.LogPixelsX(), engine.LogPixelsY());
        const PrintOptions o = OptionsFromSettings(doc_.m_print, p.GetType(), p.GetWidth(),
                                                   p.GetHeight(), p.GetXDpi(), p.GetYDpi(),
                                                   engine.LogPixelsX(), engine.LogPixelsY());
        return std::make_unique<CPrintSheet>(o, &p, engine);
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        qputenv("STITCHARA_INI", dir_.filePath("test.ini").toUtf8());
        auto picture = std::make_unique<CPicture>();
        QVERIFY(picture->Create(ptTrueColor24, 600, 300, 0, nullptr, DpiToPpm(300), DpiToPpm(300),
                                kStoreMemory));
        picture->Fill(MakeRgb(200, 30, 30));
        doc_.SetPicture(std::move(picture));
        UsePdfFile();
        window_.resize(200, 100);
        window_.show();
        SetPrintSheetHook(SheetHook);
    }

    void printerPageEnableRules() {
        auto sheet = Sheet();
        auto* left = Child<QLineEdit>(sheet.get(), "leftMarginEdit");
        auto* top = Child<QLineEdit>(sheet.get(), "topMarginEdit");
        auto* centerH = Child<QCheckBox>(sheet.get(), "centerHorizontallyBox");
        auto* centerV = Child<QCheckBox>(sheet.get(), "centerVerticallyBox");
        QVERIFY(left->isEnabled() && top->isEnabled());
        centerH->setChecked(true);
        QVERIFY(!left->isEnabled());
        QVERIFY(top->isEnabled());
        centerV->setChecked(true);
        QVERIFY(!top->isEnabled());
        centerH->setChecked(false);
        QVERIFY(left->isEnabled());

        // Fit in page on the Rescale page: back on the Printer page both
        // margins and both centring boxes are off.
        sheet->Tabs()->setCurrentIndex(1);
        auto* fit = Child<QCheckBox>(sheet.get(), "fitInPageBox");
        fit->click();
        for (const char* name : {"targetWidthEdit", "targetHeightEdit", "resolutionXEdit",
                                 "scaleXEdit", "scaleYEdit", "keepRatioBox", "scaleXScroll"})
            QVERIFY2(!Child<QWidget>(sheet.get(), name)->isEnabled(), name);
        Keep(sheet.get(), "print_sheet_rescale_fit");
        sheet->Tabs()->setCurrentIndex(0);
        Keep(sheet.get(), "print_sheet_printer_fit");
        QVERIFY(!left->isEnabled() && !top->isEnabled());
        QVERIFY(!centerH->isEnabled() && !centerV->isEnabled());
        sheet->Tabs()->setCurrentIndex(1);
        fit->click();
        for (const char* name : {"targetWidthEdit", "scaleXEdit", "keepRatioBox", "scaleYScroll"})
            QVERIFY2(Child<QWidget>(sheet.get(), name)->isEnabled(), name);
        sheet->Tabs()->setCurrentIndex(0);
        QVERIFY(centerH->isEnabled() && left->isEnabled());
    }

    void unitConversions_data() {
        QTest::addColumn<QString>("inchText");
        QTest::addColumn<int>("unit");
        QTest::addColumn<QString>("expected");
        const int dpi = 600;  // PDF output
        QTest::newRow("inch to pixel") << "1" << 2 << QString::number(dpi);
        QTest::newRow("inch to cm") << "1" << 1 << "2.54";
        QTest::newRow("half inch to pixel") << "0.5" << 2 << QString::number(dpi / 2);
    }
    void unitConversions() {
        QFETCH(QString, inchText);
        QFETCH(int, unit);
        QFETCH(QString, expected);
        auto sheet = Sheet();
        auto* left = Child<QLineEdit>(sheet.get(), "leftMarginEdit");
        left->setText(inchText);
        emit left->editingFinished();
        Child<QComboBox>(sheet.get(), "unitsCombo")->setCurrentIndex(unit);
        QCOMPARE(left->text(), expected);
        QCOMPARE(Child<QLineEdit>(sheet.get(), "topMarginEdit")->text(),
                 unit == 2 ? QStringLiteral("0") : QStringLiteral("0.00"));
        QCOMPARE(sheet->Options().leftMargin, int(inchText.toDouble() * 600));
    }

    void rescalePageKeepsSizesAndFactorsTogether() {
        auto sheet = Sheet();
        sheet->Tabs()->setCurrentIndex(1);
        auto* width = Child<QLineEdit>(sheet.get(), "targetWidthEdit");
        auto* scaleX = Child<QLineEdit>(sheet.get(), "scaleXEdit");
        auto* scaleY = Child<QLineEdit>(sheet.get(), "scaleYEdit");
        QCOMPARE(width->text(), QStringLiteral("2.00"));  // 600 px at 300 dpi
        width->setText("3");
        emit width->editingFinished();
        QCOMPARE(scaleX->text(), QStringLiteral("150"));
        QCOMPARE(scaleY->text(), QStringLiteral("150"));
        QCOMPARE(sheet->Options().printWidth, 1800);
        auto* bar = Child<QScrollBar>(sheet.get(), "scaleXScroll");
        scaleX->setText("15");
        emit scaleX->editingFinished();
        bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        QCOMPARE(scaleX->text(), QStringLiteral("10"));
        QCOMPARE(bar->value(), 10);
    }

    void backgroundPageChoosesFrames() {
        auto sheet = Sheet();
        sheet->Tabs()->setCurrentIndex(2);
        CWaterMarkPage* page = sheet->WaterMarkPage();
        page->SampleClicked(1618);
        QCOMPARE(page->FrameId(), 0);  // Add Frame unchecked: nothing changes
        Child<QCheckBox>(sheet.get(), "addFrameBox")->click();
        QCOMPARE(page->FrameId(), 1616);
        page->SampleClicked(1621);
        QCOMPARE(page->FrameId(), 1621);
        Keep(sheet.get(), "print_sheet_background");
        QVERIFY(Child<QRadioButton>(sheet.get(), "tileButton")->isChecked());
        QCOMPARE(Child<QComboBox>(sheet.get(), "watermarkCombo")->currentIndex(), 0);
        sheet->CloseWith(1);
        QCOMPARE(sheet->Options().addFrame, 1);
        QCOMPARE(sheet->Options().frameId, 1621);
        QVERIFY(page->WatermarkPreview() != nullptr);  // pattern1.jpg is installed
    }

    void storedWatermarkElsewhereStaysInForce() {
        PrintEngine& engine = ThePrintEngine();
        engine.AttachPrinter();
        CPicture& p = *doc_.m_pPicture;
        PrintSettings s;
        s.Reset(p.GetWidth(), p.GetHeight(), 300, 300, engine.LogPixelsX(), engine.LogPixelsY());
        s.watermarkFile = "/elsewhere/mine.jpg";
        const PrintOptions o = OptionsFromSettings(s, 1, 600, 300, 300, 300, 600, 600);
        CPrintSheet sheet(o, &p, engine);
        QCOMPARE(Child<QComboBox>(&sheet, "watermarkCombo")->currentIndex(), 0);
        QCOMPARE(sheet.Options().watermarkFile, std::string("/elsewhere/mine.jpg"));
    }

    void previewFromTheSheetComesBackToTheSheet() {
        gSheets = 0;
        gOnSheet = [](CPrintSheet* sheet) {
            if (gSheets == 1) Child<QPushButton>(sheet, "previewButton")->click();
            else sheet->done(2);
        };
        QVERIFY(HandlePrintCommand(ID_PRINT, Target()));
        QCOMPARE(gSheets, 1);
        QTRY_COMPARE(Previews().size(), 1);
        PPreviewView* preview = Previews().front();
        QVERIFY(!preview->PageImage().isNull());
        QCOMPARE(doc_.m_print.reprintAfterPreview, 1);
        // The page shows the red picture at the top-left of the printable area.
        const QImage& page = preview->PageImage();
        const QRect paper = ThePrintEngine().PaperRect();
        const double scale = double(page.width()) / paper.width();
        const QPoint corner(int(-paper.left() * scale), int(-paper.top() * scale));
        QCOMPARE(page.pixelColor(corner + QPoint(2, 2)), QColor(200, 30, 30));
        QCOMPARE(page.pixelColor(corner - QPoint(2, 2)), QColor(Qt::white));
        QCOMPARE(page.pixelColor(page.width() - 2, page.height() - 2), QColor(Qt::white));
        Keep(preview, "print_preview");
        const int zoomed = page.width();
        Child<QPushButton>(preview, "previewZoomIn")->click();
        QVERIFY(preview->PageImage().width() > zoomed);
        Child<QPushButton>(preview, "previewClose")->click();
        QTRY_COMPARE(gSheets, 2);  // Close brought the sheet back
        QTRY_VERIFY(!OpenPrintDialog());
        QTRY_COMPARE(Previews().size(), 0);
        QCOMPARE(doc_.m_print.reprintAfterPreview, 0);
    }

    void previewFromTheMenuClosesQuietlyAndPrintOpensTheSheet() {
        gSheets = 0;
        gOnSheet = [](CPrintSheet* sheet) { sheet->done(2); };
        doc_.m_print.copies = 5;
        QVERIFY(HandlePrintCommand(ID_PRINT_PREVIEW, Target()));
        QTRY_COMPARE(Previews().size(), 1);
        Child<QPushButton>(Previews().front(), "previewClose")->click();
        QTRY_COMPARE(Previews().size(), 0);
        QTest::qWait(50);
        QCOMPARE(gSheets, 0);
        QVERIFY(HandlePrintCommand(ID_PRINT_PREVIEW, Target()));
        QTRY_COMPARE(Previews().size(), 1);
        Child<QPushButton>(Previews().front(), "previewPrint")->click();
        QTRY_COMPARE(gSheets, 1);  // the sheet, not an immediate print
        QTRY_VERIFY(!OpenPrintDialog());
        doc_.m_print.copies = 1;
    }

    void printFromTheSheetWritesThePdf() {
        QFile::remove(dir_.filePath("out.pdf"));
        gSheets = 0;
        gOnSheet = [](CPrintSheet* sheet) {
            Child<QSpinBox>(sheet, "copiesEdit")->setValue(2);
            Child<QPushButton>(sheet, "printButton")->click();
        };
        QVERIFY(HandlePrintCommand(ID_PRINT, Target()));
        QCOMPARE(gSheets, 1);
        QTRY_VERIFY(!OpenPrintDialog() && !ThePrintEngine().Busy());
        QVERIFY(QFileInfo(dir_.filePath("out.pdf")).size() > 1000);
        QCOMPARE(doc_.m_print.copies, 2);
        QVERIFY(!ThePrintEngine().LastJobAborted());
        doc_.m_print.copies = 1;
    }

    // A print larger than the paper at its scale: Print asks before the
    // edges are cut off. Cancel stays in the sheet, Print Anyway prints as it
    // is, Print as Poster prints the sheets of a poster; a print that fits
    // is not asked about.
    void largerThanThePaperAsksBeforeCutting_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("poster");
        QTest::addRow("cancel") << QStringLiteral("cancelButton") << 0 << 0;
        QTest::addRow("anyway") << QStringLiteral("printAnywayButton") << int(kSheetPrint) << 0;
        QTest::addRow("poster") << QStringLiteral("printAsPosterButton") << int(kSheetPrint) << 1;
    }
    void largerThanThePaperAsksBeforeCutting() {
        QFETCH(QString, answer);
        QFETCH(int, result);
        QFETCH(int, poster);
        // 30 inches wide at its own size.
        CPicture wide;
        QVERIFY(wide.Create(ptGray256, 3000, 200, 0, nullptr, DpiToPpm(100), DpiToPpm(100), kStoreMemory));
        QVERIFY(wide.Fill(90));
        PrintEngine& engine = ThePrintEngine();
        QVERIFY(engine.AttachPrinter());
        PrintSettings settings;
        settings.Reset(3000, 200, 100, 100, engine.LogPixelsX(), engine.LogPixelsY());
        const PrintOptions o = OptionsFromSettings(settings, ptGray256, 3000, 200, 100, 100,
                                                   engine.LogPixelsX(), engine.LogPixelsY());
        CPrintSheet sheet(o, &wide, engine, &window_);
        sheet.show();
        sheet.CloseWith(kSheetPrint);
        auto* ask = sheet.findChild<QMessageBox*>(QStringLiteral("printLargerThanPaperQuestion"));
        QVERIFY(ask && ask->isVisible());
        QVERIFY2(ask->text().contains(QStringLiteral("cut off")), qPrintable(ask->text()));
        QCOMPARE(sheet.result(), 0);
        ask->findChild<QPushButton*>(answer)->click();
        QCOMPARE(sheet.result(), result);
        QCOMPARE(sheet.isVisible(), result == 0);
        QCOMPARE(sheet.Options().poster, poster);

        // The same picture at a fifth of its size fits: no question.
        CPrintSheet small(o, &wide, engine, &window_);
        small.Tabs()->setCurrentIndex(1);
        auto* scale = Child<QLineEdit>(&small, "scaleXEdit");
        scale->setText(QStringLiteral("20"));
        emit scale->editingFinished();
        small.CloseWith(kSheetPrint);
        QVERIFY(!small.findChild<QMessageBox*>(QStringLiteral("printLargerThanPaperQuestion")));
        QCOMPARE(small.result(), int(kSheetPrint));
        engine.DetachPrinter();
    }

    // Print and Print Setup return with their dialog open, window-modal,
    // and nothing waits for it; another print command meanwhile brings that
    // dialog to the front rather than opening a second. Cancel lets the
    // printer go; Print Setup's choice is kept when it is accepted.
    void printDialogsOpenWithoutWaiting() {
        gSheets = 0;
        gOnSheet = nullptr;
        QVERIFY(HandlePrintCommand(ID_PRINT, Target()));
        QPointer<CPrintSheet> sheet = qobject_cast<CPrintSheet*>(OpenPrintDialog());
        QVERIFY(sheet && sheet->isVisible());
        QCOMPARE(sheet->windowModality(), Qt::WindowModal);
        QVERIFY(ThePrintEngine().IsAttached());
        for (int id : {ID_PRINT, ID_QUICK_PRINT, ID_PRINT_PREVIEW, ID_PRINT_SETUP})
            QVERIFY(HandlePrintCommand(id, Target()));
        QCOMPARE(gSheets, 1);
        QCOMPARE(OpenPrintDialog(), sheet.data());
        QVERIFY(Previews().isEmpty() && !ThePrintEngine().Busy());
        Child<QPushButton>(sheet, "cancelButton")->click();
        QVERIFY(!OpenPrintDialog());
        QVERIFY(!ThePrintEngine().IsAttached());
        QTRY_VERIFY(!sheet);  // gone once closed

        // The setup's file is new, so that the dialog asks nothing more.
        QFile::remove(dir_.filePath("out.pdf"));
        QVERIFY(platform::WriteProfileString("Print", "Destination", "a printer gone since"));
        QVERIFY(HandlePrintCommand(ID_PRINT_SETUP, PrintTarget{nullptr, QString(), &window_, nullptr}));
        auto* setup = qobject_cast<QPrintDialog*>(OpenPrintDialog());
        QVERIFY(setup && setup->isVisible());
        QCOMPARE(setup->windowModality(), Qt::WindowModal);
        setup->accept();
        QVERIFY(!OpenPrintDialog());
        QVERIFY(!ThePrintEngine().IsAttached());
        // What the dialog chose is kept: the PDF file, or the printer it
        // offers first where a printer is installed.
        const QString chosen = ThePrintEngine().PrintsToFile() ? QStringLiteral("PDF") : ThePrintEngine().Printer()->printerName();
        QCOMPARE(QString::fromStdString(platform::GetProfileString("Print", "Destination", "")), chosen);
        UsePdfFile();
    }

    // Quick Print of a print larger than the paper asks the sheet's
    // question before cutting it off: Cancel prints nothing, Print Anyway
    // prints the one page, Print as Poster prints the poster's sheets and
    // keeps the choice for the document.
    void quickPrintAsksBeforeCutting_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("poster");
        QTest::addRow("cancel") << QStringLiteral("cancelButton") << 0;
        QTest::addRow("anyway") << QStringLiteral("printAnywayButton") << 0;
        QTest::addRow("poster") << QStringLiteral("printAsPosterButton") << 1;
    }
    void quickPrintAsksBeforeCutting() {
        QFETCH(QString, answer);
        QFETCH(int, poster);
        // 30 inches wide at its own size.
        CVandrelDoc doc;
        auto wide = std::make_unique<CPicture>();
        QVERIFY(wide->Create(ptGray256, 3000, 200, 0, nullptr, DpiToPpm(100), DpiToPpm(100), kStoreMemory));
        QVERIFY(wide->Fill(90));
        doc.SetPicture(std::move(wide));
        const PrintTarget target{&doc, QStringLiteral("wide.png"), &window_, nullptr};
        const QString out = dir_.filePath("out.pdf");
        QFile::remove(out);

        QVERIFY(HandlePrintCommand(ID_QUICK_PRINT, target));
        auto* ask = qobject_cast<QMessageBox*>(OpenPrintDialog());
        QVERIFY(ask && ask->isVisible());
        QCOMPARE(ask->objectName(), QStringLiteral("printLargerThanPaperQuestion"));
        QVERIFY2(ask->text().contains(QStringLiteral("cut off")), qPrintable(ask->text()));
        QVERIFY(HandlePrintCommand(ID_QUICK_PRINT, target));  // the same question, not a second
        QCOMPARE(OpenPrintDialog(), ask);
        QVERIFY(!ThePrintEngine().Busy());
        QVERIFY(!QFile::exists(out));

        ask->findChild<QPushButton*>(answer)->click();
        QVERIFY(!OpenPrintDialog());
        QTRY_VERIFY(!ThePrintEngine().Busy());
        QVERIFY(!ThePrintEngine().IsAttached());
        QCOMPARE(doc.m_print.poster, poster);
        if (answer == QLatin1String("cancelButton")) {
            QVERIFY(!QFile::exists(out));
        } else if (poster) {
            QVERIFY2(PdfPages(out) >= 3, qPrintable(QString::number(PdfPages(out))));
        } else {
            QCOMPARE(PdfPages(out), 1);
        }
    }

    void escapeInTheAbortDialogStopsTheJob() {
        // Escape arrives while the rows go out.
        QTimer::singleShot(0, [] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<CAbortDialog*>(w); d && d->isVisible())
                    QTest::keyClick(d, Qt::Key_Escape);
        });
        // The file the job would replace stays as it was, and no part of
        // the stopped job is left beside it.
        const QString out = dir_.filePath("out.pdf");
        const QByteArray before = "%PDF-1.4 an earlier print\n%%EOF\n";
        {
            QFile file(out);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(before);
        }
        const QStringList entries = QDir(dir_.path()).entryList(QDir::Files);
        // Enough pages that the job still runs when the Escape arrives.
        doc_.m_print.copies = 40;
        QVERIFY(HandlePrintCommand(ID_QUICK_PRINT, Target()));
        QTRY_VERIFY(!ThePrintEngine().Busy());
        doc_.m_print.copies = 1;
        QVERIFY(ThePrintEngine().LastJobAborted());
        QFile file(out);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
        QCOMPARE(QDir(dir_.path()).entryList(QDir::Files), entries);
    }

    // The pages go out on a worker thread: the window's thread keeps
    // running its timers meanwhile, the document is busy, and the PDF is
    // whole when the job ends.
    void printingRunsAsAJobOfTheDocument() {
        QFile::remove(dir_.filePath("out.pdf"));
        Document document;
        auto picture = std::make_unique<CPicture>();
        QVERIFY(picture->Create(ptTrueColor24, 600, 300, 0, nullptr, DpiToPpm(300), DpiToPpm(300), kStoreMemory));
        picture->Fill(MakeRgb(30, 120, 200));
        document.core().SetPicture(std::move(picture));
        document.core().m_print = doc_.m_print;
        document.core().m_print.copies = 20;
        int ticksWhilePrinting = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] { ticksWhilePrinting += ThePrintEngine().Busy(); });
        timer.start(1);
        QVERIFY(HandlePrintCommand(ID_QUICK_PRINT, &document, &window_));
        QVERIFY(document.busy());
        QVERIFY(RunningPrintJob() && RunningPrintJob() == document.job());
        QVERIFY(AbortDialog() && !AbortDialog()->isModal());
        // Nothing else reaches the printer while the job has it.
        gSheets = 0;
        QVERIFY(HandlePrintCommand(ID_PRINT, Target()));
        QVERIFY(HandlePrintCommand(ID_PRINT_PREVIEW, Target()));
        QTRY_VERIFY(!document.busy());
        timer.stop();
        QVERIFY(!ThePrintEngine().Busy() && !RunningPrintJob() && !AbortDialog());
        QCOMPARE(gSheets, 0);
        QVERIFY(Previews().isEmpty());
        QVERIFY2(ticksWhilePrinting > 0, "the window's thread waited for the job");
        QVERIFY(!ThePrintEngine().LastJobAborted());
        QCOMPARE(PdfPages(dir_.filePath("out.pdf")), 20);
        QVERIFY(!QFile::exists(dir_.filePath("out.pdf.part")));
    }

    // Stopped by the dialog's Cancel or the job's Stop: no file where there
    // was none, and a file printed before stays as it was.
    void aStoppedJobLeavesNoFile() {
        const QString out = dir_.filePath("out.pdf");
        QFile::remove(out);
        doc_.m_print.copies = 40;
        QVERIFY(HandlePrintCommand(ID_QUICK_PRINT, Target()));
        QVERIFY(AbortDialog());
        QTest::mouseClick(Child<QPushButton>(AbortDialog(), "abortCancel"), Qt::LeftButton);
        QTRY_VERIFY(!ThePrintEngine().Busy());
        QVERIFY(ThePrintEngine().LastJobAborted());
        QVERIFY(!QFile::exists(out));
        QVERIFY(!QFile::exists(out + QStringLiteral(".part")));

        {
            QFile before(out);
            QVERIFY(before.open(QIODevice::WriteOnly));
            before.write("printed before");
        }
        std::string said;
        SetMessageSink([&said](const std::string& text) { said += text; });
        QVERIFY(HandlePrintCommand(ID_QUICK_PRINT, Target()));
        QVERIFY(RunningPrintJob());
        RunningPrintJob()->cancel();  // as the status bar's Stop button does
        QTRY_VERIFY(!ThePrintEngine().Busy());
        SetMessageSink(nullptr);
        doc_.m_print.copies = 1;
        QVERIFY(ThePrintEngine().LastJobAborted());
        QVERIFY2(said.empty(), said.c_str());  // stopping is no error
        QFile after(out);
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), QByteArray("printed before"));
        QVERIFY(!QFile::exists(out + QStringLiteral(".part")));
    }
};

QTEST_MAIN(PrintSheetTest)
#include "print_sheet_test.moc"
