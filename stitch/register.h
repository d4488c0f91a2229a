// Registration of the Rest picture against the Main picture across the seam,
// for the automatic methods: a global estimate of the offset by normalised
// cross-correlation of the two overlap bands at a reduced scale, blocks
// matched by zero-mean normalised correlation around it (coarse, then at full
// resolution), a robust fit of rotation, scale and offset over all matches,
// and a tone map that brings the Rest picture's exposure to the Main
// picture's. Works on the search's normalised layout: the Main picture in the
// canvas columns 0 .. mainExtent - 1, the Rest strip as its own picture.
#pragma once
#include <cstdint>

class CPicture;

// canvas position = [c -s; s c] * rest position + (tx, ty)
struct SeamModel {
    double c = 1, s = 0, tx = 0, ty = 0;
    double MapX(double x, double y) const { return c * x - s * y + tx; }
    double MapY(double x, double y) const { return s * x + c * y + ty; }
};

enum class SeamVerdict {
    kFound,
    kNoOverlap,     // nothing in the Rest picture's edge band recurs in the Main picture's
    kTooSmall,      // the pictures share too few columns to tie them together
    kLowQuality,    // something alike was found, but the matches do not agree
    kCancelled,     // Escape
    kNoMemory,
};

// Why a seam that was found is not trusted (SeamVerdict::kLowQuality): any
// of these, as flags.
enum SeamDoubt : unsigned {
    kSeamDoubtSpread = 1,   // most matched blocks do not agree with the placement
    kSeamDoubtFaint = 2,    // the agreeing blocks are alike only faintly
    kSeamDoubtWhole = 4,    // the shared part as a whole is not alike under the placement
};
// The least mean correlation of the agreeing blocks, and of the whole shared
// part, for a seam to be trusted.
inline constexpr double kSeamLeastQuality = 0.8;
inline constexpr double kSeamLeastAgreement = 0.75;

struct SeamRequest {
    CPicture* canvas = nullptr;   // the Main picture in columns 0 .. mainExtent - 1
    CPicture* rest = nullptr;     // the Rest strip
    int mainExtent = 0;
    int mainHeight = 0;           // rows of the canvas that hold the Main picture
    int restHeight = 0;           // rows of the strip that hold the Rest picture
    int chosenOverlap = 0;        // the overlap chosen by the user, in pixels
    int bytes = 3;                // 3: true colour, 1: 256 grays
    bool hint = false;            // Semi-Auto: the user's placement as prediction
    double hintX = 0, hintY = 0;  // predicted canvas position of Rest (0, 0)
    // The caller knows Rest's place to a few pixels of the reduced bands
    // (the mosaic's look at all pieces at once): the global estimate is
    // skipped and the blocks are matched around estimateX, estimateY, the
    // canvas position of Rest (0, 0).
    bool estimated = false;
    double estimateX = 0, estimateY = 0;
};

struct SeamResult {
    SeamVerdict verdict = SeamVerdict::kNoOverlap;
    SeamModel model;
    int overlap = 0;              // columns shared at the middle row
    int matches = 0;              // blocks matched at full resolution
    int inliers = 0;              // of which agree with the model
    double quality = 0;           // mean correlation of the agreeing blocks, 0..1
    double residual = 0;          // their root mean square distance from the model, pixels
    double coarseScore = 0;       // correlation of the bands at the reduced scale
    double agreement = 0;         // correlation of the whole shared part under the model
    unsigned doubts = 0;          // SeamDoubt flags of a kLowQuality verdict
    bool toneMapped = false;      // lut differs from the identity
    std::uint8_t lut[3][256] = {};
    double RotationDegrees() const;
    double Scale() const;
};

// Steps the progress gauge through the callback, which answers true on Escape.
using SeamProgress = bool (*)(void* context);
SeamResult RegisterSeam(const SeamRequest& request, SeamProgress progress, void* context);

// Checks an offset of whole pixels found by other means (Rest pixel (x, y)
// on canvas pixel (x + dx, y + dy)) over the whole shared strip, after the
// tone map: kFound with the offset as model, the tone map, the overlap and
// the strip's correlation (as quality and agreement) when the strip agrees
// with it to the noise wherever it has detail, and has detail enough across
// and along the seam; kNoOverlap when that is not shown (the registration
// then decides), kCancelled on Escape, kNoMemory. A shared strip narrower
// than 24 pixels is never confirmed here.
SeamResult ConfirmOffset(const SeamRequest& request, int dx, int dy, SeamProgress progress,
                         void* context);

// True when the model is an offset of whole pixels: its turn and scale move
// the ends of a seam of height rows by less than 0.4 pixel, and its
// fractional part is below a quarter pixel.
bool IsWholePixelOffset(const SeamModel& model, int height);

// Writes into out (the strip's size and type) the Rest strip resampled so
// that out's pixel (x, y) lies on canvas pixel (x + dx, y + dy), with the
// tone map applied when the result asks for it. Bilinear; rows through a
// small cache of source rows. False when memory fails or on Escape.
// Only the first restRows rows of rest hold the picture.
bool ResampleRest(CPicture* rest, int restRows, CPicture* out, const SeamResult& result, int dx,
                  int dy, int bytes, SeamProgress progress, void* context);
// Applies the tone map to the strip in place.
bool ToneMapRest(CPicture* rest, const SeamResult& result, int bytes);
