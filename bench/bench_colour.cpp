// Colour conversion and rescaling of a 50-megapixel 24-bit picture:
// error diffusion to the standard 256-colour palette, the optimised palette,
// and nearest-neighbour rescales to half and double size.
//
//   bench_colour                         runs the measurements
//   bench_colour --make-input DIR        writes DIR/input.bmp (the same
//                                        picture) and DIR/standard256.bmp (the
//                                        standard palette as 16 x 16 pixels)
//                                        for the side-by-side script
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "picture/colour_converter.h"
#include "picture/picture.h"
#include "picture/resample.h"

namespace {

constexpr int kWidth = 8660, kHeight = 5774;  // 50.0 megapixels

// A photograph-like test picture: smooth gradients with texture and noise.
CPicture* TestPicture() {
    static std::unique_ptr<CPicture> picture;
    if (picture) return picture.get();
    picture = std::make_unique<CPicture>();
    if (!picture->Create(ptTrueColor24, kWidth, kHeight, 0, nullptr, 11811, 11811, kStoreMemory))
        return nullptr;
    std::unique_ptr<std::uint8_t[]> row(new std::uint8_t[std::size_t(kWidth) * 3]);
    std::uint32_t seed = 12345;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            seed = seed * 1103515245u + 12345u;
            int noise = int((seed >> 16) & 15) - 8;
            int r = x * 255 / kWidth + noise, g = y * 255 / kHeight - noise;
            int b = ((x / 7) ^ (y / 5)) & 255;
            std::uint8_t* p = row.get() + 3 * x;
            p[0] = std::uint8_t(std::clamp(b, 0, 255));
            p[1] = std::uint8_t(std::clamp(g, 0, 255));
            p[2] = std::uint8_t(std::clamp(r, 0, 255));
        }
        picture->WriteRow(0, kWidth - 1, y, row.get());
    }
    return picture.get();
}

void Convert(benchmark::State& state, int mode) {
    CPicture* source = TestPicture();
    if (!source) {
        state.SkipWithError("cannot create the test picture");
        return;
    }
    for (auto _ : state) {
        CPicture destination;
        destination.Create(ptColor256, kWidth, kHeight, 0, nullptr, 11811, 11811, kStoreMemory);
        CColourConverter converter;
        if (!converter.Setup(&destination, source, MakeModeAndPattern(mode, 0)) || !converter.Run()) {
            state.SkipWithError("conversion failed");
            return;
        }
        benchmark::DoNotOptimize(destination.GetHeader());
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(kWidth) * kHeight);
}

void BM_DiffusionToStandard256(benchmark::State& state) { Convert(state, kModeDiffusion); }
void BM_OptimisedPalette(benchmark::State& state) { Convert(state, kModeOptimised); }

void RescaleBy(benchmark::State& state, int numerator, int denominator) {
    CPicture* source = TestPicture();
    if (!source) {
        state.SkipWithError("cannot create the test picture");
        return;
    }
    const int w = kWidth * numerator / denominator, h = kHeight * numerator / denominator;
    for (auto _ : state) {
        CPicture destination;
        destination.Create(ptTrueColor24, w, h, 0, nullptr, 11811, 11811, kStoreMemory);
        if (!Rescale(source, &destination)) {
            state.SkipWithError("rescale failed");
            return;
        }
        benchmark::DoNotOptimize(destination.GetHeader());
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(w) * h);
}

void BM_RescaleHalf(benchmark::State& state) { RescaleBy(state, 1, 2); }
void BM_RescaleDouble(benchmark::State& state) { RescaleBy(state, 2, 1); }

BENCHMARK(BM_DiffusionToStandard256)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_OptimisedPalette)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_RescaleHalf)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_RescaleDouble)->Unit(benchmark::kMillisecond)->Iterations(3);

int MakeInput(const std::string& directory) {
    CPicture* picture = TestPicture();
    if (!picture) return 1;
    std::FILE* f = std::fopen((directory + "/input.bmp").c_str(), "wb");
    if (!f || !picture->WriteBmp(f)) return 1;
    std::fclose(f);
    CPicture swatch;
    if (!swatch.Create(ptTrueColor24, 16, 16, 0, nullptr, 3780, 3780, kStoreMemory)) return 1;
    std::unique_ptr<Palette> standard = CreateStandardPalette(ptColor256);
    for (int i = 0; i < 256; ++i)
        swatch.SetPixelValue(i % 16, i / 16,
                             MakeRgb((*standard)[i].red, (*standard)[i].green, (*standard)[i].blue));
    f = std::fopen((directory + "/standard256.bmp").c_str(), "wb");
    if (!f || !swatch.WriteBmp(f)) return 1;
    std::fclose(f);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--make-input") == 0) return MakeInput(argv[2]);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
