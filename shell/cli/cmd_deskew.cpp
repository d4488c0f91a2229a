// stitchara-cli deskew IN OUT --thumbs AX,AY,BX,BY: straightens the picture
// as the deskew tool does when its two thumbs lie at A and B.
//
// The straightened rows are made from the top down from source rows taken
// from the top down, a band at a time: into a writer that starts at the top
// they go to the file as they are made, and the source's rows come straight
// from its file where they can (OpenFileRows), so that neither picture is
// held whole. Into a writer that starts at the bottom (or the document
// file) the straightened picture is made first and then written.
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "document/document.h"
#include "picture/picture.h"
#include "picture/resample.h"
#include "platform/imflib/imflib.h"
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
    const std::string& in = args.positional[0];
    const std::string& out = args.positional[1];

    // Source rows from the top down: a file whose rows come so into a
    // writer from the top (direction 1), or from the bottom (-1).
    const int writerOrder = IsDocumentFilePath(out) ? 0 : WriterRowOrder(out.c_str());
    std::unique_ptr<ImageRowFile> file = writerOrder != 0 ? OpenFileRows(in, out, writerOrder) : nullptr;
    std::unique_ptr<CPicture> picture;
    if (file) {
        picture = LoadShapeFor(in, out);
    } else {
        picture = LoadPictureFor(in, out);
    }
    if (!picture) return kExitFailed;
    const int width = file ? file->Width() : picture->GetWidth();
    const int height = file ? file->Height() : picture->GetHeight();
    DeskewGeometry geometry;
    const bool tilted = ComputeDeskewGeometry(t[0], t[1], t[2], t[3], width, height, geometry);
    if (tilted && (geometry.width <= 0 || geometry.height <= 0 || geometry.width > kMaxPictureSide ||
                   geometry.height > kMaxPictureSide))
        return Fail("cannot deskew the picture (out of memory or cancelled)");
    if (tilted) {
        try {
            DeskewedRows rows(*picture, width, height,
                              [&](int y, std::uint8_t* buffer) {
                                  return file ? file->StoredRow(y, buffer)
                                              : picture->ReadRow(0, width - 1, y, buffer) != 0;
                              },
                              geometry.corners, geometry.width, geometry.height);
            if (rows.Usable() && writerOrder == 1)
                return SaveRows(*picture, geometry.width, geometry.height,
                                [&](int y, std::uint8_t* row) { return rows.Row(y, row); }, out, kRowsAhead,
                                RowsFrom{file.get(), in})
                           ? kExitOk
                           : kExitFailed;
            if (rows.Usable() && file) {
                // Into a writer from the bottom: the result whole, the source from its file.
                const BitmapInfoHeader* header = picture->GetHeader();
                auto result = std::make_unique<CDocPicture>();
                if (!result->Create(picture->GetType(), geometry.width, geometry.height, int(header->biClrUsed),
                                    picture->GetColourTable(), std::uint32_t(header->biXPelsPerMeter),
                                    std::uint32_t(header->biYPelsPerMeter), kStoreAny))
                    return Fail("cannot deskew the picture (out of memory or cancelled)");
                std::vector<std::uint8_t> row(result->GetRowBytes());
                for (int y = 0; y < geometry.height; ++y)
                    if (!rows.Row(y, row.data()) || !result->WriteStoredRow(y, row.data())) {
                        const std::string why = file->Failure();
                        if (!why.empty()) return Fail("cannot read '" + in + "': " + why);
                        return Fail("cannot deskew the picture (out of memory or cancelled)");
                    }
                return SavePicture(*result, out) ? kExitOk : kExitFailed;
            }
        } catch (const std::bad_alloc&) {
            // The band could not be had: the pictures whole, as below.
        }
    }
    if (file) {
        // Without a band (or without tilt) the picture is read whole.
        file.reset();
        picture = LoadPictureFor(in, out);
        if (!picture) return kExitFailed;
    }
    // A line without tilt leaves the picture as it is.
    if (!tilted) return SavePicture(*picture, out) ? kExitOk : kExitFailed;
    std::unique_ptr<CPicture> result(DeskewPicture(picture.get(), t[0], t[1], t[2], t[3]));
    if (!result) return Fail("cannot deskew the picture (out of memory or cancelled)");
    picture.reset();
    return SavePicture(*result, out) ? kExitOk : kExitFailed;
}

}  // namespace cli
