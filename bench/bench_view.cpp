// Repainting a maximised picture view (1920 x 1080) of a 100-megapixel
// picture through the band renderer, at 1:1, 1/2 to 1/16 and after a scroll
// by one page, with the picture in memory and in its swap file; beside it a
// plain QPainter::drawImage of the same area from a QImage prepared
// beforehand (what a renderer that keeps the whole picture as an image
// would pay per repaint).
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstring>
#include <memory>
#include <vector>

#include "display/draw_picture_qt.h"
#include "display/view_geometry.h"
#include "picture/picture.h"

namespace {

constexpr int kWidth = 12000, kHeight = 8334;  // 100 megapixels
constexpr int kViewW = 1920, kViewH = 1080;

std::unique_ptr<CPicture> MakeBig(int storeFlags) {
    auto p = std::make_unique<CDocPicture>();
    if (!p->Create(ptTrueColor24, kWidth, kHeight, 0, nullptr, 0, 0, storeFlags)) return nullptr;
    std::vector<std::uint8_t> row(std::size_t(kWidth) * 3);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            row[3 * x] = std::uint8_t(x);
            row[3 * x + 1] = std::uint8_t(y);
            row[3 * x + 2] = std::uint8_t(x ^ y);
        }
        p->WriteRow(0, kWidth - 1, y, row.data());
    }
    return p;
}

CPicture* Picture(bool swapped) {
    static std::unique_ptr<CPicture> memory, disk;
    auto& slot = swapped ? disk : memory;
    if (!slot) slot = MakeBig(swapped ? kStoreSwapFile : kStoreMemory);
    return slot.get();
}

// The target a widget paints into: the window's backing store.
QImage& Target() {
    static QImage target(kViewW, kViewH, QImage::Format_RGB32);
    return target;
}

// The picture point at the top-left of a view centred on the picture.
QPoint CentredOrigin(int zoom) {
    const int visW = int(display::VisibleLength(kViewW, zoom)), visH = int(display::VisibleLength(kViewH, zoom));
    int x = std::max(0, (kWidth - visW) / 2), y = std::max(0, (kHeight - visH) / 2);
    if (zoom <= -2) x = x / -zoom * -zoom, y = y / -zoom * -zoom;
    return {x, y};
}

void Repaint(benchmark::State& state, bool swapped, int zoom) {
    CPicture* picture = Picture(swapped);
    if (!picture) return state.SkipWithError("picture not made");
    const QPoint origin = CentredOrigin(zoom);
    display::DrawStats stats;
    for (auto _ : state) {
        QPainter painter(&Target());
        stats = {};
        display::DrawPicture(picture, origin, painter, QRect(0, 0, kViewW, kViewH), zoom, &stats);
    }
    state.counters["rows_read"] = stats.rowsRead;
    state.counters["bands"] = stats.bands;
    state.counters["store_state"] = picture->GetStoreState();
}

// A view's repaint once its cache holds the picture reduced at the zoom
// (the cache is made before the timing starts, as the first paint at a
// zoom makes it).
void CachedRepaint(benchmark::State& state, int zoom) {
    CPicture* picture = Picture(false);
    if (!picture) return state.SkipWithError("picture not made");
    const QPoint origin = CentredOrigin(zoom);
    display::ReductionCache cache;
    {
        QPainter painter(&Target());
        display::DrawPicture(picture, origin, painter, QRect(0, 0, kViewW, kViewH), zoom, nullptr, &cache);
    }
    display::DrawStats stats;
    for (auto _ : state) {
        QPainter painter(&Target());
        stats = {};
        display::DrawPicture(picture, origin, painter, QRect(0, 0, kViewW, kViewH), zoom, &stats, &cache);
    }
    state.counters["rows_read"] = stats.rowsRead;
}

// A page down at 1:1: what is shown moves up by half the view (the part
// that stays is moved, not drawn) and the exposed strip is drawn.
void PageScroll(benchmark::State& state, bool swapped) {
    CPicture* picture = Picture(swapped);
    if (!picture) return state.SkipWithError("picture not made");
    QPoint origin = CentredOrigin(1);
    const int page = kViewH / 2;
    int direction = 1;
    for (auto _ : state) {
        QImage& target = Target();
        if (origin.y() + page + kViewH > kHeight || origin.y() - page < 0) direction = -direction;
        origin.ry() += direction * page;
        const std::size_t stride = std::size_t(target.bytesPerLine());
        if (direction > 0) {
            std::memmove(target.bits(), target.bits() + stride * page, stride * (kViewH - page));
        } else {
            std::memmove(target.bits() + stride * page, target.bits(), stride * (kViewH - page));
        }
        QPainter painter(&target);
        const QRect strip = direction > 0 ? QRect(0, kViewH - page, kViewW, page) : QRect(0, 0, kViewW, page);
        painter.setClipRect(strip);
        display::DrawPicture(picture, origin, painter, QRect(0, 0, kViewW, kViewH), 1);
    }
}

// The comparison: the source area of the repaint held as an RGB32 QImage
// made beforehand, drawn (and reduced, without smoothing) by QPainter.
void PreparedDrawImage(benchmark::State& state, int zoom) {
    CPicture* picture = Picture(false);
    if (!picture) return state.SkipWithError("picture not made");
    const QPoint origin = CentredOrigin(zoom);
    const int srcW = std::min<int>(kWidth - origin.x(), int(display::VisibleLength(kViewW, zoom)));
    const int srcH = std::min<int>(kHeight - origin.y(), int(display::VisibleLength(kViewH, zoom)));
    QImage prepared(srcW, srcH, QImage::Format_RGB32);
    std::vector<std::uint8_t> row(std::size_t(srcW) * 3);
    for (int y = 0; y < srcH; ++y) {
        picture->ReadRow(origin.x(), origin.x() + srcW - 1, origin.y() + y, row.data());
        QRgb* line = reinterpret_cast<QRgb*>(prepared.scanLine(y));
        for (int x = 0; x < srcW; ++x) line[x] = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    }
    const QRect target(0, 0, int(display::DisplayedLength(srcW, zoom)), int(display::DisplayedLength(srcH, zoom)));
    for (auto _ : state) {
        QPainter painter(&Target());
        painter.drawImage(target, prepared);
    }
}

void BM_Repaint_Memory_x1(benchmark::State& s) { Repaint(s, false, 1); }
void BM_Repaint_Memory_1of2(benchmark::State& s) { Repaint(s, false, -2); }
void BM_Repaint_Memory_1of3(benchmark::State& s) { Repaint(s, false, -3); }
void BM_Repaint_Memory_1of4(benchmark::State& s) { Repaint(s, false, -4); }
void BM_Repaint_Memory_1of8(benchmark::State& s) { Repaint(s, false, -8); }
void BM_Repaint_Memory_1of16(benchmark::State& s) { Repaint(s, false, -16); }
void BM_PageScroll_Memory(benchmark::State& s) { PageScroll(s, false); }
void BM_CachedRepaint_1of3(benchmark::State& s) { CachedRepaint(s, -3); }
void BM_CachedRepaint_1of4(benchmark::State& s) { CachedRepaint(s, -4); }
void BM_CachedRepaint_1of8(benchmark::State& s) { CachedRepaint(s, -8); }
void BM_CachedRepaint_1of16(benchmark::State& s) { CachedRepaint(s, -16); }
void BM_Repaint_SwapFile_x1(benchmark::State& s) { Repaint(s, true, 1); }
void BM_Repaint_SwapFile_1of4(benchmark::State& s) { Repaint(s, true, -4); }
void BM_Repaint_SwapFile_1of16(benchmark::State& s) { Repaint(s, true, -16); }
void BM_PageScroll_SwapFile(benchmark::State& s) { PageScroll(s, true); }
void BM_PreparedDrawImage_x1(benchmark::State& s) { PreparedDrawImage(s, 1); }
void BM_PreparedDrawImage_1of4(benchmark::State& s) { PreparedDrawImage(s, -4); }
void BM_PreparedDrawImage_1of16(benchmark::State& s) { PreparedDrawImage(s, -16); }

BENCHMARK(BM_Repaint_Memory_x1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Repaint_Memory_1of2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Repaint_Memory_1of3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Repaint_Memory_1of4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Repaint_Memory_1of8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Repaint_Memory_1of16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageScroll_Memory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CachedRepaint_1of3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CachedRepaint_1of4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CachedRepaint_1of8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CachedRepaint_1of16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Repaint_SwapFile_x1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Repaint_SwapFile_1of4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Repaint_SwapFile_1of16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageScroll_SwapFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreparedDrawImage_x1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreparedDrawImage_1of4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreparedDrawImage_1of16)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
