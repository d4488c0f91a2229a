// The computations the stitch sheet makes before it hands a stitch to the
// engine: the overlap in pixels, which methods the pictures allow, the blend
// set-up and the memory estimate. No windows; the sheet and the command-line
// tool call them.
#pragma once
#include <cstdint>

class CPicture;

// The platform's rounding multiply-divide: a × b / c rounded to the nearest
// integer, halves away from zero; -1 when c is 0.
int MulDiv(int a, int b, int c);

// The overlap in pixels for a percentage of the Main picture's extent along
// the seam axis (widths for Left and Right, heights for Top and Bottom): at
// least 32, at most either picture's extent.
int StitchOverlapPixels(int side, int percent, int mainWidth, int mainHeight, int restWidth,
                        int restHeight);

// Whether Semi-Auto and Auto are allowed: Main true colour or 256 grays, and
// the two extents across the seam differing by less than 4 per cent.
bool SearchMethodsAllowed(int mainType, int side, int mainWidth, int mainHeight, int restWidth,
                          int restHeight);

// Blending: 3 bytes per pixel for true colour, 1 for 256 grays, off otherwise.
struct BlendSetup {
    bool enabled = false;
    int bytes = 0;
};
BlendSetup BlendSetupFor(int mainType);

// Bytes a stitch of the two pictures needs: (stored bytes of both) × 7 / 4.
std::uint64_t StitchMemoryNeed(CPicture* main, CPicture* rest);
// True when the stitch should run in low-memory mode: a source lies in its
// swap file, or the memory available is below the need.
bool StitchNeedsLowMemory(CPicture* main, CPicture* rest);
