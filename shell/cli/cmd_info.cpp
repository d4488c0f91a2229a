// stitchara-cli info FILE [--check]: one line describing the picture the
// file holds, from its header alone; --check also reads every pixel and
// reports damage the header cannot show (a truncated file).
#include <cstdio>
#include <iterator>
#include <memory>

#include "document/import_export.h"
#include "picture/picture.h"
#include "shell/cli/cli.h"
#include "shell/cli/cli_io.h"

namespace cli {

const char* PictureTypeName(int type) {
    static const char* const kNames[] = {"BlackWhite", "TrueColor24", "Color16",
                                         "Color256",   "Gray16",      "Gray256",
                                         "Color32K",   "Color64K",    "TrueColor32"};
    return type >= 0 && type < int(std::size(kNames)) ? kNames[type] : "Unknown";
}

int CmdInfo(const Args& args) {
    if (args.positional.size() != 1) return UsageError("info takes one file");
    for (const auto& option : args.options)
        if (option.first != "check" && !IsCommonOption(option.first))
            return UsageError("info has no option --" + option.first);
    const std::string& path = args.positional[0];
    ImageFileInfo info;
    if (!ReadPictureInfo(path, info)) return kExitFailed;
    std::printf("type=%s width=%d height=%d xdpi=%d ydpi=%d bits=%d\n", PictureTypeName(info.type),
                info.width, info.height, info.xDpi, info.yDpi, info.bits);
    if (!args.Has("check")) return kExitOk;
    std::fflush(stdout);
    // The whole picture, as a command that works on it would read it.
    return LoadPicture(path) ? kExitOk : kExitFailed;
}

}  // namespace cli
