// Row traffic through the picture store, in memory and in a swap file, and
// the cost of moving a store and of the residency policy.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "picture/image_store.h"

namespace {

constexpr std::uint64_t kRowBytes = 3000 * 3;  // a 3000-pixel 24-bit row
constexpr std::uint64_t kRows = 1024;

void RowReads(benchmark::State& state, int flags) {
    CImageStore store;
    if (!store.Allocate(kRowBytes * kRows, flags)) {
        state.SkipWithError("allocation failed");
        return;
    }
    std::vector<std::uint8_t> row(kRowBytes);
    std::uint64_t y = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(store.ReadBytes((y++ % kRows) * kRowBytes, kRowBytes, row.data()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kRowBytes));
}

void RowWrites(benchmark::State& state, int flags) {
    CImageStore store;
    if (!store.Allocate(kRowBytes * kRows, flags)) {
        state.SkipWithError("allocation failed");
        return;
    }
    std::vector<std::uint8_t> row(kRowBytes, 0x5A);
    std::uint64_t y = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(store.WriteBytes((y++ % kRows) * kRowBytes, kRowBytes, row.data()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kRowBytes));
}

void BM_RowReadMemory(benchmark::State& state) { RowReads(state, kStoreMemory); }
void BM_RowReadSwapFile(benchmark::State& state) { RowReads(state, kStoreSwapFile); }
void BM_RowWriteMemory(benchmark::State& state) { RowWrites(state, kStoreMemory); }
void BM_RowWriteSwapFile(benchmark::State& state) { RowWrites(state, kStoreSwapFile); }

// One store of range(0) MiB out to its swap file and back.
void BM_SwapOutAndIn(benchmark::State& state) {
    CImageStore store;
    const std::uint64_t size = static_cast<std::uint64_t>(state.range(0)) << 20;
    if (!store.Allocate(size, kStoreMemory)) {
        state.SkipWithError("allocation failed");
        return;
    }
    for (auto _ : state) {
        if (!store.SwapOut() || !store.SwapIn()) state.SkipWithError("swap failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size * 2));
}

// The residency policy over range(0) small stores that all stay in memory.
void BM_MakeRoom(benchmark::State& state) {
    std::vector<std::unique_ptr<CImageStore>> stores;
    for (int i = 0; i < state.range(0); ++i) {
        stores.push_back(std::make_unique<CImageStore>());
        stores.back()->Allocate(4096, kStoreMemory);
    }
    for (auto _ : state) benchmark::DoNotOptimize(CImageStore::MakeRoom());
}

BENCHMARK(BM_RowReadMemory);
BENCHMARK(BM_RowReadSwapFile);
BENCHMARK(BM_RowWriteMemory);
BENCHMARK(BM_RowWriteSwapFile);
BENCHMARK(BM_SwapOutAndIn)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MakeRoom)->Arg(10)->Arg(200);

}  // namespace

BENCHMARK_MAIN();
