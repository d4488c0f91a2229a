// Whole-picture operations on an 8000 x 8000 picture in memory, one run per
// bit depth: CopyTo against a plain memcpy of the same bytes, Fill, and
// reading every row with ReadRow from x0 = 0 and from x0 = 3.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "picture/picture.h"

namespace {

constexpr int kSide = 8000;

int TypeForBits(int bits) {
    switch (bits) {
    case 1: return ptBlackWhite;
    case 4: return ptColor16;
    case 8: return ptColor256;
    case 16: return ptColor64K;
    case 24: return ptTrueColor24;
    default: return ptTrueColor32;
    }
}

std::unique_ptr<CPicture> MakePicture(benchmark::State& state, int bits) {
    auto picture = std::make_unique<CPicture>();
    if (!picture->Create(TypeForBits(bits), kSide, kSide, 0, nullptr, 0, 0, kStoreMemory) ||
        !picture->Fill(0x00123456)) {
        state.SkipWithError("picture could not be created in memory");
        return nullptr;
    }
    return picture;
}

std::int64_t ImageBytes(const CPicture& picture) {
    return std::int64_t(picture.GetRowBytes()) * picture.GetHeight();
}

void BM_CopyTo(benchmark::State& state) {
    const int bits = int(state.range(0));
    auto source = MakePicture(state, bits);
    auto target = MakePicture(state, bits);
    if (!source || !target) return;
    for (auto _ : state) benchmark::DoNotOptimize(source->CopyTo(target.get(), 0, 0, nullptr, false));
    state.SetBytesProcessed(state.iterations() * ImageBytes(*source));
}

void BM_Memcpy(benchmark::State& state) {
    const std::size_t bytes = std::size_t(RowBytesFor(kSide, int(state.range(0)))) * kSide;
    std::vector<std::uint8_t> from(bytes, 0x12), to(bytes, 0x34);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(bytes));
}

void BM_Fill(benchmark::State& state) {
    auto picture = MakePicture(state, int(state.range(0)));
    if (!picture) return;
    std::uint32_t colour = 0;
    for (auto _ : state) benchmark::DoNotOptimize(picture->Fill(colour++));
    state.SetBytesProcessed(state.iterations() * ImageBytes(*picture));
}

// Every row of the picture read from x0 = range(1) to the last column.
void BM_ReadRows(benchmark::State& state) {
    auto picture = MakePicture(state, int(state.range(0)));
    if (!picture) return;
    const int x0 = int(state.range(1));
    std::vector<std::uint8_t> row(picture->GetRowBytes() + 8);
    for (auto _ : state) {
        for (int y = 0; y < kSide; ++y) benchmark::DoNotOptimize(picture->ReadRow(x0, kSide - 1, y, row.data()));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * ImageBytes(*picture));
}

void Depths(benchmark::internal::Benchmark* b) {
    for (int bits : {1, 4, 8, 16, 24, 32}) b->Arg(bits);
    b->Unit(benchmark::kMillisecond);
}

void DepthsAndStarts(benchmark::internal::Benchmark* b) {
    for (int bits : {1, 4, 8, 16, 24, 32})
        for (int x0 : {0, 3}) b->Args({bits, x0});
    b->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(BM_CopyTo)->Apply(Depths);
BENCHMARK(BM_Memcpy)->Apply(Depths);
BENCHMARK(BM_Fill)->Apply(Depths);
BENCHMARK(BM_ReadRows)->Apply(DepthsAndStarts);

BENCHMARK_MAIN();
