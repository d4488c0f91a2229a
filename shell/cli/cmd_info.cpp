// stitchara-cli info FILE: one line describing the picture the file holds.
#include <cstdio>
#include <iterator>
#include <memory>

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
        if (!IsCommonOption(option.first)) return UsageError("info has no option --" + option.first);
    std::unique_ptr<CPicture> picture = LoadPicture(args.positional[0]);
    if (!picture) return kExitFailed;
    std::printf("type=%s width=%d height=%d xdpi=%d ydpi=%d bits=%d\n",
                PictureTypeName(picture->GetType()), picture->GetWidth(), picture->GetHeight(),
                picture->GetXDpi(), picture->GetYDpi(), picture->GetBitCount());
    return kExitOk;
}

}  // namespace cli
