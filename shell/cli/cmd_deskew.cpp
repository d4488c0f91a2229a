// stitchara-cli deskew IN OUT --thumbs AX,AY,BX,BY: straightens the picture
// as the deskew tool does when its two thumbs lie at A and B.
#include <memory>
#include <string>
#include <vector>

#include "picture/picture.h"
#include "shell/cli/cli.h"
#include "shell/cli/cli_io.h"
#include "stitch/deskew_geometry.h"

namespace cli {

int CmdDeskew(const Args& args) {
    if (args.positional.size() != 2) return UsageError("deskew takes an input and an output file");
    for (const auto& option : args.options)
        if (!IsCommonOption(option.first) && !IsSaveOption(option.first) && option.first != "thumbs")
            return UsageError("deskew has no option --" + option.first);
    std::vector<int> t;
    if (!args.Has("thumbs") || !ParseIntList(args.Get("thumbs"), t, 4))
        return UsageError("deskew needs --thumbs AX,AY,BX,BY");
    if (int rc = TakeSaveOptions(args); rc != kExitOk) return rc;

    std::unique_ptr<CPicture> picture = LoadPictureFor(args.positional[0], args.positional[1]);
    if (!picture) return kExitFailed;
    DeskewGeometry geometry;
    if (!ComputeDeskewGeometry(t[0], t[1], t[2], t[3], picture->GetWidth(), picture->GetHeight(),
                               geometry))
        // A line without tilt leaves the picture as it is.
        return SavePicture(*picture, args.positional[1]) ? kExitOk : kExitFailed;
    std::unique_ptr<CPicture> result(DeskewPicture(picture.get(), t[0], t[1], t[2], t[3]));
    if (!result) return Fail("cannot deskew the picture (out of memory or cancelled)");
    picture.reset();
    return SavePicture(*result, args.positional[1]) ? kExitOk : kExitFailed;
}

}  // namespace cli
