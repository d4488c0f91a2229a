// stitchara-cli stitch MAIN REST -o OUT [--side left|top|right|bottom]
//     [--method auto|semi|manual] [--overlap PCT] [--main-point X,Y --rest-point X,Y]
//     [--no-blend]
// Points are pixel coordinates in each picture's own frame: pixel (rx, ry) of
// REST lands on pixel (mx, my) of MAIN. Semi-Auto and Auto report what they
// found (overlap, shift, turn, scale, match quality) unless --quiet.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "picture/picture.h"
#include "shell/cli/cli.h"
#include "shell/cli/cli_io.h"
#include "stitch/stitch_run.h"

namespace cli {
namespace {

bool ParseSide(const std::string& text, int& side) {
    static const char* const names[] = {"left", "top", "right", "bottom"};
    for (int i = 0; i < 4; ++i)
        if (text == names[i]) {
            side = i;
            return true;
        }
    return false;
}

bool ParseMethod(const std::string& text, StitchMethod& method) {
    if (text == "auto") method = StitchMethod::Auto;
    else if (text == "semi") method = StitchMethod::SemiAuto;
    else if (text == "manual") method = StitchMethod::Manual;
    else return false;
    return true;
}

}  // namespace

int CmdStitch(const Args& args) {
    for (const auto& o : args.options) {
        const std::string& n = o.first;
        if (n != "output" && n != "side" && n != "method" && n != "overlap" &&
            n != "main-point" && n != "rest-point" && n != "no-blend" && !IsCommonOption(n) &&
            !IsSaveOption(n))
            return UsageError("stitch: unknown option --" + n);
    }
    if (args.positional.size() != 2) return UsageError("stitch needs MAIN and REST");
    std::string out = args.Get("output");
    if (out.empty()) return UsageError("stitch needs -o OUT");

    int side = kSideRight;
    if (args.Has("side") && !ParseSide(args.Get("side"), side))
        return UsageError("--side takes left, top, right or bottom");
    StitchMethod method = StitchMethod::Auto;
    if (args.Has("method") && !ParseMethod(args.Get("method"), method))
        return UsageError("--method takes auto, semi or manual");
    int percent = 25;
    if (args.Has("overlap")) {
        std::vector<int> v;
        if (!ParseIntList(args.Get("overlap"), v, 1) || v[0] < 1 || v[0] > 100)
            return UsageError("--overlap takes a percentage from 1 to 100");
        percent = v[0];
    }
    std::vector<int> mainAt, restAt;
    bool points = args.Has("main-point") || args.Has("rest-point");
    if (points) {
        if (!ParseIntList(args.Get("main-point"), mainAt, 2) ||
            !ParseIntList(args.Get("rest-point"), restAt, 2))
            return UsageError("--main-point and --rest-point take X,Y, and go together");
    }
    if (method != StitchMethod::Auto && !points)
        return UsageError("Manual and Semi-Auto need --main-point X,Y and --rest-point X,Y");
    if (method == StitchMethod::Auto && points)
        return UsageError("Auto finds the overlap itself: --main-point and --rest-point are for "
                          "--method manual or semi");
    if (int rc = TakeSaveOptions(args); rc != kExitOk) return rc;
    if (!CheckOutputPath(out)) return kExitFailed;

    std::unique_ptr<CPicture> main = LoadPicture(args.positional[0]);
    if (!main) return kExitFailed;
    // The stitched picture has the Main picture's type.
    if (!CheckOutputTakes(out, main->GetType(),
                          "write a PNG or TIFF file and convert it with stitchara-cli convert --type color256"))
        return kExitFailed;
    std::unique_ptr<CPicture> rest = LoadPicture(args.positional[1]);
    if (!rest) return kExitFailed;
    UseToolMessages();

    StitchRequest request;
    request.side = side;
    request.method = method;
    request.overlapPercent = percent;
    if (points) {
        request.mainPoint = PointL{mainAt[0], mainAt[1]};
        request.restPoint = PointL{restAt[0], restAt[1]};
    }
    request.blend = !args.Has("no-blend");
    StitchResult result = RunStitch(*main, *rest, request);
    if (!result) {
        if (result.status == StitchStatus::kMainTypeNotSearchable ||
            result.status == StitchStatus::kSeamSizesDiffer)
            return Fail(result.message + "; use --method manual");
        return Fail(result.message);
    }
    if (!SavePicture(*result.picture, out)) return kExitFailed;
    if (method != StitchMethod::Manual && !args.Has("quiet"))
        std::printf("%s\n", DescribeFinding(result.finding).c_str());
    return kExitOk;
}

}  // namespace cli
