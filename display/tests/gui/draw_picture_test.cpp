#include <QPainter>
#include <QtTest>

#include "display/draw_picture_qt.h"
#include "picture/palette_map.h"
#include "picture_fixtures.h"

using namespace display_test;

namespace {

// An image that says it has fewer bits than it holds, as a display of that
// depth does: drawing on it reduces its colours so.
class ShallowImage : public QImage {
public:
    ShallowImage(int w, int h, int depth) : QImage(w, h, QImage::Format_RGB32), depth_(depth) {}

protected:
    int metric(PaintDeviceMetric metric) const override {
        return metric == PdmDepth ? depth_ : QImage::metric(metric);
    }

private:
    int depth_;
};

}  // namespace

class DrawPictureTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        // The cell maps come from the build's palette.map.
        SetPaletteMapPath(qgetenv("STITCHARA_BUILD_DIR").toStdString() + "/bin/palette.map");
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
        ShallowImage canvas(64, 64, displayBits);
        QPainter painter(&canvas);
        QCOMPARE(display::DisplayBits(painter.device()), displayBits);
        QVERIFY(display::DrawPicture(p.get(), QPoint(0, 0), painter, QRect(0, 0, 64, 64), 1));
        painter.end();
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
        ShallowImage g8(20, 20, 8);
        QPainter p8(&g8);
        QVERIFY(display::DrawPicture(gray.get(), QPoint(0, 0), p8, QRect(0, 0, 20, 20), 1));
        p8.end();
        QVERIFY(FirstDifference(g8, Resampled(*gray, 0, 0, 1, 20, 20, 0)).isEmpty());
    }

    // A one-pixel line, dark on light, stays visible when the view reduces
    // it, at 1/2, 1/3 and 1/16, and so does a picture scaled into a small
    // target (thumbnails, the print preview): every shown pixel its block
    // covers is darker than the background by a third of the line's
    // contrast at least, and the background away from it stays as it is.
    void thinLinesStayVisibleWhenReduced_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("zoom");
        for (int type : {ptBlackWhite, ptColor256, ptGray256, ptTrueColor24})
            for (int zoom : {-2, -3, -16, 0})  // 0: scaled into a target 1/7.3 the size
                QTest::addRow("type %d zoom %d", type, zoom) << type << zoom;
    }
    void thinLinesStayVisibleWhenReduced() {
        QFETCH(int, type);
        QFETCH(int, zoom);
        const int W = 401, H = 333, lineX = 77, lineY = 250;
        std::vector<RgbQuad> table(256, RgbQuad{200, 210, 220, 0});
        table[1] = RgbQuad{40, 30, 20, 0};
        auto p = std::make_unique<CDocPicture>();
        QVERIFY(p->Create(type, W, H, type == ptColor256 ? 256 : 0, type == ptColor256 ? table.data() : nullptr, 0, 0,
                          kStoreMemory));
        const std::uint32_t light = type == ptBlackWhite ? 1 : type == ptColor256 ? 0 : type == ptGray256 ? 215 : 0xDCD2C8;
        const std::uint32_t dark = type == ptBlackWhite ? 0 : type == ptColor256 ? 1 : type == ptGray256 ? 25 : 0x141E28;
        QVERIFY(p->Fill(light));
        for (int y = 0; y < H; ++y) QVERIFY(p->SetPixelValue(lineX, y, dark));
        for (int x = 0; x < W; ++x) QVERIFY(p->SetPixelValue(x, lineY, dark));

        QImage actual(1, 1, QImage::Format_RGB32);
        QPainter one(&actual);
        QVERIFY(display::DrawPicture(p.get(), QPoint(lineX, 0), one, QRect(0, 0, 1, 1), 1));
        one.end();
        const QRgb line = actual.pixel(0, 0);
        QImage canvas(W, H, QImage::Format_RGB32);
        canvas.fill(Qt::magenta);
        QPainter painter(&canvas);
        double shownX, shownY, factor;  // where the lines show, the reduction
        QSize shown;
        if (zoom) {
            factor = -zoom;
            shown = QSize((W + -zoom - 1) / -zoom, (H + -zoom - 1) / -zoom);
            QVERIFY(display::DrawPicture(p.get(), QPoint(0, 0), painter, QRect(QPoint(0, 0), shown), zoom));
        } else {
            factor = 7.3;
            shown = QSize(int(W / factor), int(H / factor));
            QVERIFY(display::DrawPictureInto(p.get(), QRect(0, 0, W, H), painter, QRectF(QPoint(0, 0), shown)));
        }
        painter.end();
        shownX = lineX * shown.width() / double(W);
        shownY = lineY * shown.height() / double(H);
        const QRgb background = canvas.pixel(shown.width() - 1, 0);
        const int contrast = qGreen(background) - qGreen(line);
        QVERIFY(contrast > 100);
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x) {
                const int g = qGreen(canvas.pixel(x, y));
                if (x == int(shownX) || y == int(shownY)) {
                    QVERIFY2(qGreen(background) - g >= contrast / 3,
                             qPrintable(QString("(%1,%2) %3 of %4").arg(x).arg(y).arg(g).arg(qGreen(background))));
                } else if (std::abs(x - shownX) > 1 && std::abs(y - shownY) > 1) {
                    QCOMPARE(canvas.pixel(x, y), background);
                }
            }
        QCOMPARE(canvas.pixel(shown.width(), 0), qRgb(255, 0, 255));  // nothing beyond
    }

    // A view's cache: the first reduced drawing of a large picture reduces
    // all of it, later ones (scrolled elsewhere) read no rows and show the
    // same as a drawing without it; another zoom or a cleared cache reduces
    // anew, and an origin off the blocks' corners reads the rows itself.
    void cachedReductionEqualsTheDirectOne() {
        auto p = MakePicture(ptTrueColor24, 4096, 2048, 5);
        QVERIFY(p);
        display::ReductionCache cache;
        auto draw = [&](QPoint origin, int zoom, display::ReductionCache* with, int& rowsRead) {
            QImage canvas(200, 150, QImage::Format_RGB32);
            canvas.fill(Qt::magenta);
            QPainter painter(&canvas);
            display::DrawStats stats;
            if (!display::DrawPicture(p.get(), origin, painter, QRect(0, 0, 200, 150), zoom, &stats, with)) return QImage();
            rowsRead = stats.rowsRead;
            return canvas;
        };
        int rows = -1, direct = -1;
        QCOMPARE(draw({400, 800}, -4, &cache, rows), draw({400, 800}, -4, nullptr, direct));
        QCOMPARE(rows, 2048);
        QCOMPARE(direct, 600);
        const QImage later = draw({3600, 1600}, -4, &cache, rows);
        QCOMPARE(rows, 0);
        QVERIFY(FirstDifference(later, Resampled(*p, 3600, 1600, -4, 200, 150, qRgb(255, 0, 255))).isEmpty());
        QCOMPARE(draw({0, 0}, -8, &cache, rows), draw({0, 0}, -8, nullptr, direct));
        QCOMPARE(rows, 2048);
        draw({401, 800}, -8, &cache, rows);
        QCOMPARE(rows, 1200);
        cache.Clear();
        draw({0, 0}, -8, &cache, rows);
        QCOMPARE(rows, 2048);
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
