// The embedding service's answers, called directly (no bus): extent, drawing,
// the bytes a container keeps, and the errors of calls it cannot carry out.
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "document/document_qt.h"
#include "info/info_sheet_qt.h"
#include "picture/picture.h"
#include "resources/command_ids.h"
#include "shell/app/commands_qt.h"
#include "shell/embed/embed_protocol_qt.h"
#include "shell/embed/embed_server_qt.h"
#include "shell/embed/in_place_frame_qt.h"
#include "shell/embed/srvr_item_qt.h"

namespace {

std::uint32_t PpmForDpi(int dpi) { return std::uint32_t((dpi * 10000 + 127) / 254); }

// A true-colour picture whose every pixel differs: red = x, green = y.
std::unique_ptr<CPicture> MakePicture(int width, int height, int dpi) {
    auto picture = std::make_unique<CPicture>();
    if (!picture->Create(ptTrueColor24, width, height, 0, nullptr, PpmForDpi(dpi), PpmForDpi(dpi), 3)) return nullptr;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture->SetPixelValue(x, y, std::uint32_t(x * 40 + 10) | std::uint32_t(y * 60 + 20) << 8 | 0x500000u);
    return picture;
}

QRgb Expected(int x, int y) { return qRgb(x * 40 + 10, y * 60 + 20, 0x50); }

}  // namespace

class EmbedServerTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    void initTestCase() { qputenv("STITCHARA_INI", dir_.filePath("test.ini").toUtf8()); }

    // The extent is the picture's pixels taken as screen pixels: its own
    // resolution plays no part.
    void extentIsScreenPixels_data() {
        QTest::addColumn<int>("dpi");
        QTest::newRow("72 dpi") << 72;
        QTest::newRow("96 dpi") << 96;
        QTest::newRow("300 dpi") << 300;
        QTest::newRow("600 dpi") << 600;
    }
    void extentIsScreenPixels() {
        QFETCH(int, dpi);
        Document document;
        document.setPicture(MakePicture(300, 200, dpi));
        CVandrelSrvrItem item(&document);
        int screenX, screenY;
        CVandrelSrvrItem::ScreenDpi(&screenX, &screenY);
        const QSize expected(qRound(300 * 2540.0 / screenX), qRound(200 * 2540.0 / screenY));
        QCOMPARE(item.OnGetExtent(), expected);
        QCOMPARE(item.Extent(), expected);
    }

    // The conversion itself: 0.01 mm per pixel at a few screen densities.
    void hiMetricOfPixels() {
        QCOMPARE(CVandrelSrvrItem::PixelsToHiMetric(QSize(300, 200), 96, 96), QSize(7938, 5292));
        QCOMPARE(CVandrelSrvrItem::PixelsToHiMetric(QSize(300, 200), 120, 120), QSize(6350, 4233));
        QCOMPARE(CVandrelSrvrItem::PixelsToHiMetric(QSize(32767, 1), 72, 144), QSize(1155947, 18));
    }

    // Drawing: the picture unscaled from the top-left, whatever the image's
    // size; what it does not cover stays transparent.
    void drawIsUnscaledFromTopLeft_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("larger") << QSize(8, 6);
        QTest::newRow("smaller") << QSize(2, 2);
        QTest::newRow("wider, lower") << QSize(9, 1);
    }
    void drawIsUnscaledFromTopLeft() {
        QFETCH(QSize, size);
        Document document;
        document.setPicture(MakePicture(5, 3, 300));
        CVandrelSrvrItem item(&document);
        const QImage image = item.OnDraw(size).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), size);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x) {
                if (x < 5 && y < 3)
                    QCOMPARE(image.pixel(x, y), Expected(x, y));
                else
                    QCOMPARE(qAlpha(image.pixel(x, y)), 0);
            }
    }

    // The bytes a container keeps bring the same picture back, the empty
    // bytes a new picture; what is not a picture opens nothing.
    void bytesComeBackAsTheSamePicture() {
        CEmbedServer server;
        Document source;
        source.setPicture(MakePicture(5, 3, 200));
        const QByteArray bytes = CVandrelSrvrItem(&source).Serialize();
        QVERIFY(!bytes.isEmpty());

        const uint id = server.OpenBytes(bytes);
        QVERIFY(id != 0);
        CPicture* picture = server.document(id)->picture();
        QCOMPARE(picture->GetWidth(), 5);
        QCOMPARE(picture->GetHeight(), 3);
        QVERIFY(!server.document(id)->isModified());
        const QImage drawn = QImage::fromData(server.Draw(id, 5, 3), "PNG").convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) QCOMPARE(drawn.pixel(x, y), Expected(x, y));
        QCOMPARE(server.Bytes(id), bytes);

        const uint fresh = server.OpenBytes(QByteArray());
        QVERIFY(fresh != 0 && fresh != id);
        QCOMPARE(server.document(fresh)->picture()->GetWidth(), 2811);
        QCOMPARE(server.document(fresh)->picture()->GetHeight(), 3000);

        QCOMPARE(server.OpenBytes(QByteArray("BM this is no picture at all", 28)), 0u);
        QCOMPARE(server.lastError(), QString(embed::kErrorBadPicture));
        QCOMPARE(server.OpenFile(dir_.filePath("missing.bmp")), 0u);
        QCOMPARE(server.lastError(), QString(embed::kErrorBadPicture));
        QCOMPARE(server.documentCount(), 2);
    }

    // The resize bar's handles: which edges each moves, and the smallest
    // frame they leave.
    void resizeBarHandles() {
        CInPlaceResizeBar bar;
        bar.resize(100, 80);
        QCOMPARE(bar.EdgesAt(QPoint(1, 1)), 1 | 2);
        QCOMPARE(bar.EdgesAt(QPoint(98, 78)), 4 | 8);
        QCOMPARE(bar.EdgesAt(QPoint(50, 1)), 2);   // the handle at the middle of the top
        QCOMPARE(bar.EdgesAt(QPoint(2, 40)), 1);   // ... of the left side
        QCOMPARE(bar.EdgesAt(QPoint(20, 1)), 0);   // border between handles
        QCOMPARE(bar.EdgesAt(QPoint(50, 40)), 0);  // the view

        const QRect frame(40, 80, 300, 200);
        QCOMPARE(CInPlaceResizeBar::Resized(frame, 4 | 8, QPoint(30, 20)), QRect(40, 80, 330, 220));
        QCOMPARE(CInPlaceResizeBar::Resized(frame, 1 | 2, QPoint(-10, -5)), QRect(30, 75, 310, 205));
        const QRect narrow = CInPlaceResizeBar::Resized(frame, 1, QPoint(1000, 0));
        QCOMPARE(narrow.width(), CInPlaceResizeBar::kMinimumSide);
        QCOMPARE(narrow.right(), frame.right());
        const QRect low = CInPlaceResizeBar::Resized(frame, 8, QPoint(0, -1000));
        QCOMPARE(low.height(), CInPlaceResizeBar::kMinimumSide);
        QCOMPARE(low.top(), frame.top());
    }

    // Dragging the bottom-right handle resizes the window and tells the new
    // geometry once, when the button is let go.
    void resizeBarDragResizesTheWindow() {
        QWidget window;
        window.setGeometry(100, 100, 200, 150);
        auto* bar = new CInPlaceResizeBar(&window);
        bar->setGeometry(window.rect());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy resized(bar, &CInPlaceResizeBar::resized);
        const QPoint start(197, 147);
        QTest::mousePress(bar, Qt::LeftButton, {}, start);
        QMouseEvent move(QEvent::MouseMove, QPointF(start + QPoint(30, 20)), bar->mapToGlobal(QPointF(start + QPoint(30, 20))),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(bar, &move);
        QCOMPARE(resized.count(), 0);
        QCOMPARE(window.size(), QSize(230, 170));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, start + QPoint(30, 20));
        QCOMPARE(resized.count(), 1);
        QCOMPARE(resized[0][0].toRect().size(), QSize(230, 170));
    }

    // In place, the tool bar's commands answer (Import, Acquire where a
    // scanner is, Information, About) and a container can send only the
    // in-place commands: never Save or Open, whose dialogs belong to the
    // program's own window.
    void inPlaceCommands() {
        Document document;
        document.setPicture(MakePicture(5, 3, 96));
        CInPlaceFrame frame(&document);
        for (int id : {32797, 32069, 32089, 32020, 32029, 32063})
            QVERIFY2(frame.commands()->state(id).enabled, qPrintable(QString::number(id)));
        for (int id : {32797, 32003, 32005, 32020, 32021, 32022, 32023, 32029, 32063, 32069, 32089})
            QVERIFY(CInPlaceFrame::IsInPlaceCommand(id));
        for (int id : {0, 32000, 32001, 32002, 32004, 32006, 57665})
            QVERIFY(!CInPlaceFrame::IsInPlaceCommand(id));
        QVERIFY(frame.commands()->execute(32020));
        QVERIFY(document.isModified());
    }

    // In place, Information shows the embedded document's page first (its
    // name, resolution, thumbnail), then the System page.
    void informationInPlaceShowsTheDocument() {
        Document document;
        document.setPicture(MakePicture(5, 3, 300));
        document.core().SetPathName("/somewhere/Scan One.vdl");
        CInPlaceFrame frame(&document);
        QStringList tabs;
        QString name, resolution;
        CPicture* thumbnail = nullptr;
        QWidget* current = nullptr;
        QTimer::singleShot(0, this, [&] {
            auto* sheet = qobject_cast<CInfoSheet*>(QApplication::activeModalWidget());
            if (!sheet) return;
            for (int i = 0; i < sheet->Tabs()->count(); ++i) tabs << sheet->Tabs()->widget(i)->objectName();
            if (CDocInfoPage* page = sheet->DocumentPage()) {
                name = page->Text(200)->text();
                resolution = page->Text(202)->text();
                thumbnail = page->Thumbnail()->Picture();
                current = page->CurrentWidget();
                QVERIFY(!page->NextButton()->isEnabled() && !page->PreviousButton()->isEnabled());
            }
            sheet->accept();
        });
        QVERIFY(frame.commands()->execute(ID_INFORMATION));
        QTRY_COMPARE(tabs, QStringList({"documentPage", "systemPage"}));  // the sheet answers later
        QVERIFY2(name.endsWith("Scan One.vdl"), qPrintable(name));
        QVERIFY2(resolution.endsWith("300 DPI"), qPrintable(resolution));
        QCOMPARE(thumbnail, document.picture());
        QCOMPARE(current, &frame);
    }

    // A picture file dropped onto the in-place frame becomes the document's
    // picture; a drag without a file is refused; a file that cannot be read
    // leaves the picture as it was and says why.
    void dropOntoTheInPlaceFrame() {
        Document document;
        document.setPicture(MakePicture(5, 3, 96));
        document.setModified(false);
        CInPlaceFrame frame(&document);
        Document other;
        other.setPicture(MakePicture(7, 4, 96));
        const QString good = dir_.filePath("dropped.bmp");
        const QString junk = dir_.filePath("junk.bmp");
        {
            QFile file(good);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(CVandrelSrvrItem(&other).Serialize());
            QFile bad(junk);
            QVERIFY(bad.open(QIODevice::WriteOnly));
            bad.write("BM not a picture at all");
        }
        auto drop = [&frame](QMimeData* data) {
            QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&frame, &enter);
            if (!enter.isAccepted()) return false;
            QDropEvent dropped(QPointF(20, 20), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&frame, &dropped);
            return dropped.isAccepted();
        };

        QMimeData text;
        text.setText("no file");
        QVERIFY(!drop(&text));

        QMimeData file;
        file.setUrls({QUrl("https://example.invalid/x.bmp"), QUrl::fromLocalFile(good)});
        QVERIFY(drop(&file));
        QTRY_COMPARE(document.picture()->GetWidth(), 7);
        QCOMPARE(document.picture()->GetHeight(), 4);
        QVERIFY(document.isModified());

        MessageCapture messages;
        QMimeData bad;
        bad.setUrls({QUrl::fromLocalFile(junk)});
        QVERIFY(drop(&bad));
        QTest::qWait(20);
        QCOMPARE(document.picture()->GetWidth(), 7);
        QVERIFY(!messages.Text(QString()).isEmpty());
    }

    // Calls that cannot be carried out answer an error and leave the other
    // documents as they were.
    void badCallsAnswerErrors() {
        CEmbedServer server;
        Document source;
        source.setPicture(MakePicture(5, 3, 96));
        const uint id = server.OpenBytes(CVandrelSrvrItem(&source).Serialize());
        QVERIFY(id != 0);
        const uint missing = id + 41;

        server.Extent(missing);
        QCOMPARE(server.lastError(), QString(embed::kErrorUnknownDocument));
        QVERIFY(server.Draw(missing, 5, 3).isEmpty());
        QCOMPARE(server.lastError(), QString(embed::kErrorUnknownDocument));
        QVERIFY(server.Bytes(missing).isEmpty());
        server.ActivateInPlace(missing, 0x200001, 0, 0, 10, 10);
        QCOMPARE(server.lastError(), QString(embed::kErrorUnknownDocument));
        server.Close(missing);
        QCOMPARE(server.lastError(), QString(embed::kErrorUnknownDocument));

        QVERIFY(server.Draw(id, 0, 3).isEmpty());
        QCOMPARE(server.lastError(), QString(embed::kErrorBadSize));
        QVERIFY(server.Draw(id, 32767, 32767).isEmpty());
        QCOMPARE(server.lastError(), QString(embed::kErrorBadSize));
        // No such window (and on this display no windows of other programs at all).
        server.ActivateInPlace(id, 0, 0, 0, 10, 10);
        QCOMPARE(server.lastError(), QString(embed::kErrorInvalidWindow));
        server.ActivateInPlace(id, 0x7ffffff1, 0, 0, 10, 10);
        QCOMPARE(server.lastError(), QString(embed::kErrorInvalidWindow));
        QVERIFY(!server.inPlaceFrame(id));
        QVERIFY(!server.InvokeCommand(id, 32020));  // not in place

        // The good document still answers.
        int dpiX, dpiY;
        CVandrelSrvrItem::ScreenDpi(&dpiX, &dpiY);
        QCOMPARE(server.Extent(id), CVandrelSrvrItem::PixelsToHiMetric(QSize(5, 3), dpiX, dpiY));
        QVERIFY(server.lastError().isEmpty());
        server.Close(id);
        QCOMPARE(server.documentCount(), 0);
    }
};

QTEST_MAIN(EmbedServerTest)
#include "embed_server_test.moc"
