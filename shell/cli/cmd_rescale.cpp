// stitchara-cli rescale IN OUT --size WxH: nearest-neighbour resampling.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <memory>
#include <string>

#include "picture/picture.h"
#include "picture/resample.h"
#include "document/document.h"
#include "shell/cli/cli.h"
#include "shell/cli/cli_io.h"

namespace cli {

namespace {

// "WxH" with both sides 1..kMaxPictureSide.
bool ParseSize(const std::string& text, int& width, int& height) {
    std::size_t x = text.find_first_of("xX");
    if (x == std::string::npos) return false;
    auto side = [](const std::string& part, int& value) {
        if (part.empty() || part[0] < '0' || part[0] > '9') return false;
        char* stop = nullptr;
        errno = 0;
        long v = std::strtol(part.c_str(), &stop, 10);
        if (errno != 0 || *stop != '\0' || v < 1 || v > kMaxPictureSide) return false;
        value = int(v);
        return true;
    };
    return side(text.substr(0, x), width) && side(text.substr(x + 1), height);
}

}  // namespace

int CmdRescale(const Args& args) {
    if (args.positional.size() != 2) return UsageError("rescale takes an input and an output file");
    for (const auto& option : args.options)
        if (!IsCommonOption(option.first) && !IsSaveOption(option.first) && option.first != "size")
            return UsageError("rescale has no option --" + option.first);
    int width = 0, height = 0;
    if (!args.Has("size") || !ParseSize(args.Get("size"), width, height))
        return UsageError("rescale needs --size WxH, each side from 1 to " +
                          std::to_string(kMaxPictureSide));
    if (int rc = TakeSaveOptions(args); rc != kExitOk) return rc;

    std::unique_ptr<CPicture> picture = LoadPictureFor(args.positional[0], args.positional[1]);
    if (!picture) return kExitFailed;
    const std::string& out = args.positional[1];
    if (width == picture->GetWidth() && height == picture->GetHeight())
        return SavePicture(*picture, out) ? kExitOk : kExitFailed;
    if (!IsDocumentFilePath(out)) {
        // Row by row as the file is written: no rescaled picture in memory.
        try {
            RescaledRows rows(picture.get(), width, height);
            const std::uint64_t pixels = rows.RowBytes();
            const std::uint64_t stored = RowBytesFor(width, picture->GetHeader()->biBitCount);
            return SaveRows(*picture, width, height,
                            [&](int y, std::uint8_t* row) {
                                const std::uint8_t* made = rows.Row(y);
                                if (!made) return false;
                                std::memcpy(row, made, pixels);
                                std::memset(row + pixels, 0, stored - pixels);
                                return true;
                            },
                            out)
                       ? kExitOk
                       : kExitFailed;
        } catch (const std::bad_alloc&) {
            return Fail("cannot rescale the picture");
        }
    }
    std::unique_ptr<CPicture> result(RescaledCopy(picture.get(), width, height));
    if (!result) return Fail("cannot rescale the picture");
    picture.reset();
    return SavePicture(*result, out) ? kExitOk : kExitFailed;
}

}  // namespace cli
