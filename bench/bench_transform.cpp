// The geometric transforms on a 100-megapixel 24-bit picture in memory, with
// a memcpy of the same bytes in the same run as the yardstick.
//
//   bench_transform [--benchmark_filter=...]
// Environment: BENCH_TRANSFORM_SIDE (default 10000) sets the picture's side.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "picture/picture.h"
#include "picture/transform.h"

namespace {

int Side() {
    const char* s = std::getenv("BENCH_TRANSFORM_SIDE");
    int v = s ? std::atoi(s) : 0;
    return v > 0 && v <= 32767 ? v : 10000;
}

// The picture (and the second picture of the turns) shared by the runs.
struct Pictures {
    std::unique_ptr<CPicture> source, turned, halved;
    Pictures() {
        const int side = Side();
        source = std::make_unique<CPicture>();
        if (!source->Create(ptTrueColor24, side, side, 0, nullptr, 3780, 3780, kStoreMemory)) {
            source.reset();
            return;
        }
        std::vector<std::uint8_t> row(source->GetRowBytes());
        for (int y = 0; y < side; ++y) {
            for (std::size_t i = 0; i < row.size(); ++i) row[i] = std::uint8_t(i * 7 + y * 13);
            source->WriteRow(0, side - 1, y, row.data());
        }
    }
    CPicture* Turned() {
        if (!turned) {
            turned = std::make_unique<CPicture>();
            if (!turned->CreateFromHeader(source->GetHeader(), source->GetHeight(),
                                          source->GetWidth(), source->GetType(), kStoreMemory))
                turned.reset();
        }
        return turned.get();
    }
    CPicture* Halved() {
        if (!halved) {
            halved = std::make_unique<CPicture>();
            if (!halved->CreateFromHeader(source->GetHeader(), 0, 0, source->GetType(), kStoreMemory))
                halved.reset();
        }
        return halved.get();
    }
};

Pictures& Shared() {
    static Pictures pictures;
    return pictures;
}

void SetBytes(benchmark::State& state, CPicture* p) {
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(p->GetRowBytes()) *
                            p->GetHeight());
}

void BM_Memcpy(benchmark::State& state) {
    CPicture* p = Shared().source.get();
    if (!p) return state.SkipWithError("no memory for the picture");
    const std::size_t bytes = std::size_t(p->GetRowBytes()) * std::size_t(p->GetHeight());
    std::unique_ptr<std::uint8_t[]> a(new std::uint8_t[bytes]), b(new std::uint8_t[bytes]);
    std::memset(a.get(), 1, bytes);
    std::memset(b.get(), 2, bytes);
    for (auto _ : state) {
        std::memcpy(b.get(), a.get(), bytes);
        benchmark::ClobberMemory();
    }
    SetBytes(state, p);
}

template <int (*Mirror)(CPicture*, bool)>
void BM_Mirror(benchmark::State& state) {
    CPicture* p = Shared().source.get();
    if (!p) return state.SkipWithError("no memory for the picture");
    for (auto _ : state)
        if (!Mirror(p, false)) state.SkipWithError("mirror failed");
    SetBytes(state, p);
}

template <bool Left>
void BM_Rotate(benchmark::State& state) {
    CPicture* p = Shared().source.get();
    CPicture* d = p ? Shared().Turned() : nullptr;
    if (!d) return state.SkipWithError("no memory for the pictures");
    for (auto _ : state)
        if (!(Left ? RotateLeft(p, d, false) : RotateRight(p, d, false)))
            state.SkipWithError("rotation failed");
    SetBytes(state, p);
}

void BM_RotateHalfInto(benchmark::State& state) {
    CPicture* p = Shared().source.get();
    CPicture* d = p ? Shared().Halved() : nullptr;
    if (!d) return state.SkipWithError("no memory for the pictures");
    for (auto _ : state)
        if (!RotateHalfInto(p, d, false)) state.SkipWithError("rotation failed");
    SetBytes(state, p);
}

}  // namespace

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Mirror<MirrorHorizontal>)->Name("BM_MirrorHorizontal")->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Mirror<MirrorVertical>)->Name("BM_MirrorVertical")->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Mirror<MirrorDiagonal>)->Name("BM_MirrorDiagonal")->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Rotate<true>)->Name("BM_RotateLeft")->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Rotate<false>)->Name("BM_RotateRight")->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_RotateHalfInto)->Unit(benchmark::kMillisecond)->MinTime(1.0);

BENCHMARK_MAIN();
