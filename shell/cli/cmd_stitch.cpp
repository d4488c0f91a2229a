// stitchara-cli stitch MAIN REST -o OUT [--side left|top|right|bottom]
//     [--method auto|semi|manual] [--overlap PCT] [--main-point X,Y --rest-point X,Y]
//     [--no-blend]
// Points are pixel coordinates in each picture's own frame: pixel (rx, ry) of
// REST lands on pixel (mx, my) of MAIN.
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "picture/picture.h"
#include "resources/string_ids.h"
#include "resources/strings.h"
#include "shell/cli/cli.h"
#include "shell/cli/cli_io.h"
#include "stitch/stitch_setup.h"
#include "stitch/stitch_tool.h"

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

bool ParseMethod(const std::string& text, int& method) {
    if (text == "auto") method = kMethodAuto;
    else if (text == "semi") method = kMethodSemiAuto;
    else if (text == "manual") method = kMethodManual;
    else return false;
    return true;
}

bool Inside(const std::vector<int>& p, CPicture* picture) {
    return p[0] >= 0 && p[1] >= 0 && p[0] < picture->GetWidth() && p[1] < picture->GetHeight();
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
    int method = kMethodAuto;
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
    if (method != kMethodAuto && !points)
        return UsageError("Manual and Semi-Auto need --main-point X,Y and --rest-point X,Y");
    if (int rc = TakeSaveOptions(args); rc != kExitOk) return rc;
    if (!CheckOutputPath(out)) return kExitFailed;

    std::unique_ptr<CPicture> main = LoadPicture(args.positional[0]);
    if (!main) return kExitFailed;
    std::unique_ptr<CPicture> rest = LoadPicture(args.positional[1]);
    if (!rest) return kExitFailed;
    UseToolMessages();

    int wm = main->GetWidth(), hm = main->GetHeight();
    int wr = rest->GetWidth(), hr = rest->GetHeight();
    if (method != kMethodManual && !SearchMethodsAllowed(main->GetType(), side, wm, hm, wr, hr)) {
        if (main->GetType() != ptTrueColor24 && main->GetType() != ptGray256)
            return Fail("Semi-Auto and Auto need a Main picture in true colour or 256 grays; "
                        "use --method manual");
        return Fail(std::string("Semi-Auto and Auto need the two pictures to differ by less "
                                "than 4% in ") +
                    (side == kSideLeft || side == kSideRight ? "height" : "width") +
                    "; use --method manual");
    }
    bool across = side == kSideLeft || side == kSideRight;
    if ((across ? wm + wr : hm + hr) > 32767)
        return Fail(std::string("the two pictures side by side would be ") +
                    (across ? "wider" : "higher") + " than 32767 pixels");
    if (points && (!Inside(mainAt, main.get()) || !Inside(restAt, rest.get())))
        return Fail("a point lies outside its picture");

    int ov = StitchOverlapPixels(side, percent, wm, hm, wr, hr);
    bool lowMemory = StitchNeedsLowMemory(main.get(), rest.get());

    PlainStitchHost host(std::move(main), std::move(rest));
    CStitchTool tool;
    tool.Begin(&host, host.Main(), host.Rest(), side, ov, method, lowMemory);
    if (args.Has("no-blend")) tool.blendEnabled = false;
    if (!tool.PrepareStitchDocument()) return Fail(LoadStringById(IDS_OUT_OF_MEMORY));

    if (points) {
        tool.mainPoint = {tool.mainRect.left + mainAt[0], tool.mainRect.top + mainAt[1]};
        tool.restPoint = {tool.restRect.left + restAt[0], tool.restRect.top + restAt[1]};
    }
    bool ok;
    if (method == kMethodManual) ok = tool.ManualCompose();
    else if (method == kMethodSemiAuto) ok = tool.SemiAutoStitch();
    else ok = tool.AutoStitch();
    if (!ok) {
        if (!host.LastMessage().empty()) return Fail(host.LastMessage());
        return Fail(LoadStringById(IDS_OUT_OF_MEMORY));
    }
    return SavePicture(*host.Picture(), out) ? kExitOk : kExitFailed;
}

}  // namespace cli
