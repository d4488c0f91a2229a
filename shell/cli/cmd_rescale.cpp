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
#include "platform/imflib/imflib.h"
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

    const std::string& in = args.positional[0];
    const std::string& out = args.positional[1];
    // Row by row as the file is written, no rescaled picture in memory:
    // straight from the input file's rows where they can be had in the
    // writer's order (OpenFileRows), else from the picture read.
    auto save = [&](const CPicture& shape, RescaledRows& rows, const RowsFrom& from = {}) {
        const std::uint64_t pixels = rows.RowBytes();
        const std::uint64_t stored = RowBytesFor(width, shape.GetHeader()->biBitCount);
        return SaveRows(shape, width, height,
                        [&](int y, std::uint8_t* row) {
                            const std::uint8_t* made = rows.Row(y);
                            if (!made) return false;
                            std::memcpy(row, made, pixels);
                            std::memset(row + pixels, 0, stored - pixels);
                            return true;
                        },
                        out, kRowsAhead, from)
                   ? kExitOk
                   : kExitFailed;
    };
    try {
        std::unique_ptr<ImageRowFile> file = IsDocumentFilePath(out) ? nullptr : OpenFileRows(in, out, 1);
        if (file && (width != file->Width() || height != file->Height())) {
            std::unique_ptr<CPicture> shape = LoadShapeFor(in, out);
            if (!shape) return kExitFailed;
            RescaledRows rows(file->Width(), file->Height(), file->Bits(),
                              [&](int y, std::uint8_t* buffer) { return file->StoredRow(y, buffer); }, width, height);
            return save(*shape, rows, RowsFrom{file.get(), in});
        }
        file.reset();
        std::unique_ptr<CPicture> picture = LoadPictureFor(in, out);
        if (!picture) return kExitFailed;
        if (width == picture->GetWidth() && height == picture->GetHeight())
            return SavePicture(*picture, out) ? kExitOk : kExitFailed;
        if (!IsDocumentFilePath(out)) {
            RescaledRows rows(picture.get(), width, height);
            return save(*picture, rows);
        }
        std::unique_ptr<CPicture> result(RescaledCopy(picture.get(), width, height));
        if (!result) return Fail("cannot rescale the picture");
        picture.reset();
        return SavePicture(*result, out) ? kExitOk : kExitFailed;
    } catch (const std::bad_alloc&) {
        return Fail("cannot rescale the picture");
    }
}

}  // namespace cli
