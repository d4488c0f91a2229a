// stitchara-cli mosaic PIECE... -o OUT [--no-blend]
// The pieces of one original, in any order, placed and joined into one
// picture; what was found (the grid or graph, each piece's offset, turn,
// scale and match quality) is printed unless --quiet.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "picture/picture.h"
#include "shell/cli/cli.h"
#include "shell/cli/cli_io.h"
#include "stitch/mosaic.h"

namespace cli {

int CmdMosaic(const Args& args) {
    for (const auto& o : args.options) {
        const std::string& n = o.first;
        if (n != "output" && n != "no-blend" && !IsCommonOption(n) && !IsSaveOption(n))
            return UsageError("mosaic: unknown option --" + n);
    }
    if (args.positional.size() < 2) return UsageError("mosaic needs at least two pieces");
    if (args.positional.size() > std::size_t(kMosaicMaxPieces))
        return UsageError("mosaic takes at most " + std::to_string(kMosaicMaxPieces) + " pieces, not " +
                          std::to_string(args.positional.size()) + ": join the picture in parts");
    std::string out = args.Get("output");
    if (out.empty()) return UsageError("mosaic needs -o OUT");
    if (int rc = TakeSaveOptions(args); rc != kExitOk) return rc;
    if (!CheckOutputPath(out)) return kExitFailed;

    std::vector<std::unique_ptr<CPicture>> loaded;
    std::vector<MosaicPiece> pieces;
    for (const std::string& path : args.positional) {
        loaded.push_back(LoadPicture(path));
        if (!loaded.back()) return kExitFailed;
        pieces.push_back({loaded.back().get(), path});
        // The joined picture has the pieces' type: known with the first.
        if (loaded.size() == 1 &&
            !CheckOutputTakes(out, loaded[0]->GetType(),
                              "write a PNG or TIFF file and convert it with stitchara-cli convert"))
            return kExitFailed;
    }
    UseToolMessages();

    MosaicRequest request;
    request.blend = !args.Has("no-blend");
    MosaicResult result = RunMosaic(pieces, request);
    if (!result) {
        switch (result.status) {
        case MosaicStatus::kTypeNotSearchable:
        case MosaicStatus::kTypesDiffer:
            return Fail(result.message + "; convert them first with stitchara-cli convert --type rgb24 "
                                         "(or gray256)");
        default:
            return Fail(result.message);
        }
    }
    if (!SavePicture(*result.picture, out)) return kExitFailed;
    if (!args.Has("quiet")) std::printf("%s", DescribeMosaic(result).c_str());
    return kExitOk;
}

}  // namespace cli
