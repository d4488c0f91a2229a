// stitchara-cli convert IN OUT: format conversion by the output's extension,
// with an optional colour conversion on the way.
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>

#include "picture/picture.h"
#include "shell/cli/cli.h"
#include "shell/cli/cli_io.h"

namespace cli {

namespace {

// The colour options as given; -1 (or empty) when absent.
struct ColourOptions {
    std::string type;  // bw gray16 gray256 color16 color256 rgb24
    int mode = -1;     // 0..7
    int pattern = -1;  // 0..5
    int matrix = -1;   // 4 or 8
    bool Any() const { return !type.empty() || mode >= 0 || pattern >= 0 || matrix >= 0; }
};

bool ParseNumber(const std::string& text, int low, int high, int& value) {
    char* stop = nullptr;
    errno = 0;
    long v = std::strtol(text.c_str(), &stop, 10);
    if (text.empty() || errno != 0 || *stop != '\0' || v < low || v > high) return false;
    value = int(v);
    return true;
}

// kExitOk, or the usage error's code.
int ParseColourOptions(const Args& args, ColourOptions& colour) {
    if (args.Has("type")) {
        colour.type = args.Get("type");
        static const char* const kTypes[] = {"bw", "gray16", "gray256", "color16", "color256", "rgb24"};
        bool known = false;
        for (const char* t : kTypes) known = known || colour.type == t;
        if (!known) return UsageError("--type takes bw, gray16, gray256, color16, color256 or rgb24");
    }
    if (args.Has("mode") && !ParseNumber(args.Get("mode"), 0, 7, colour.mode))
        return UsageError("--mode takes a number from 0 to 7");
    if (args.Has("pattern") && !ParseNumber(args.Get("pattern"), 0, 5, colour.pattern))
        return UsageError("--pattern takes a number from 0 to 5");
    if (args.Has("matrix") &&
        (!ParseNumber(args.Get("matrix"), 4, 8, colour.matrix) ||
         (colour.matrix != 4 && colour.matrix != 8)))
        return UsageError("--matrix takes 4 or 8");
    return kExitOk;
}

// Whether ConvertColours can do what the options ask; prints the reason when not.
bool CanConvertColours(const ColourOptions& colour) {
    if (!colour.Any()) return true;
    Fail("colour conversion is not available");
    return false;
}

// Converts the picture as the colour options say; the converted picture, or
// none after printing the reason.
std::unique_ptr<CPicture> ConvertColours(std::unique_ptr<CPicture> picture,
                                         const ColourOptions& colour) {
    if (!colour.Any()) return picture;
    return nullptr;
}

}  // namespace

int CmdConvert(const Args& args) {
    if (args.positional.size() != 2) return UsageError("convert takes an input and an output file");
    for (const auto& option : args.options) {
        const std::string& name = option.first;
        if (!IsCommonOption(name) && !IsSaveOption(name) && name != "type" && name != "mode" &&
            name != "pattern" && name != "matrix")
            return UsageError("convert has no option --" + name);
    }
    ColourOptions colour;
    if (int rc = ParseColourOptions(args, colour); rc != kExitOk) return rc;
    if (int rc = TakeSaveOptions(args); rc != kExitOk) return rc;
    const std::string& in = args.positional[0];
    const std::string& out = args.positional[1];
    if (!CanConvertColours(colour) || !CheckOutputPath(out)) return kExitFailed;

    std::unique_ptr<CPicture> picture = LoadPicture(in);
    if (!picture) return kExitFailed;
    picture = ConvertColours(std::move(picture), colour);
    if (!picture) return kExitFailed;
    return SavePicture(*picture, out) ? kExitOk : kExitFailed;
}

}  // namespace cli
