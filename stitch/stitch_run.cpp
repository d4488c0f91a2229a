#include "stitch/stitch_run.h"

#include <memory>
#include <new>

#include "base/progress.h"
#include "picture/picture.h"
#include "resources/string_ids.h"
#include "resources/strings.h"
#include "stitch/stitch_setup.h"

namespace {

// The engine's slots for one run. The sources stay the caller's: the
// converted Rest picture is kept here and dropped with the run.
class RunHost : public StitchHost {
public:
    CPicture* Picture() override { return picture_.get(); }
    void SetPicture(std::unique_ptr<CPicture> picture) override { picture_ = std::move(picture); }
    CPicture* StitchWork() override { return work_.get(); }
    void SetStitchWork(std::unique_ptr<CPicture> picture) override { work_ = std::move(picture); }
    void SetStitchWork2(std::unique_ptr<CPicture> picture) override { work2_ = std::move(picture); }
    void SetModified(bool) override {}
    void ReplaceRestPicture(std::unique_ptr<CPicture> converted) override {
        convertedRest_ = std::move(converted);
    }
    void ShowMessage(const std::string& text) override { message_ = text; }

    const std::string& Message() const { return message_; }
    std::unique_ptr<CPicture> TakePicture() { return std::move(picture_); }

private:
    std::unique_ptr<CPicture> picture_, work_, work2_, convertedRest_;
    std::string message_;
};

bool Inside(const PointL& p, const CPicture& picture) {
    return p.x >= 0 && p.y >= 0 && p.x < picture.GetWidth() && p.y < picture.GetHeight();
}

bool Across(int side) { return side == kSideLeft || side == kSideRight; }

// The checks of a request; the points are required only when asked for
// (a session may be given them after the preparation).
StitchStatus CheckRequest(const CPicture& main, const CPicture& rest, const StitchRequest& request,
                          bool pointsRequired, std::string* message) {
    auto fail = [&](StitchStatus status, std::string text) {
        if (message) *message = std::move(text);
        return status;
    };
    const bool points = request.mainPoint && request.restPoint;
    if (pointsRequired && request.method != StitchMethod::Auto && !points)
        return fail(StitchStatus::kMissingPoints, "Manual and Semi-Auto need a point in each picture");
    const int wm = main.GetWidth(), hm = main.GetHeight();
    const int wr = rest.GetWidth(), hr = rest.GetHeight();
    const bool across = Across(request.side);
    if (request.method != StitchMethod::Manual &&
        !SearchMethodsAllowed(main.GetType(), request.side, wm, hm, wr, hr)) {
        if (main.GetType() != ptTrueColor24 && main.GetType() != ptGray256)
            return fail(StitchStatus::kMainTypeNotSearchable,
                        "Semi-Auto and Auto need a Main picture in true colour or 256 grays");
        return fail(StitchStatus::kSeamSizesDiffer,
                    std::string("Semi-Auto and Auto need the two pictures to differ by less "
                                "than 4% in ") +
                        (across ? "height" : "width"));
    }
    if ((across ? wm + wr : hm + hr) > kMaxPictureSide)
        return fail(StitchStatus::kTooLarge,
                    std::string("the two pictures side by side would be ") +
                        (across ? "wider" : "higher") + " than " +
                        std::to_string(kMaxPictureSide) + " pixels");
    if (points && (!Inside(*request.mainPoint, main) || !Inside(*request.restPoint, rest)))
        return fail(StitchStatus::kPointOutside, "a point lies outside its picture");
    if (message) message->clear();
    return StitchStatus::kOk;
}

StitchResult OutOfMemory(StitchResult result) {
    result.status = StitchStatus::kOutOfMemory;
    result.message = LoadStringById(IDS_OUT_OF_MEMORY);
    result.picture.reset();
    return result;
}

}  // namespace

StitchStatus CheckStitchRequest(const CPicture& main, const CPicture& rest,
                                const StitchRequest& request, std::string* message) {
    return CheckRequest(main, rest, request, true, message);
}

StitchResult RunStitch(CPicture& main, CPicture& rest, const StitchRequest& request) {
    StitchResult result;
    result.status = CheckStitchRequest(main, rest, request, &result.message);
    if (result.status != StitchStatus::kOk) return result;
    StitchSession session(main, rest, request);
    return session.Finish();
}

// ------------------------------------------------------------------ session

// The engine and its slots for one preparation and the join after it.
struct StitchSession::Engine {
    RunHost host;
    CStitchTool tool;
};

StitchSession::StitchSession(CPicture& main, CPicture& rest, const StitchRequest& request)
    : main_(main), rest_(rest), request_(request) {}

StitchSession::~StitchSession() = default;

StitchResult StitchSession::Prepare() {
    ProgressScope progress(request_.progress);
    engine_.reset();
    StitchResult result;
    result.status = CheckRequest(main_, rest_, request_, false, &result.message);
    if (result.status != StitchStatus::kOk) return result;
    const int ov = StitchOverlapPixels(request_.side, request_.overlapPercent, main_.GetWidth(),
                                       main_.GetHeight(), rest_.GetWidth(), rest_.GetHeight());
    const bool lowMemory = request_.lowMemory ? *request_.lowMemory
                                              : StitchNeedsLowMemory(&main_, &rest_);
    auto engine = std::make_unique<Engine>();
    CStitchTool& tool = engine->tool;
    tool.Begin(&engine->host, &main_, &rest_, request_.side, ov, request_.method, lowMemory);
    tool.forceSwap = request_.forceSwap;
    if (!request_.blend) tool.blendEnabled = false;
    try {
        if (!tool.PrepareStitchDocument()) return OutOfMemory(std::move(result));
    } catch (const std::bad_alloc&) {
        return OutOfMemory(std::move(result));
    }
    seam_ = ov;
    stripStart_ = tool.firstExtent - ov;
    mainAt_ = {tool.mainRect.left, tool.mainRect.top};
    restAt_ = {tool.restRect.left, tool.restRect.top};
    // The strip is the front end's to show; the join makes its own pictures.
    if (request_.method != StitchMethod::Auto) result.picture = engine->host.TakePicture();
    engine_ = std::move(engine);
    return result;
}

PointL StitchSession::ToLayout(PointL strip) const {
    if (Across(request_.side)) strip.x += stripStart_;
    else strip.y += stripStart_;
    return strip;
}

PointL StitchSession::StripToMain(PointL strip) const {
    const PointL p = ToLayout(strip);
    return {p.x - mainAt_.x, p.y - mainAt_.y};
}

PointL StitchSession::StripToRest(PointL strip) const {
    const PointL p = ToLayout(strip);
    return {p.x - restAt_.x, p.y - restAt_.y};
}

StitchResult StitchSession::Finish() {
    const bool points = request_.mainPoint && request_.restPoint;
    if (!points && request_.method != StitchMethod::Auto) {
        StitchResult result;
        result.status = CheckRequest(main_, rest_, request_, true, &result.message);
        return result;
    }
    return Join(points ? *request_.mainPoint : PointL{}, points ? *request_.restPoint : PointL{},
                points);
}

StitchResult StitchSession::Finish(PointL mainPoint, PointL restPoint) {
    return Join(mainPoint, restPoint, true);
}

StitchResult StitchSession::Join(PointL mainPoint, PointL restPoint, bool points) {
    ProgressScope progress(request_.progress);
    if (!engine_) {
        StitchResult prepared = Prepare();
        if (prepared.status != StitchStatus::kOk) return prepared;
    }
    // One join per preparation: the engine goes with this call.
    std::unique_ptr<Engine> engine = std::move(engine_);
    CStitchTool& tool = engine->tool;
    StitchResult result;
    try {
        if (points) {
            // From each picture's own frame to the layout's.
            tool.mainPoint = {mainAt_.x + mainPoint.x, mainAt_.y + mainPoint.y};
            tool.restPoint = {restAt_.x + restPoint.x, restAt_.y + restPoint.y};
        }
        bool ok;
        if (request_.method == StitchMethod::Manual) ok = tool.ManualCompose();
        else if (request_.method == StitchMethod::SemiAuto) ok = tool.SemiAutoStitch();
        else ok = tool.AutoStitch();
        result.finding = tool.finding;
        if (!ok) {
            if (tool.cancelled) {
                result.status = StitchStatus::kCancelled;
                result.message = "cancelled";
                return result;
            }
            if (engine->host.Message().empty()) return OutOfMemory(std::move(result));
            result.status = tool.finding.outcome == StitchOutcome::kOverlapTooSmall
                                 ? StitchStatus::kOverlapTooSmall
                             : tool.finding.outcome == StitchOutcome::kLowQuality
                                 ? StitchStatus::kMatchTooWeak
                                 : StitchStatus::kNoOverlapFound;
            result.message = engine->host.Message();
            return result;
        }
    } catch (const std::bad_alloc&) {
        return OutOfMemory(std::move(result));
    }
    result.picture = engine->host.TakePicture();
    if (!result.picture) return OutOfMemory(std::move(result));
    return result;
}

std::string DescribeFinding(const StitchFinding& f) {
    std::string extra;
    if (f.resampled) extra += "; Rest resampled";
    if (f.toneMapped) extra += "; Rest exposure matched";
    return FormatStringById(IDS_STITCH_REPORT, f.overlap, f.chosenOverlap, f.shift, f.rotation,
                            f.scale, int(f.quality * 100 + 0.5), f.agreeing, f.matches,
                            extra.c_str());
}
