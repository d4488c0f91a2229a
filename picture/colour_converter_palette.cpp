// The optimised palette: 256 colours generated from a 24-bit picture's own
// pixels through a 512-bin histogram.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "picture/colour_converter.h"
#include "picture/colour_converter_kernels.h"
#include "picture/picture.h"

namespace {

constexpr int kBins = 512;
constexpr std::uint32_t kBinLimit = 0x7FFFFF;
constexpr int kSpare = 240;  // entries after the 16 standard colours

struct Bin {
    std::uint64_t sum[3] = {0, 0, 0};  // red, green, blue
    std::uint32_t count = 0;
    int colour[3] = {255, 255, 255};  // average; white when empty
};

int BinIndex(int lr, int lg, int lb) { return 64 * lr + 8 * lg + lb; }
int Expand(int level) { return (level * 255 + 3) / 7; }

bool IsWhite(const Bin& bin) {
    return bin.colour[0] == 255 && bin.colour[1] == 255 && bin.colour[2] == 255;
}

// Bins that would only repeat one of the standard colours, with that colour.
struct Duplicate {
    int levels[3];
    std::uint8_t colour[3];
};
std::vector<Duplicate> StandardDuplicates() {
    std::vector<Duplicate> list;
    list.push_back({{0, 0, 0}, {0, 0, 0}});
    for (int axis = 2; axis >= 0; --axis) {  // blue, green, red
        for (int level : {3, 4, 7}) {
            Duplicate d{{0, 0, 0}, {0, 0, 0}};
            d.levels[axis] = level;
            d.colour[axis] = level == 7 ? 255 : 128;
            list.push_back(d);
        }
    }
    for (int zero = 0; zero < 3; ++zero) {  // two components set, the third 0
        for (int a : {3, 4})
            for (int b : {3, 4}) {
                Duplicate d{{0, 0, 0}, {0, 0, 0}};
                int k = 0;
                for (int axis = 0; axis < 3; ++axis) {
                    if (axis == zero) continue;
                    d.levels[axis] = k++ == 0 ? a : b;
                    d.colour[axis] = 128;
                }
                list.push_back(d);
            }
        Duplicate bright{{7, 7, 7}, {255, 255, 255}};
        bright.levels[zero] = 0;
        bright.colour[zero] = 0;
        list.push_back(bright);
    }
    for (int r : {3, 4})
        for (int g : {3, 4})
            for (int b : {3, 4}) list.push_back({{r, g, b}, {128, 128, 128}});
    for (int r : {5, 6})
        for (int g : {5, 6})
            for (int b : {5, 6}) list.push_back({{r, g, b}, {192, 192, 192}});
    list.push_back({{7, 7, 7}, {255, 255, 255}});
    return list;
}

// Neighbour offsets in the order they are tried: faces, edges, corners.
constexpr int kNeighbours[26][3] = {
    {1, 0, 0},   {-1, 0, 0},  {0, 1, 0},   {0, -1, 0},  {0, 0, 1},   {0, 0, -1},  {1, 1, 0},
    {1, -1, 0},  {1, 0, 1},   {1, 0, -1},  {-1, 1, 0},  {-1, -1, 0}, {-1, 0, 1},  {-1, 0, -1},
    {0, 1, 1},   {0, 1, -1},  {0, -1, 1},  {0, -1, -1}, {1, 1, 1},   {1, 1, -1},  {1, -1, 1},
    {1, -1, -1}, {-1, 1, 1},  {-1, 1, -1}, {-1, -1, 1}, {-1, -1, -1},
};

// Merges bin into its first close, non-empty neighbour; true on success.
bool MergeIntoNeighbour(std::vector<Bin>& bins, int index) {
    Bin& bin = bins[std::size_t(index)];
    const int lr = index / 64, lg = (index / 8) % 8, lb = index % 8;
    const int d = bin.count > 256 ? 20 : 64;
    for (const auto& offset : kNeighbours) {
        int nr = lr + offset[0], ng = lg + offset[1], nb = lb + offset[2];
        if (nr < 0 || nr > 7 || ng < 0 || ng > 7 || nb < 0 || nb > 7) continue;
        Bin& other = bins[std::size_t(BinIndex(nr, ng, nb))];
        if (other.count == 0) continue;
        bool close = true;
        for (int k = 0; k < 3 && close; ++k) {
            int low = std::max(bin.colour[k] - d, 0), high = std::min(bin.colour[k] + d, 255);
            close = other.colour[k] >= low && other.colour[k] <= high;
        }
        if (!close) continue;
        const std::uint64_t total = std::uint64_t(other.count) + bin.count;
        for (int k = 0; k < 3; ++k)
            other.colour[k] = int((std::uint64_t(other.colour[k]) * other.count +
                                   std::uint64_t(bin.colour[k]) * bin.count) /
                                  total);
        other.count = std::uint32_t(std::min<std::uint64_t>(total, 0xFFFFFFFFu));
        for (int& c : bin.colour) c = 255;
        return true;
    }
    return false;
}

}  // namespace

std::unique_ptr<Palette> GenerateOptimisedPalette(CPicture* source) {
    if (!source || !source->HasHeader() || source->GetBitCount() != 24) return nullptr;
    const int width = source->GetWidth(), height = source->GetHeight();
    if (width <= 0 || height <= 0) return nullptr;

    // 1. Histogram, rows from the bottom up.
    std::vector<Bin> bins(kBins);
    std::uint8_t level[256];
    for (int c = 0; c < 256; ++c) level[c] = std::uint8_t((c * 7 + 128) >> 8);
    std::vector<std::uint8_t> row(std::size_t(width) * 3 + 4);
    for (int y = height - 1; y >= 0; --y) {
        if (!source->ReadRow(0, width - 1, y, row.data())) return nullptr;
        const std::uint8_t* p = row.data();
        for (int x = 0; x < width; ++x, p += 3) {
            Bin& bin = bins[std::size_t(BinIndex(level[p[2]], level[p[1]], level[p[0]]))];
            if (bin.count >= kBinLimit) continue;
            bin.sum[0] += p[2];
            bin.sum[1] += p[1];
            bin.sum[2] += p[0];
            ++bin.count;
        }
    }

    // 2. Averages; empty bins are white.
    int nonEmpty = 0;
    for (Bin& bin : bins) {
        if (bin.count == 0) continue;
        ++nonEmpty;
        for (int k = 0; k < 3; ++k) bin.colour[k] = int(bin.sum[k] / bin.count);
    }

    // 3. The standard 16 colours first.
    std::vector<PaletteEntry> entries(256, PaletteEntry{255, 255, 255, 0});
    const std::unique_ptr<Palette> standard16 = CreateStandardPalette(ptColor16);
    for (int i = 0; i < 16 && i < standard16->Count(); ++i) entries[std::size_t(i)] = (*standard16)[i];
    int next = 16;

    if (nonEmpty <= kSpare) {
        // 4. Spread colours around the densest bins into the spare entries.
        int spare = kSpare - nonEmpty;
        const std::uint64_t pixels = std::uint64_t(width) * std::uint64_t(height);
        std::vector<std::uint32_t> counts(kBins);
        for (int i = 0; i < kBins; ++i) counts[std::size_t(i)] = bins[std::size_t(i)].count;
        while (spare > 0) {
            int densest = 0;
            for (int i = 1; i < kBins; ++i)
                if (counts[std::size_t(i)] > counts[std::size_t(densest)]) densest = i;
            const std::uint32_t count = counts[std::size_t(densest)];
            counts[std::size_t(densest)] = 0;
            if (count == 0) break;
            const int levels[3] = {densest / 64, (densest / 8) % 8, densest % 8};
            int low[3], high[3];
            for (int k = 0; k < 3; ++k) {
                int q = Expand(levels[k]);
                low[k] = std::max(q - 18, 0);
                high[k] = q >= 237 ? 255 : std::min(q + 18, 255);
            }
            std::uint64_t k = std::uint64_t(kSpare - nonEmpty) * count / pixels + 1;
            int steps = int(std::min<std::uint64_t>(k, std::uint64_t(spare)));
            PaletteEntry previous{0, 0, 0, 1};  // flags differ: never equal to a colour
            for (int s = 1; s <= steps; ++s) {
                std::uint8_t v[3];
                for (int c = 0; c < 3; ++c)
                    v[c] = std::uint8_t(
                        low[c] + (2 * (high[c] - low[c]) * s + (steps + 1)) / (2 * (steps + 1)));
                const PaletteEntry e{v[0], v[1], v[2], 0};
                if (e == previous) continue;
                previous = e;
                entries[std::size_t(next++)] = e;
                --spare;
            }
        }
    } else {
        // 5. Drop bins that only repeat a standard colour, then merge the
        //    thinnest bins into close neighbours until 240 remain.
        for (const Duplicate& d : StandardDuplicates()) {
            Bin& bin = bins[std::size_t(BinIndex(d.levels[0], d.levels[1], d.levels[2]))];
            if (bin.count == 0) continue;
            bool near = true;
            for (int k = 0; k < 3; ++k) near = near && std::abs(bin.colour[k] - d.colour[k]) < 8;
            if (!near) continue;
            bin.count = 0;
            for (int& c : bin.colour) c = 255;
            --nonEmpty;
        }
        while (nonEmpty > kSpare) {
            int thinnest = -1;
            for (int i = 0; i < kBins; ++i) {
                std::uint32_t c = bins[std::size_t(i)].count;
                if (c > 0 && c < 32767 &&
                    (thinnest < 0 || c < bins[std::size_t(thinnest)].count))
                    thinnest = i;
            }
            if (thinnest < 0) break;
            if (MergeIntoNeighbour(bins, thinnest)) --nonEmpty;
            bins[std::size_t(thinnest)].count = 0;
        }
    }

    // 7. The bin colours in bin order, then white.
    int taken = 0;
    for (int i = 0; i < kBins && taken < nonEmpty && next < 256; ++i) {
        const Bin& bin = bins[std::size_t(i)];
        if (IsWhite(bin)) continue;
        entries[std::size_t(next++)] = PaletteEntry{std::uint8_t(bin.colour[0]),
                                                    std::uint8_t(bin.colour[1]),
                                                    std::uint8_t(bin.colour[2]), 0};
        ++taken;
    }
    return std::make_unique<Palette>(std::move(entries));
}
