// stitchara-cli crop IN OUT --rect X,Y,W,H
// stitchara-cli trim IN OUT [--tolerance N]
//
// Cut a picture to a rectangle, or to what lies inside the uniform border
// around it; type, palette and resolution are kept. Nothing is written when
// the picture cannot be cut so.
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "picture/crop.h"
#include "shell/cli/cli.h"
#include "shell/cli/cli_io.h"

namespace cli {
namespace {

int CheckOptions(const Args& args, const char* command, const std::string& own) {
    if (args.positional.size() != 2) return UsageError(std::string(command) + " takes IN and OUT");
    for (const auto& option : args.options)
        if (option.first != own && !IsCommonOption(option.first) && !IsSaveOption(option.first))
            return UsageError(std::string(command) + " has no option --" + option.first);
    return TakeSaveOptions(args);
}

std::string SizeText(const CPicture& picture) {
    return std::to_string(picture.GetWidth()) + "x" + std::to_string(picture.GetHeight());
}

int SaveCut(CPicture& picture, const Rect& rect, const std::string& out) {
    std::unique_ptr<CPicture> cut = CropPicture(&picture, rect, true);
    if (!cut) return Fail("cannot cut the picture (not enough memory or disk for the result)");
    return SavePicture(*cut, out) ? kExitOk : kExitFailed;
}

}  // namespace

int CmdCrop(const Args& args) {
    if (int rc = CheckOptions(args, "crop", "rect"); rc != kExitOk) return rc;
    std::vector<int> r;
    if (!args.Has("rect") || !ParseIntList(args.Get("rect"), r, 4))
        return UsageError("crop needs --rect X,Y,W,H (whole pixels, X and Y from the top-left corner)");
    const long long x = r[0], y = r[1], w = r[2], h = r[3];
    if (w <= 0 || h <= 0)
        return Fail("the rectangle " + args.Get("rect") + " has no pixels: its width and height must be 1 or more");
    std::unique_ptr<CPicture> picture = LoadPictureFor(args.positional[0], args.positional[1]);
    if (!picture) return kExitFailed;
    const Rect rect{r[0], r[1], int(std::min(x + w - 1, 2147483647LL)), int(std::min(y + h - 1, 2147483647LL))};
    if (!CropRectFits(*picture, rect))
        return Fail("the rectangle " + args.Get("rect") + " reaches outside the picture, which is " +
                    SizeText(*picture) + " pixels");
    return SaveCut(*picture, rect, args.positional[1]);
}

int CmdTrim(const Args& args) {
    if (int rc = CheckOptions(args, "trim", "tolerance"); rc != kExitOk) return rc;
    int tolerance = 0;
    if (args.Has("tolerance")) {
        const std::string text = args.Get("tolerance");
        char* stop = nullptr;
        errno = 0;
        const long v = std::strtol(text.c_str(), &stop, 10);
        if (text.empty() || *stop != '\0' || errno != 0 || v < 0 || v > 255)
            return UsageError("--tolerance takes a number from 0 to 255");
        tolerance = int(v);
    }
    std::unique_ptr<CPicture> picture = LoadPictureFor(args.positional[0], args.positional[1]);
    if (!picture) return kExitFailed;
    Rect keep;
    switch (FindTrimRect(picture.get(), tolerance, keep)) {
    case TrimFind::kFound: break;
    case TrimFind::kAllBorder:
        return Fail("the picture is all border (one colour within the tolerance of " + std::to_string(tolerance) +
                    "): trimming would leave nothing");
    default: return Fail("cannot read the picture's rows");
    }
    return SaveCut(*picture, keep, args.positional[1]);
}

}  // namespace cli
