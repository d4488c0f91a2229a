// The stitch engine's record: the state the layout, the overlap search, the
// merge and the composer share. Everything here works on pictures through
// row segments; there are no windows in it. Front ends do not drive it
// themselves: they go through RunStitch or a StitchSession (stitch_run.h),
// which own a record for the span of one stitch.
#pragma once
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "picture/bitmap.h"
#include "picture/picture.h"
#include "picture/transform.h"
#include "stitch/register.h"

// Sides at which the Rest picture is attached to the Main picture.
enum StitchSide : std::int16_t {
    kSideLeft = 0,
    kSideTop = 1,
    kSideRight = 2,
    kSideBottom = 3,
};

// The stitch methods.
enum class StitchMethod : std::int16_t { Manual, SemiAuto, Auto };

// The method's name ("Manual", "Semi-Auto", "Auto"), for messages.
inline std::ostream& operator<<(std::ostream& out, StitchMethod method) {
    return out << (method == StitchMethod::Manual ? "Manual" : method == StitchMethod::SemiAuto ? "Semi-Auto" : "Auto");
}

struct PointL {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const PointL&, const PointL&) = default;
};

// What the engine needs of its surroundings: the stitch document's three
// picture slots, the Rest page that takes the converted Rest picture, and a
// place for messages to the user. RunStitch and StitchSession implement it
// over plain slots; the engine's tests bring their own.
class StitchHost {
public:
    virtual ~StitchHost() = default;
    // The document's picture (the canvas of every step, finally the result).
    virtual CPicture* Picture() = 0;
    // Deletes the previous picture and takes this one (may be none).
    virtual void SetPicture(std::unique_ptr<CPicture> picture) = 0;
    virtual CPicture* StitchWork() = 0;
    virtual void SetStitchWork(std::unique_ptr<CPicture> picture) = 0;
    virtual void SetStitchWork2(std::unique_ptr<CPicture> picture) = 0;
    virtual void SetModified(bool modified) = 0;
    // The Rest picture was converted to the Main picture's format: the host
    // deletes the old Rest picture and owns the converted one from now on.
    virtual void ReplaceRestPicture(std::unique_ptr<CPicture> converted) = 0;
    // A message box with an exclamation icon.
    virtual void ShowMessage(const std::string& text) = 0;
};

// The most search blocks, and the size of the match lists: every accepted
// block plus the pair that closes the lists at the Rest picture's last row.
inline constexpr int kMaxFeatures = 100;
inline constexpr int kMaxMatches = kMaxFeatures + 1;

// What the last Auto or Semi-Auto search found: the outcome, and for a
// joined pair the placement and how well the two halves agree.
enum class StitchOutcome : std::int16_t {
    kNone,
    kJoined,
    kNoOverlap,       // nothing alike across the seam: wrong side, no common content
    kOverlapTooSmall, // the pictures share too few pixels to be tied together
    kLowQuality,      // something alike, but the matches along the seam disagree
    kCancelled,       // Escape
    kNoMemory,
};

struct StitchFinding {
    StitchOutcome outcome = StitchOutcome::kNone;
    int overlap = 0;          // pixels the two pictures share across the seam
    int chosenOverlap = 0;    // the overlap the search was asked for, pixels
    double shift = 0;         // the Rest picture's shift along the seam, pixels
    double rotation = 0;      // degrees the Rest picture's content is turned against the Main picture's
    double scale = 1;         // the size of the Rest picture's content against the Main picture's
    double quality = 0;       // mean correlation of the agreeing blocks, 0..1
    int matches = 0;          // blocks matched
    int agreeing = 0;         // of which agree with the placement
    double agreement = 0;     // correlation of the whole shared part under the placement, 0..1
    unsigned doubts = 0;      // kLowQuality: why the placement is not trusted (SeamDoubt flags)
    bool resampled = false;   // the Rest picture was turned, scaled or shifted by a fraction
    bool toneMapped = false;  // the Rest picture's exposure was brought to the Main picture's
};

class CStitchTool {
public:
    CStitchTool() = default;
    CStitchTool(const CStitchTool&) = delete;
    CStitchTool& operator=(const CStitchTool&) = delete;

    // What the sheet's "&Stitch" button hands over (the sources stay the
    // host's; the Rest picture may be replaced by its converted form).
    void Begin(StitchHost* host, CPicture* main, CPicture* rest, int side, int overlapPixels,
               StitchMethod method, bool lowMemory);

    // Preparation: the full layout (Auto) or the strip around the seam
    // (Manual, Semi-Auto) becomes the host's picture. False on failure; the
    // caller reports "Out of memory".
    bool PrepareStitchDocument();
    // The full layout replaces whatever the host's picture is.
    bool ComposeFullLayout();
    // Manual: places the Rest picture so that restPoint and mainPoint coincide.
    bool ManualCompose();
    bool TransparentBlend(CPicture* target, CPicture* main, const Rect& targetRect,
                          const Rect& mainRect);

    bool AutoStitch();
    bool SemiAutoStitch();
    bool NormaliseLayout();
    bool SearchMatches();
    bool RestoreLayout();
    // Number of blocks found (0..kMaxFeatures) in area a (inclusive) of rest.
    int FindFeatureBlocks(CPicture* rest, const Rect& area, PointL* out);
    // True when a match is accepted; out is its top-left corner in canvas.
    bool MatchBlock(CPicture* rest, const Rect& block, CPicture* canvas, const Rect& window,
                    PointL* out);
    // Warps rest row by row onto canvas (whose columns 0 .. mainExtent - 1
    // hold the Main picture) along the n + 1 pairs of matched points.
    bool MergeAlongMatches(CPicture* rest, CPicture* canvas, const PointL* restPoints,
                           const PointL* mainPoints, int n, int mainExtent);
    // The crop after the merge. clipRect holds the merge's bounds, right and
    // bottom inclusive like every Rect: the last column and row the merge
    // reached. The crop leaves that column and row out (a merged row's last
    // pixel has no right neighbour for the sub-pixel shift), so the result is
    // (right - left) x (bottom - top) pixels, turned back to the pictures'
    // own frame when the canvas lies in the search's.
    bool CropMerged(CPicture* canvas);

    // The stages' shared state.
    Rect clipRect;                     // the merge's bounds
    PointL restPoint, mainPoint;       // reference points in full-layout coordinates
    std::int16_t blockW = 16, blockH = 16;
    PointL features[kMaxFeatures];
    PointL matchMain[kMaxMatches];
    PointL matchRest[kMaxMatches];
    std::int16_t searchHalfRange = 0, offsetX = 0, marginY = 0, offsetY = 0;
    std::int32_t progressTotal = 0, progressCount = 0;
    StitchMethod method = StitchMethod::Auto;
    Rect restRect, mainRect;           // inclusive, in the full layout
    std::int16_t side = kSideRight;
    bool blendEnabled = true;
    std::int16_t overlap = 32;         // from the sheet; the search reuses it
    std::int16_t firstExtent = 0;
    std::int16_t blendBytes = 3;
    bool lowMemory = false;
    // The host's picture lies in the search's frame (the Rest picture right
    // of the Main picture), from the layout built for the search or the turn
    // of NormaliseLayout until the crop or RestoreLayout turns it back.
    bool searchFrame = false;
    // The layout for the search holds the Main picture alone: the Rest
    // picture goes into the strip only (its top-left corner at restInSearch
    // in the canvas' frame), and the crop puts back the part of its place
    // that the merge did not write.
    bool restLeftOut = false;
    PointL restInSearch, mainInSearch;   // mainInSearch: the Main picture's corner, likewise
    bool fullLayout = false;             // the last layout built was the full one
    // Per canvas row, the first column the last merge wrote (INT_MAX: none).
    std::vector<int> mergedFrom;
    // Set when the user pressed Escape during the search or a blend; the
    // step then fails.
    bool cancelled = false;
    // Both sources go to their swap files before composing (set by the caller).
    bool forceSwap = false;
    // The overlap chosen on the sheet, kept for Auto's first search window.
    std::int16_t chosenOverlap = 32;
    // Auto: until the first match, the window spans every position the
    // chosen overlap allows.
    bool wideFirstWindow = false;
    // Semi-Auto: the user's placement (canvas x and y of the Rest strip's
    // origin) as the search's prediction.
    bool hintGiven = false;
    double hintX = 0, hintY = 0;
    StitchFinding finding;
    int firstStageFeatures = 0;    // textured blocks the first stage found

    StitchHost* host = nullptr;
    CPicture* mainPicture = nullptr;
    CPicture* restPicture = nullptr;   // the converted one after the preparation

private:
    // The layout of the two pictures (full, or the strip around the seam),
    // or with forSearch the full layout already in the search's frame, each
    // picture turned into its place.
    bool BuildCanvas(bool full, bool forSearch = false);
    // The Rest strip of the search's layout: the canvas' columns from
    // firstExtent on, the Rest picture in its place; none on failure.
    std::unique_ptr<CPicture> RestStrip(CPicture* canvas);
    // The Rest picture's pixels of the layout in the part of bounds (the
    // merge's, as clipRect) that the merge left; false on failure.
    bool PutBackRest(CPicture* canvas, const Rect& bounds);
    // The Rest picture converted to the Main picture's format; none on failure.
    std::unique_ptr<CPicture> ConvertRestLikeMain();
    // Turns the canvas for the search (forward) or back; false on failure.
    bool TurnCanvas(bool forward);
    // The block search of the first stage: fills the match lists (with the
    // closing pair) and answers the number of accepted blocks, 0 when the
    // first block finds no match.
    int BlockSearch();
    // Joins the halves by the registration's placement; false on failure.
    bool MergeRegistered(const SeamResult& seam, int mainRows, int restRows);
    // The message for a search that failed, from the finding.
    std::string FailureMessage() const;
    // Why a placement that was found is not trusted, and what to try.
    std::string LowQualityMessage() const;
};

// How the layout of a side turns into the search's frame (forward) or back:
// Left mirrors, Top turns a quarter clockwise, Bottom counter-clockwise.
// False for Right, which is in that frame already.
bool SearchTurn(int side, bool forward, TransformOp& op);
// Blends count pixels of bytes bytes each (3 or 1) from src into dst.
// percent < 0: a ramp from src (first pixel) to almost dst (last pixel);
// 0: dst becomes src; 100 or more: dst stays; otherwise dst keeps percent %
// of itself. src may be dst shifted right by whole pixels.
void BlendRow(const std::uint8_t* src, std::uint8_t* dst, int count, int percent, int bytes);
// How many Rest rows fall on canvas row u (restRows > canvasRows), or whether
// canvas row u + 1 moves on to the next Rest row (otherwise).
int RowsForSegment(int canvasRows, int restRows, int u);
// The texture score of block (inclusive) of picture; buffer holds 16 x 16 x bytes.
std::int64_t TextureScore(CPicture* picture, const Rect& block, std::uint8_t* buffer, int bytes);
