// Many pieces into one picture: the pieces of an original scanned in parts
// (a map in a 2 x 2 grid, a plan in nine), given in any order and without
// positions, are placed and joined in one run.
//
//     std::vector<MosaicPiece> pieces = {{&a, "a.png"}, {&b, "b.png"}, ...};
//     MosaicResult result = RunMosaic(pieces, MosaicRequest{});
//     if (!result) show(result.message);     // result.status says why
//     else keep(std::move(result.picture));
//
// Every pair is registered as the pair engine registers a seam (both ways,
// side by side and one above the other); the pairs that overlap form a graph,
// and all placements (offset, small turn and scale of each piece) are solved
// together by least squares over the points the pairs tie, links that do not
// fit the others dropped. Each piece's gain and offset are solved together
// too, so that the tones agree over the whole picture; the result is computed
// row by row out of the pieces' stores, the seams blended as the pair merge
// blends them. Two pieces go to the pair engine (RunStitch), whose result
// they get. The pieces stay the caller's and are not changed.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "stitch/stitch_tool.h"

class CPicture;

// A piece and the name it is reported by (its file name, say).
struct MosaicPiece {
    CPicture* picture = nullptr;
    std::string name;
};

// Where the user put a piece by hand: its top-left corner, roughly, in one
// frame shared by all hinted pieces (the joined picture's pixels, say).
struct MosaicHint {
    int piece = 0;
    double x = 0, y = 0;
};

struct MosaicRequest {
    bool blend = true;   // off: hard seams
    // Two hinted pieces that overlap where they were put are registered
    // around that offset first; an overlap found between two hinted pieces
    // is not used when it puts them further apart than kMosaicHintTolerance
    // of the smaller piece's shorter side from where the hints put them.
    std::vector<MosaicHint> hints;
};

constexpr double kMosaicHintTolerance = 0.15;

enum class MosaicStatus {
    kOk,
    kTooFewPieces,       // fewer than 2
    kTooManyPieces,      // more than kMosaicMaxPieces
    kTypeNotSearchable,  // a piece is not true colour or 256 grays
    kTypesDiffer,        // the pieces are not all of one type
    kSamePiece,          // a piece was given twice
    kUnplaced,           // pieces overlap none of the others (named in the message)
    kTooLarge,           // the picture would pass the largest picture side
    kCancelled,          // Escape
    kOutOfMemory,
    kPairFailed,         // two pieces: the pair engine refused (its message)
};

constexpr int kMosaicMaxPieces = 16;

// Where a piece lies: picture position = [c -s; s c] * (piece position -
// centre) + (x, y), the centre being pixel (width / 2, height / 2) in whole
// pixels; (x, y) is where that pixel lands.
struct MosaicPlacement {
    double c = 1, s = 0, x = 0, y = 0;
    double TurnDegrees() const;
    double Scale() const;
};

// Point (ax, ay) of piece a shows what point (bx, by) of piece b shows.
struct MosaicTie {
    double ax, ay, bx, by;
};

// Two pieces that overlap, as their registration found them.
struct MosaicLink {
    int a = 0, b = 0;          // b lies right of a, or below it (below)
    bool below = false;
    double weight = 1;         // trust in the link (its agreeing blocks)
    std::vector<MosaicTie> ties;
    // What the registration found.
    int overlap = 0;           // pixels shared across the seam
    double quality = 0;        // 0..1
    int matches = 0, agreeing = 0;
    // After the solve: root mean square distance of the ties under the
    // placements, and whether the link was kept.
    double residual = 0;
    bool used = true;
};

struct MosaicPieceReport {
    std::string name;
    int width = 0, height = 0;
    bool placed = false;
    MosaicPlacement placement;   // in the result's pixels (top-left corner at 0, 0)
    int links = 0;               // links used
    double gain[3] = {1, 1, 1};  // tone: value' = gain * value + offset, per channel
    double offset[3] = {0, 0, 0};
};

struct MosaicResult {
    MosaicStatus status = MosaicStatus::kOk;
    std::string message;                 // why not, in words (empty on success)
    std::unique_ptr<CPicture> picture;   // none on failure
    std::vector<MosaicPieceReport> pieces;
    std::vector<MosaicLink> links;
    int rows = 0, columns = 0;           // the grid, when the pieces form one (else 0)
    bool pairEngine = false;             // two pieces: joined by RunStitch
    StitchFinding pairFinding;           // what it found

    explicit operator bool() const { return status == MosaicStatus::kOk && picture != nullptr; }
};

MosaicResult RunMosaic(const std::vector<MosaicPiece>& pieces, const MosaicRequest& request);

// Lines on what was found: the grid or graph, each piece's offset, turn,
// scale and match quality, each overlap's quality.
std::string DescribeMosaic(const MosaicResult& result);

// The joint adjustment on its own (pieces of the given sizes, width then
// height; piece anchor stays where it is): the placements that fit the
// links' ties best, links whose ties stay far apart under the others
// dropped (used = false) while the graph stays connected. Pieces the kept
// links do not reach from the anchor keep the identity and are marked in
// reached (when given).
std::vector<MosaicPlacement> SolveMosaicPlacements(const std::vector<std::pair<int, int>>& sizes,
                                                   std::vector<MosaicLink>& links, int anchor,
                                                   std::vector<bool>* reached = nullptr);
