#include <QPainter>
#include <QtTest>

#include "display/draw_picture_qt.h"
#include "picture/palette_map.h"
#include "picture_fixtures.h"

using namespace display_test;

class DrawPictureTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        // The cell maps come from the build's palette.map.
        SetPaletteMapPath(qgetenv("STITCHARA_BUILD_DIR").toStdString() + "/bin/palette.map");
        display::SetForcedDisplayBits(24);
    }

    void everyFormatAtEveryZoom_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("zoom");
        for (int type : kAllTypes)
            for (int zoom : {1, 2, 3, 7, 16, -2, -3, -5, -16})
                QTest::addRow("type %d zoom %d", type, zoom) << type << zoom;
    }
    // The drawing equals the picture resampled by the zoom rules, from an
    // odd origin, with widths that end inside a group of reduced pixels.
    void everyFormatAtEveryZoom() {
        QFETCH(int, type);
        QFETCH(int, zoom);
        auto p = MakePicture(type, 83, 61, unsigned(type * 100 + zoom + 50));
        QVERIFY(p);
        const int ox = 3, oy = 5;
        QImage canvas(90, 70, QImage::Format_RGB32);
        canvas.fill(Qt::magenta);
        QPainter painter(&canvas);
        display::DrawStats stats;
        QVERIFY(display::DrawPicture(p.get(), QPoint(ox, oy), painter, QRect(0, 0, 90, 70), zoom, &stats));
        painter.end();
        const QImage want = Resampled(*p, ox, oy, zoom, 90, 70, qRgb(255, 0, 255));
        const QString diff = FirstDifference(canvas, want);
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
    }

    // Only what the clip shows is read; a band never exceeds its limits; a
    // picture in its swap file stays there.
    void readsOnlyTheExposedRows() {
        auto p = MakePicture(ptTrueColor24, 3000, 2000, 7, kStoreSwapFile);
        QVERIFY(p);
        QCOMPARE(p->GetStoreState(), int(kStateOnDisk));
        QImage canvas(400, 300, QImage::Format_RGB32);
        QPainter painter(&canvas);
        painter.setClipRect(QRect(10, 40, 100, 30));
        display::DrawStats stats;
        QVERIFY(display::DrawPicture(p.get(), QPoint(1000, 500), painter, QRect(0, 0, 400, 300), 1, &stats));
        QCOMPARE(stats.rowsRead, 30);
        QCOMPARE(stats.width, 100);
        painter.setClipRect(QRect(0, 0, 400, 300));
        stats = {};
        QVERIFY(display::DrawPicture(p.get(), QPoint(0, 0), painter, QRect(0, 0, 400, 300), 2, &stats));
        QCOMPARE(stats.rowsRead, 150);  // each row read once for its two output rows
        QVERIFY(stats.bands >= 300 / (65495 / (400 * 3)));
        painter.end();
        QCOMPARE(p->GetStoreState(), int(kStateOnDisk));
        const QImage want = Resampled(*p, 0, 0, 2, 400, 300, 0);
        const QString diff = FirstDifference(canvas, want);
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
    }

    // A display with fewer bits than the picture gets the standard palette's
    // colours only, and the colours keep their mean.
    void fewerDisplayBitsDiffuse_data() {
        QTest::addColumn<int>("displayBits");
        QTest::addColumn<int>("colours");
        QTest::addRow("1 bit") << 1 << 2;
        QTest::addRow("4 bits") << 4 << 16;
        QTest::addRow("8 bits") << 8 << 256;
    }
    void fewerDisplayBitsDiffuse() {
        QFETCH(int, displayBits);
        QFETCH(int, colours);
        auto p = std::make_unique<CDocPicture>();
        QVERIFY(p->Create(ptTrueColor24, 64, 64, 0, nullptr, 0, 0, kStoreMemory));
        QVERIFY(p->Fill(MakeRgb(90, 140, 200)));
        display::SetForcedDisplayBits(displayBits);
        QImage canvas(64, 64, QImage::Format_RGB32);
        QPainter painter(&canvas);
        QVERIFY(display::DrawPicture(p.get(), QPoint(0, 0), painter, QRect(0, 0, 64, 64), 1));
        painter.end();
        display::SetForcedDisplayBits(24);
        std::unique_ptr<Palette> standard = CreateStandardPalette(displayBits == 1 ? 0 : displayBits == 4 ? 2 : 3);
        QSet<QRgb> allowed;
        for (int i = 0; i < colours; ++i)
            allowed.insert(qRgb((*standard)[i].red, (*standard)[i].green, (*standard)[i].blue));
        double sum = 0;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                const QRgb c = canvas.pixel(x, y);
                QVERIFY2(allowed.contains(c), qPrintable(QString::number(c, 16)));
                sum += (qRed(c) + qGreen(c) + qBlue(c)) / 3.0;
            }
        QVERIFY2(std::abs(sum / 4096 - (90 + 140 + 200) / 3.0) < 8, qPrintable(QString::number(sum / 4096)));
        // A 16-gray picture on a 4-bit display is diffused too; on 8 bits it is not.
        auto gray = MakePicture(ptGray16, 20, 20, 3);
        display::SetForcedDisplayBits(8);
        QImage g8(20, 20, QImage::Format_RGB32);
        QPainter p8(&g8);
        QVERIFY(display::DrawPicture(gray.get(), QPoint(0, 0), p8, QRect(0, 0, 20, 20), 1));
        p8.end();
        display::SetForcedDisplayBits(24);
        QVERIFY(FirstDifference(g8, Resampled(*gray, 0, 0, 1, 20, 20, 0)).isEmpty());
    }

    // Thumbnails: a picture scaled into a small target covers it.
    void scaledIntoATarget() {
        auto p = std::make_unique<CDocPicture>();
        QVERIFY(p->Create(ptTrueColor24, 1000, 500, 0, nullptr, 0, 0, kStoreMemory));
        QVERIFY(p->Fill(MakeRgb(0, 0, 255)));
        QImage canvas(120, 80, QImage::Format_RGB32);
        canvas.fill(Qt::white);
        QPainter painter(&canvas);
        QVERIFY(display::DrawPictureInto(p.get(), QRect(0, 0, 1000, 500), painter, QRectF(10, 10, 100, 50)));
        painter.end();
        QCOMPARE(canvas.pixel(10, 10), qRgb(0, 0, 255));
        QCOMPARE(canvas.pixel(109, 59), qRgb(0, 0, 255));
        QCOMPARE(canvas.pixel(110, 30), qRgb(255, 255, 255));
        QCOMPARE(canvas.pixel(50, 60), qRgb(255, 255, 255));
    }

    // A picture reduced past the renderer's smallest zoom still shows whole:
    // a 3400-pixel strip, red then blue, in a 100-pixel sample.
    void reducedBeyondTheSmallestZoomShowsWhole() {
        auto p = std::make_unique<CDocPicture>();
        QVERIFY(p->Create(ptTrueColor24, 3400, 68, 0, nullptr, 0, 0, kStoreMemory));
        QVERIFY(p->Fill(MakeRgb(0, 0, 255)));
        for (int n : {1, 4, 34}) {
            QImage canvas(120, 80, QImage::Format_RGB32);
            canvas.fill(Qt::white);
            QPainter painter(&canvas);
            const QRect at(5, 5, std::min(3400 / n, 100), 68 / n);
            QVERIFY(display::DrawPictureReduced(p.get(), painter, at, n));
            painter.end();
            QCOMPARE(canvas.pixel(at.left(), at.top()), qRgb(0, 0, 255));
            QCOMPARE(canvas.pixel(at.right(), at.bottom()), qRgb(0, 0, 255));
            QCOMPARE(canvas.pixel(at.right() + 1, at.top()), qRgb(255, 255, 255));
        }
    }
};

QTEST_MAIN(DrawPictureTest)
#include "draw_picture_test.moc"
