// Cell maps of the standard palettes: the search, the data file and its reader.
#include "picture/palette_map.h"

#include <algorithm>
#include <array>
#include <memory>
#include <cstdio>
#include <cstring>
#include <optional>

#include "picture/image_store.h"
#include "picture/picture.h"
#include "resources/strings.h"

namespace {

constexpr int kNoDistance = 320000;

// Destination types with a map, each with the offset of its 4096 bytes.
struct MapSlot {
    int type;
    int offset;
};
constexpr MapSlot kSlots[] = {
    {ptTrueColor24, 0}, {ptColor32K, 0},    {ptColor64K, 0},   {ptColor256, 16384},
    {ptColor16, 20480}, {ptBlackWhite, 24576}, {ptGray256, 28672}, {ptGray16, 32768},
};

std::string g_pathOverride;

// Maps already obtained, by offset / 4096 (file contents or computed).
struct MapCache {
    std::array<std::optional<std::array<std::uint8_t, kCellCount>>, 9> maps;
};
MapCache& Cache() {
    static MapCache cache;
    return cache;
}

bool ReadMapFromFile(int offset, std::uint8_t* map) {
    std::FILE* file = std::fopen(PaletteMapPath().c_str(), "rb");
    if (!file) return false;
    bool ok = std::fseek(file, offset, SEEK_SET) == 0 &&
              std::fread(map, 1, kCellCount, file) == std::size_t(kCellCount);
    std::fclose(file);
    return ok;
}

}  // namespace

int PaletteMapOffset(int type) {
    for (const MapSlot& slot : kSlots)
        if (slot.type == type) return slot.offset;
    return -1;
}

int NearestColourIndex(const std::uint8_t* rgb, int count, int r, int g, int b) {
    int best = kNoDistance;
    int bestIndex = 0;
    for (int i = 0; i < count; ++i) {
        int dr = r - rgb[3 * i], dg = g - rgb[3 * i + 1], db = b - rgb[3 * i + 2];
        int distance = dr * dr + dg * dg + db * db;
        if (distance < best) {
            best = distance;
            bestIndex = i;
            if (distance == 0) break;
        }
    }
    return bestIndex;
}

void ComputeCellMap(const std::uint8_t* rgb, int count, std::uint8_t* map) {
    bool grays = true;
    for (int i = 0; i < count && grays; ++i)
        grays = rgb[3 * i] == rgb[3 * i + 1] && rgb[3 * i + 1] == rgb[3 * i + 2];
    for (int cell = 0; cell < kCellCount; ++cell) {
        int r = CellRed(cell), g = CellGreen(cell), b = CellBlue(cell);
        if (grays) r = g = b = Luminance(r, g, b);
        map[cell] = std::uint8_t(NearestColourIndex(rgb, count, r, g, b));
    }
}

void ComputeStandardCellMap(int type, std::uint8_t* map) {
    std::unique_ptr<Palette> palette = CreateStandardPalette(type);
    std::uint8_t rgb[256 * 3] = {};
    int count = palette ? std::min(palette->Count(), 256) : 0;
    if (!PaletteToRgb(palette.get(), count, rgb)) count = 0;
    ComputeCellMap(rgb, count, map);
}

std::vector<std::uint8_t> BuildPaletteMapFile() {
    std::vector<std::uint8_t> file(kPaletteMapFileBytes, 0);
    for (const MapSlot& slot : kSlots)
        ComputeStandardCellMap(slot.type, file.data() + slot.offset);
    return file;
}

bool StandardCellMap(int type, std::uint8_t* map) {
    int offset = PaletteMapOffset(type);
    if (offset < 0) return false;
    auto& cached = Cache().maps[std::size_t(offset / kCellCount)];
    if (!cached) {
        std::array<std::uint8_t, kCellCount> bytes;
        // A map naming entries the palette does not have is no map at all.
        const int colours = StandardColourCount(type);
        if (!ReadMapFromFile(offset, bytes.data()) ||
            std::any_of(bytes.begin(), bytes.end(), [colours](std::uint8_t i) { return i >= colours; }))
            ComputeStandardCellMap(type, bytes.data());
        cached = bytes;
    }
    std::memcpy(map, cached->data(), kCellCount);
    return true;
}

std::string PaletteMapPath() {
    if (!g_pathOverride.empty()) return g_pathOverride;
    const char* name = LoadStringById(5009);
    return AppDirectory('/') + ((name && *name) ? name : "palette.map");
}

void SetPaletteMapPath(const std::string& path) {
    g_pathOverride = path;
    for (auto& map : Cache().maps) map.reset();
}
