// Cell maps: the 24-bit colour space cut into 4096 cells (four high bits of
// red, green and blue), each cell mapped to a destination palette index.
// The maps of the standard palettes are kept in the data file "palette.map"
// beside the executables, at a fixed offset per destination type; when the
// file cannot be read they are computed by the same search that built it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

constexpr int kCellCount = 4096;
constexpr std::uint64_t kPaletteMapFileBytes = 36864;

// The cell of a colour and the colour a cell stands for (17 times each level).
constexpr int CellOf(int r, int g, int b) { return ((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4); }
constexpr int CellRed(int cell) { return 17 * ((cell >> 8) & 15); }
constexpr int CellGreen(int cell) { return 17 * ((cell >> 4) & 15); }
constexpr int CellBlue(int cell) { return 17 * (cell & 15); }

// The gray level of a colour, as every conversion to gray reckons it.
constexpr int Luminance(int r, int g, int b) { return (30 * r + 59 * g + 11 * b) / 100; }

// Byte offset of a destination type's map in the file; -1 for types without one.
int PaletteMapOffset(int type);

// Index of the colour of rgb (count red, green, blue triples) nearest to
// (r, g, b) by squared distance, lowest index on ties; 0 when count is 0.
int NearestColourIndex(const std::uint8_t* rgb, int count, int r, int g, int b);

// For each of the 4096 cells the nearest of the count colours. A palette of
// grays only takes each cell to the level nearest its luminance, as the
// conversion to 256 grays does, not to the level nearest in red, green and
// blue alike (their plain average, which darkens greens and reds).
void ComputeCellMap(const std::uint8_t* rgb, int count, std::uint8_t* map);

// The map of a standard palette (count colours) computed from scratch.
void ComputeStandardCellMap(int type, std::uint8_t* map);

// The whole file's contents: every standard map at its offset.
std::vector<std::uint8_t> BuildPaletteMapFile();

// The standard palette's map of a destination type: read from the file when
// all 4096 bytes arrive, else computed. False for a type without a map.
bool StandardCellMap(int type, std::uint8_t* map);

// Where the file is looked for: the executable's directory and the name of
// string 5009, unless a path was set (tests; empty returns to the default).
std::string PaletteMapPath();
void SetPaletteMapPath(const std::string& path);
