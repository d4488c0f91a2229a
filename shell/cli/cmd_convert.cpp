// stitchara-cli convert IN OUT: format conversion by the output's extension,
// with an optional colour conversion on the way.
#include <algorithm>
#include <cstdint>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "picture/colour_converter.h"
#include "document/document.h"
#include "document/import_export.h"
#include "picture/picture.h"
#include "platform/imflib/imflib.h"
#include "resources/strings.h"
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

int TypeFromName(const std::string& name) {
    if (name == "bw") return ptBlackWhite;
    if (name == "gray16") return ptGray16;
    if (name == "gray256") return ptGray256;
    if (name == "color16") return ptColor16;
    if (name == "color256") return ptColor256;
    return ptTrueColor24;
}

// Converts the picture as the colour options say; the converted picture, or
// none after printing the reason. Without --type the picture keeps its type;
// without --mode the converter chooses (mode 7).
std::unique_ptr<CPicture> ConvertColours(std::unique_ptr<CPicture> picture,
                                         const ColourOptions& colour) {
    if (!colour.Any()) return picture;
    const int from = picture->GetType();
    const int to = colour.type.empty() ? from : TypeFromName(colour.type);
    if (to == from && colour.mode < 0) return picture;  // nothing to change
    const int mode = colour.mode >= 0 ? colour.mode : kModeAutomatic;
    const BitmapInfoHeader* header = picture->GetHeader();
    auto result = std::make_unique<CDocPicture>();
    if (!result->Create(to, picture->GetWidth(), picture->GetHeight(), 0, nullptr,
                        std::uint32_t(header->biXPelsPerMeter),
                        std::uint32_t(header->biYPelsPerMeter), kStoreAny)) {
        Fail(LoadStringById(5098));
        return nullptr;
    }
    CColourConverter converter;
    if (!converter.Setup(result.get(), picture.get(),
                         MakeModeAndPattern(mode, std::max(colour.pattern, 0)),
                         colour.matrix > 0 ? colour.matrix : 4, true)) {
        Fail(std::string("cannot convert a ") + PictureTypeName(from) + " picture to " +
             PictureTypeName(to) + " with mode " + std::to_string(mode));
        return nullptr;
    }
    if (!converter.Run()) {
        Fail("colour conversion failed or was cancelled");
        return nullptr;
    }
    return result;
}

// A conversion to 8-bit pixels that takes each row on its own (nearest
// colour or ordered dither), from a file whose rows come in the writer's order: the
// rows are converted as the writer asks for them, with models of one row
// in place of the two pictures. The exit code, or -1 when the conversion is
// not of that kind (the caller converts the picture read).
int ConvertRowByRow(ImageRowFile& raw, const std::string& in, const std::string& out,
                    const ColourOptions& colour, const std::string& remedy) {
    if (raw.Bits() < 8 || colour.type.empty()) return -1;
    const int to = TypeFromName(colour.type);
    if (to != ptGray256 && to != ptColor256) return -1;
    ImageFileInfo info;
    std::unique_ptr<CPicture> source = ReadImageFileShape(in, info);
    if (!source || source->GetType() == to) return -1;
    const BitmapInfoHeader* header = source->GetHeader();
    auto model = std::make_unique<CDocPicture>();
    if (!model->Create(to, raw.Width(), 1, 0, nullptr, std::uint32_t(header->biXPelsPerMeter),
                       std::uint32_t(header->biYPelsPerMeter), kStoreMemory))
        return -1;
    CColourConverter converter;
    const int mode = colour.mode >= 0 ? colour.mode : kModeAutomatic;
    if (!converter.Setup(model.get(), source.get(), MakeModeAndPattern(mode, std::max(colour.pattern, 0)),
                         colour.matrix > 0 ? colour.matrix : 4) ||
        (converter.Mode() != kModeNearest && converter.Mode() != kModeDither))
        return -1;
    if (!CheckOutputPath(out) || !CheckOutputTakes(out, to, remedy)) return kExitFailed;
    std::vector<std::uint8_t> from(raw.RowBytes());
    const std::size_t pixels = std::size_t(raw.Width());
    return SaveRows(*model, raw.Width(), raw.Height(),
                    [&](int y, std::uint8_t* row) {
                        if (!raw.StoredRow(y, from.data()) || !converter.ConvertRow(y, from.data(), row))
                            return false;
                        std::memset(row + pixels, 0, std::size_t(model->GetRowBytes() - pixels));
                        return true;
                    },
                    out, kRowsAhead, RowsFrom{&raw, in})
               ? kExitOk
               : kExitFailed;
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
    if ((colour.pattern >= 0 || colour.matrix >= 0) && colour.mode != 3)
        return UsageError("--pattern and --matrix choose the ordered dither: they need --mode 3");
    if (int rc = TakeSaveOptions(args); rc != kExitOk) return rc;
    const std::string& in = args.positional[0];
    const std::string& out = args.positional[1];
    const std::string remedy = "add --type color256 (or gray256, color16, gray16, bw)";
    // A change of format alone, or a conversion row by row, from a file
    // whose rows can be had in the writer's order: the rows go from file to
    // file as the writer asks for them.
    if (!IsDocumentFilePath(out)) {
        if (std::unique_ptr<ImageRowFile> raw = OpenFileRows(in, out, 1)) {
            if (!colour.Any()) {
                std::unique_ptr<CPicture> shape = LoadShapeFor(in, out, remedy);
                if (!shape) return kExitFailed;
                return SaveRows(*shape, raw->Width(), raw->Height(),
                                [&](int y, std::uint8_t* row) { return raw->StoredRow(y, row); }, out, kRowsAhead,
                                RowsFrom{raw.get(), in})
                           ? kExitOk
                           : kExitFailed;
            }
            if (int rc = ConvertRowByRow(*raw, in, out, colour, remedy); rc >= 0) return rc;
        }
    }
    if (!CheckOutputPath(out)) return kExitFailed;

    std::unique_ptr<CPicture> picture = LoadPicture(in);
    if (!picture) return kExitFailed;
    const int to = colour.type.empty() ? picture->GetType() : TypeFromName(colour.type);
    if (!CheckOutputTakes(out, to, remedy)) return kExitFailed;
    picture = ConvertColours(std::move(picture), colour);
    if (!picture) return kExitFailed;
    return SavePicture(*picture, out) ? kExitOk : kExitFailed;
}

}  // namespace cli
