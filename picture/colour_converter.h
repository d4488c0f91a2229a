// CColourConverter: brings the pixels of one picture into the pixel format
// and palette of another. True colour to a palette (nearest colour through a
// 4096-cell map, an optimised palette generated from the picture, serpentine
// error diffusion or ordered dither), palette to palette, palette to true
// colour and true colour to 256 grays. Whole pictures go through Setup and
// Run; print bands use ConvertRow one row at a time.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "base/progress.h"
#include "picture/bitmap.h"

class CPicture;

// Conversion modes. Modes 5 and 7 are requests only: Setup resolves them.
enum ColourMode : int {
    kModeNearest = 0,       // nearest colour through an index map
    kModeOptimised = 1,     // as 0, against a palette generated from a 24-bit source
    kModeDiffusion = 2,     // serpentine Floyd-Steinberg against the destination palette
    kModeDither = 3,        // ordered dither with a threshold matrix
    kModeIdentity = 4,      // indices copied unchanged
    kModeRequestOnly = 5,   // requested only
    kModeToTrueColour = 6,  // palette to true colour
    kModeAutomatic = 7,     // automatic choice (what ConvertLike asks for)
};

// Mode and pattern travel together: mode in the low half, pattern in the high.
constexpr std::uint32_t MakeModeAndPattern(int mode, int pattern) {
    return std::uint32_t(std::uint16_t(mode)) | (std::uint32_t(std::uint16_t(pattern)) << 16);
}

// The mode Setup uses for a pair of picture types, or -1 when the pair cannot
// be converted. destinationStandard says whether the destination palette is
// one of the standard palettes. True-colour pictures of 15, 16 and 32 bits
// count as 24-bit ones here.
int ResolveColourMode(int sourceType, int destinationType, int requestedMode,
                      bool destinationStandard);

class CColourConverter {
public:
    CColourConverter();
    ~CColourConverter();
    CColourConverter(const CColourConverter&) = delete;
    CColourConverter& operator=(const CColourConverter&) = delete;

    // Records both pictures, resolves the mode and builds the tables. pattern
    // (0..5) and matrixSize (4 or 8) matter for ordered dither only. With
    // progress, Run reports through the progress display: to on, or to the
    // calling thread's current Progress. True when ready.
    bool Setup(CPicture* destination, CPicture* source, std::uint32_t modeAndPattern,
               int matrixSize = 4, bool progress = false, Progress* on = nullptr);

    // Converts the source rectangle (inclusive; none: the whole source) row by
    // row into the destination starting at (destX, destY). True on success.
    bool Run(const Rect* sourceRect = nullptr, int destX = 0, int destY = 0);

    // Converts one row of raw bytes in the source's format (pixels 0..count-1;
    // count 0: the source width) into destination-format bytes. row selects
    // the error-diffusion direction and the dither row. destinationRow must
    // hold the destination's bytes for count pixels.
    bool ConvertRow(int row, const void* sourceRow, void* destinationRow, int count = 0);

    bool IsReady() const { return ready_; }
    int Mode() const { return mode_; }
    // Mode 1: the palette generated from the source (also given to the destination).
    const Palette* OptimisedPalette() const { return optimised_.get(); }

private:
    struct Impl;
    bool BuildTables();
    void Reset();

    CPicture* destination_ = nullptr;
    CPicture* source_ = nullptr;
    bool progress_ = false;
    Progress* on_ = nullptr;
    int mode_ = 0;
    int pattern_ = 0;
    int matrixSize_ = 4;
    bool ready_ = false;
    std::unique_ptr<Palette> optimised_;
    std::unique_ptr<Impl> impl_;
};

// Whether source already has the model's format: the same type and either a
// type without a free palette or equal palettes. ConvertLike has nothing to
// do then, and callers use the source as it is.
bool HasFormatOf(CPicture* model, CPicture* source);
// The composer's entry: a new picture of the model's format (type, palette,
// resolution) holding the source's pixels. Callers ask HasFormatOf first;
// for a source that has the format already the result is a plain copy.
// None on any failure.
// Progress and cancel go through on (none: the calling thread's current
// Progress).
std::unique_ptr<CPicture> ConvertLike(CPicture* model, CPicture* source, bool progress, Progress* on = nullptr);

// Mode 1's palette: 256 entries generated from a 24-bit picture's pixels.
std::unique_ptr<Palette> GenerateOptimisedPalette(CPicture* source);
