// The print preview inside the main window's document area, reached from a
// document view's Print Preview command as the menu sends it.
#include <QMainWindow>
#include <QMdiArea>
#include <QStatusBar>
#include <QMdiSubWindow>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "display/child_frame_qt.h"
#include "display/view_qt.h"
#include "document/document.h"
#include "picture/picture.h"
#include "print/print_commands_qt.h"
#include "print/print_sheet_qt.h"
#include "resources/command_ids.h"

class PrintPreviewMdiTest : public QObject {
    Q_OBJECT

private slots:
    // The views print through printing, as in the program.
    void initTestCase() { InstallViewPrinting(); }

    void previewOpensBesideTheDocumentAndCloses() {
        QTemporaryDir dir;
        qputenv("STITCHARA_INI", dir.filePath("test.ini").toUtf8());
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(dir.filePath("out.pdf"));
        ThePrintEngine().SetPrinter(std::move(printer));

        CVandrelDoc doc;
        auto picture = std::make_unique<CPicture>();
        QVERIFY(picture->Create(ptGray256, 300, 200, 0, nullptr, DpiToPpm(150), DpiToPpm(150),
                                kStoreMemory));
        picture->Fill(40);
        doc.SetPicture(std::move(picture));
        doc.m_print.copies = 5;  // a preview still shows one page

        QMainWindow main;
        auto* areaWidget = new QMdiArea;
        QMdiArea& area = *areaWidget;
        main.setCentralWidget(areaWidget);
        main.statusBar()->showMessage(QStringLiteral("ready"));
        main.resize(800, 600);
        main.show();
        auto* frame = new PMDIChildWnd;
        auto* view = new CVandrelView(&doc);
        frame->SetView(view);
        area.addSubWindow(frame);
        area.show();
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(&area));

        QVERIFY(view->OnCommand(ID_PRINT_PREVIEW));
        QCOMPARE(area.subWindowList().size(), 2);
        QVERIFY(!main.statusBar()->isVisible());  // room for the page
        auto* preview = area.subWindowList().last()->findChild<PPreviewView*>();
        QVERIFY(preview);
        const QImage& page = preview->PageImage();
        QVERIFY(!page.isNull());
        // Gray 40 somewhere on the white page, and white around it.
        const QRect paper = ThePrintEngine().PaperRect();
        const double scale = double(page.width()) / paper.width();
        const QPoint corner(int(-paper.left() * scale), int(-paper.top() * scale));
        QCOMPARE(page.pixelColor(corner + QPoint(3, 3)), QColor(40, 40, 40));
        QCOMPARE(page.pixelColor(page.width() - 3, page.height() - 3), QColor(Qt::white));
        preview->findChild<QPushButton*>(QStringLiteral("previewClose"))->click();
        QTRY_COMPARE(area.subWindowList().size(), 1);
        QCOMPARE(doc.m_print.reprintAfterPreview, 0);
        QVERIFY(main.statusBar()->isVisible());

        // The window's own close box ends a preview as Close does.
        QVERIFY(view->OnCommand(ID_PRINT_PREVIEW));
        QCOMPARE(area.subWindowList().size(), 2);
        doc.m_print.reprintAfterPreview = 1;
        SetPrintSheetHook([](CPrintSheet* sheet) {
            QTimer::singleShot(0, sheet, [sheet] { sheet->reject(); });
        });
        area.subWindowList().last()->close();
        QTRY_COMPARE(area.subWindowList().size(), 1);
        QCOMPARE(doc.m_print.reprintAfterPreview, 0);
        QTRY_VERIFY(!ThePrintEngine().IsAttached());
        SetPrintSheetHook(nullptr);
    }

    // The preview's page is far smaller than the printer's dots: a one-pixel
    // line of the picture still shows, darker than the paper around it by a
    // third of its contrast at least, at the preview's usual scales.
    void previewKeepsThinLines_data() {
        QTest::addColumn<double>("scale");
        QTest::addRow("page in a window") << 0.12;
        QTest::addRow("smaller") << 0.04;
    }
    void previewKeepsThinLines() {
        QFETCH(double, scale);
        QTemporaryDir dir;
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(dir.filePath("out.pdf"));
        ThePrintEngine().SetPrinter(std::move(printer));
        QVERIFY(ThePrintEngine().AttachPrinter());
        const int dpi = ThePrintEngine().LogPixelsX();
        // Printed one pixel a dot.
        CPicture picture;
        QVERIFY(picture.Create(ptGray256, 600, 400, 0, nullptr, DpiToPpm(dpi), DpiToPpm(dpi), kStoreMemory));
        QVERIFY(picture.Fill(220));
        const int lineX = 301;
        for (int y = 0; y < 400; ++y) QVERIFY(picture.SetPixelValue(lineX, y, 20));
        PrintJobRequest request;
        request.picture = &picture;
        request.printRect = Box{0, 0, 600, 400};
        const QImage page = ThePrintEngine().RenderPreviewImage(request, scale);
        const QRect paper = ThePrintEngine().PaperRect();
        ThePrintEngine().DetachPrinter();
        QVERIFY(!page.isNull());
        const int y = int((200 - paper.top()) * scale);
        const double expectedX = (lineX - paper.left()) * scale;
        int darkest = 255, at = -1;
        for (int x = 0; x < page.width(); ++x)
            if (qGreen(page.pixel(x, y)) < darkest) darkest = qGreen(page.pixel(x, y)), at = x;
        QVERIFY2(220 - darkest >= 200 / 3, qPrintable(QString::number(darkest)));
        QVERIFY2(std::abs(at - expectedX) <= 2, qPrintable(QString("%1 %2").arg(at).arg(expectedX)));
        QCOMPARE(qGreen(page.pixel(int(expectedX) + 4, y)), 220);
    }
};

QTEST_MAIN(PrintPreviewMdiTest)
#include "print_preview_mdi_test.moc"
