// A whole stitch in one call: the entry point of every front end that joins
// two pictures without the interactive tool (the command-line tool, the
// stitch sheet's Auto run, a Manual or Semi-Auto run whose points are known).
//
//     StitchRequest request;
//     request.side = kSideRight;
//     request.method = StitchMethod::Auto;
//     StitchResult result = RunStitch(*mainPicture, *restPicture, request);
//     if (!result) show(result.message);        // result.status says why
//     else keep(std::move(result.picture));
//
// The two sources stay the caller's and are not changed (the Rest picture is
// converted to the Main picture's format on a copy). Progress goes to the
// request's Progress, and a cancelled one ends the run as kCancelled; the
// engine shows no message itself: a failure's text is in the result for the
// front end to show its own way. A run touches nothing but the two sources
// and its own pictures: it may run on a worker thread while nothing else
// changes the sources.
#pragma once
#include <memory>
#include <optional>
#include <string>

#include "stitch/stitch_tool.h"

class CPicture;
class Progress;

struct StitchRequest {
    int side = kSideRight;       // where the Rest picture is attached (StitchSide)
    StitchMethod method = StitchMethod::Auto;
    int overlapPercent = 25;     // 1..100 of the Main picture's extent along the seam axis
    // The reference points, each in its own picture's pixel coordinates:
    // pixel restPoint of Rest lands on pixel mainPoint of Main. Manual and
    // Semi-Auto need them; Auto ignores them.
    std::optional<PointL> mainPoint, restPoint;
    // Seams are blended (true colour and 256 grays only); off joins the
    // pictures with hard seams.
    bool blend = true;
    // Low-memory mode (copies show progress, sources may be swapped out).
    // Unset: decided by StitchNeedsLowMemory.
    std::optional<bool> lowMemory;
    // Moves both sources to their swap files before composing (the
    // application's "ForceSwap" setting; the engine reads no settings).
    bool forceSwap = false;
    // Where the stitch reports its caption and gauge and learns that it is
    // to stop (from any thread); none: the calling thread's progress.
    Progress* progress = nullptr;
};

enum class StitchStatus {
    kOk,
    kMissingPoints,          // Manual or Semi-Auto without both points
    kPointOutside,           // a point lies outside its picture
    kMainTypeNotSearchable,  // Semi-Auto/Auto: Main is not true colour or 256 grays
    kSeamSizesDiffer,        // Semi-Auto/Auto: extents across the seam differ by 4 % or more
    kTooLarge,               // the layout would pass the largest picture side
    kNoOverlapFound,         // the search found no overlap in the allowed range
    kCancelled,              // the user pressed Escape
    kOutOfMemory,            // a picture or buffer could not be had
    kOverlapTooSmall,        // the pictures are alike across the seam, but share a sliver only
    kMatchTooWeak,           // something alike was found, but the matches disagree
};

struct StitchResult {
    StitchStatus status = StitchStatus::kOk;
    // Why not, in words a user understands (empty on success).
    std::string message;
    // The stitched picture (none on failure).
    std::unique_ptr<CPicture> picture;
    // Semi-Auto and Auto: what the search found (also when it refused).
    StitchFinding finding;

    explicit operator bool() const { return status == StitchStatus::kOk && picture; }
};

// Checks the request against the two pictures as RunStitch does, without
// stitching: kOk when RunStitch may start. For front ends that check before
// long work.
StitchStatus CheckStitchRequest(const CPicture& main, const CPicture& rest,
                                const StitchRequest& request, std::string* message = nullptr);

StitchResult RunStitch(CPicture& main, CPicture& rest, const StitchRequest& request);

// A stitch in two steps, for a front end that shows the pair before its
// user gives the points (the application's stitch tool): Prepare lays the
// pictures out, Finish joins them. RunStitch is the two in one call, and the
// same request gives the same picture either way.
//
//     StitchSession session(*mainPicture, *restPicture, request);  // no points yet
//     StitchResult strip = session.Prepare();    // Manual, Semi-Auto: the strip to show
//     ...                                        // the user picks a point on each half
//     StitchResult joined = session.Finish(session.StripToMain(m), session.StripToRest(r));
//
// The sources stay the caller's, must outlive the session and are not
// changed (a converted Rest picture is the session's own copy).
class StitchSession {
public:
    StitchSession(CPicture& main, CPicture& rest, const StitchRequest& request);
    ~StitchSession();
    StitchSession(const StitchSession&) = delete;
    StitchSession& operator=(const StitchSession&) = delete;

    // Checks the request as RunStitch does, except that the points may come
    // later, and lays the pictures out. Manual and Semi-Auto: on kOk the
    // result's picture is the strip around the seam, Seam() pixels on each
    // side of it along the seam axis; Auto keeps its layout to itself.
    StitchResult Prepare();
    // Joins the pictures from the request's points (Auto needs none).
    StitchResult Finish();
    // Joins them with these points, each in its own picture's pixels. Each
    // call starts from a fresh preparation when the last one was used.
    StitchResult Finish(PointL mainPoint, PointL restPoint);

    int Side() const { return request_.side; }
    StitchMethod Method() const { return request_.method; }
    // Where the seam lies in the strip: pixels from its left (Left, Right)
    // or top edge (Top, Bottom). Valid after a successful Prepare.
    int Seam() const { return seam_; }
    // A pixel of the strip in the Main picture's own pixels and in the Rest
    // picture's (either may lie outside its picture).
    PointL StripToMain(PointL strip) const;
    PointL StripToRest(PointL strip) const;

private:
    struct Engine;
    StitchResult Join(PointL mainPoint, PointL restPoint, bool points);
    PointL ToLayout(PointL strip) const;

    CPicture& main_;
    CPicture& rest_;
    StitchRequest request_;
    std::unique_ptr<Engine> engine_;  // between Prepare and Finish
    int seam_ = 0;
    int stripStart_ = 0;              // the layout's coordinate of the strip's first column or row
    PointL mainAt_, restAt_;          // each picture's origin in the layout
};

// One line on what a joined Semi-Auto or Auto stitch found: the overlap used
// against the chosen one, the shift along the seam, turn, scale, match quality.
std::string DescribeFinding(const StitchFinding& finding);
