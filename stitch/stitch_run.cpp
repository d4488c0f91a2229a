#include "stitch/stitch_run.h"

#include <memory>
#include <new>

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

}  // namespace

StitchStatus CheckStitchRequest(const CPicture& main, const CPicture& rest,
                                const StitchRequest& request, std::string* message) {
    auto fail = [&](StitchStatus status, std::string text) {
        if (message) *message = std::move(text);
        return status;
    };
    const bool points = request.mainPoint && request.restPoint;
    if (request.method != StitchMethod::Auto && !points)
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

StitchResult RunStitch(CPicture& main, CPicture& rest, const StitchRequest& request) {
    StitchResult result;
    result.status = CheckStitchRequest(main, rest, request, &result.message);
    if (result.status != StitchStatus::kOk) return result;
    auto outOfMemory = [&result] {
        result.status = StitchStatus::kOutOfMemory;
        result.message = LoadStringById(IDS_OUT_OF_MEMORY);
        result.picture.reset();
        return std::move(result);
    };

    const int ov = StitchOverlapPixels(request.side, request.overlapPercent, main.GetWidth(),
                                       main.GetHeight(), rest.GetWidth(), rest.GetHeight());
    const bool lowMemory = request.lowMemory ? *request.lowMemory
                                             : StitchNeedsLowMemory(&main, &rest);
    RunHost host;
    CStitchTool tool;
    tool.Begin(&host, &main, &rest, request.side, ov, request.method, lowMemory);
    tool.forceSwap = request.forceSwap;
    if (!request.blend) tool.blendEnabled = false;
    try {
        if (!tool.PrepareStitchDocument()) return outOfMemory();
        if (request.mainPoint && request.restPoint) {
            // From each picture's own frame to the prepared layout's.
            tool.mainPoint = {tool.mainRect.left + request.mainPoint->x,
                              tool.mainRect.top + request.mainPoint->y};
            tool.restPoint = {tool.restRect.left + request.restPoint->x,
                              tool.restRect.top + request.restPoint->y};
        }
        bool ok;
        if (request.method == StitchMethod::Manual) ok = tool.ManualCompose();
        else if (request.method == StitchMethod::SemiAuto) ok = tool.SemiAutoStitch();
        else ok = tool.AutoStitch();
        result.finding = tool.finding;
        if (!ok) {
            if (tool.cancelled) {
                result.status = StitchStatus::kCancelled;
                result.message = "cancelled";
                return result;
            }
            if (host.Message().empty()) return outOfMemory();
            result.status = tool.finding.outcome == StitchOutcome::kOverlapTooSmall
                                 ? StitchStatus::kOverlapTooSmall
                             : tool.finding.outcome == StitchOutcome::kLowQuality
                                 ? StitchStatus::kMatchTooWeak
                                 : StitchStatus::kNoOverlapFound;
            result.message = host.Message();
            return result;
        }
    } catch (const std::bad_alloc&) {
        return outOfMemory();
    }
    result.picture = host.TakePicture();
    if (!result.picture) return outOfMemory();
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
