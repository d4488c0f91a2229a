// stitchara-cli transform IN OUT --op mirror-h|mirror-v|mirror-d|rotate-left|rotate-right|rotate-half
//
// Loads IN into a document, runs the document's mirror or rotate command on
// its picture and saves the result; a ".vdl" OUT goes through the document's
// own save path. Into an image file the mirrors and the half turn are made
// row by row as the file is written, from rows read straight from the file
// where its format allows (binary PNM for every operation; other formats
// decoded as the rows are asked for when they come in the order wanted);
// from a binary PNM the quarter turns too.
#include <memory>
#include <new>
#include <string>

#include <cerrno>

#include "base/message_box.h"
#include "document/document.h"
#include "platform/system.h"
#include "shell/terminal_progress.h"
#include "picture/image_store.h"
#include "picture/transform.h"
#include "platform/imflib/imflib.h"
#include "shell/cli/cli.h"
#include "shell/cli/cli_io.h"

namespace cli {
namespace {

struct OpName {
    const char* name;
    TransformOp op;
};
const OpName kOps[] = {
    {"mirror-h", TransformOp::MirrorHorizontal}, {"mirror-v", TransformOp::MirrorVertical},
    {"mirror-d", TransformOp::MirrorDiagonal},   {"rotate-left", TransformOp::RotateLeft},
    {"rotate-right", TransformOp::RotateRight},  {"rotate-half", TransformOp::RotateHalf},
};

}  // namespace

int CmdTransform(const Args& args) {
    if (args.positional.size() != 2) return UsageError("transform takes IN and OUT");
    for (const auto& option : args.options)
        if (option.first != "op" && !IsCommonOption(option.first) && !IsSaveOption(option.first))
            return UsageError("transform does not take --" + option.first);
    if (!args.Has("op")) return UsageError("transform needs --op");
    const std::string name = args.Get("op");
    const OpName* chosen = nullptr;
    for (const OpName& o : kOps)
        if (name == o.name) chosen = &o;
    if (!chosen) return UsageError("unknown --op '" + name + "'");
    if (int rc = TakeSaveOptions(args); rc != kExitOk) return rc;

    const std::string& in = args.positional[0];
    const std::string& out = args.positional[1];
    const bool documentFile = IsDocumentFilePath(out);
    const bool quarter = TransformIsQuarterTurn(chosen->op);
    auto write = [&](const CPicture& shape, int width, int height, const StoredRowFunction& row,
                     int ahead = kRowsAhead, const RowsFrom& from = {}) {
        return SaveRows(shape, width, height, row, out, ahead, from) ? kExitOk : kExitFailed;
    };
    // Into an image file the result goes row by row as the writer asks for
    // it, never held whole: from the file's rows where they can be had in
    // the order the operation takes them (the quarter turns a band of
    // columns at a time from a file holding its rows uncompressed), else
    // they are made from the picture read. The diagonal mirror takes two
    // source rows for each (the far one, and its own for the padding): it
    // reads rows in no order.
    if (!documentFile && !quarter) {
        const TransformOp op = chosen->op;
        const int direction = op == TransformOp::MirrorHorizontal ? 1 : op == TransformOp::MirrorDiagonal ? 0 : -1;
        if (std::unique_ptr<ImageRowFile> file = OpenFileRows(in, out, direction)) {
            std::unique_ptr<CPicture> shape = LoadShapeFor(in, out);
            if (!shape) return kExitFailed;
            TransformedRows rows(file->Width(), file->Height(), file->Bits(), op,
                                 [&](int y, std::uint8_t* buffer) { return file->StoredRow(y, buffer) ? buffer : nullptr; });
            if (rows.Usable())
                return write(*shape, file->Width(), file->Height(),
                             [&](int y, std::uint8_t* row) { return rows.Row(y, row); }, kRowsAhead,
                             RowsFrom{file.get(), in});
        }
    }
    std::unique_ptr<ImageRowFile> raw = documentFile || !quarter ? nullptr : OpenFileRows(in, out, 0);
    if (raw && raw->Bits() >= 8) {
        std::unique_ptr<CPicture> shape = LoadShapeFor(in, out);
        if (!shape) return kExitFailed;
        try {
            TurnedRows rows(raw->Width(), raw->Height(), raw->Bits(), chosen->op == TransformOp::RotateLeft,
                            [&](int y, int x0, int count, std::uint8_t* pixels) {
                                return raw->StoredSegment(y, x0, count, pixels);
                            });
            // A band is turned while the writer takes the one before.
            if (rows.Usable())
                return write(*shape, raw->Height(), raw->Width(),
                             [&](int y, std::uint8_t* row) { return rows.Row(y, row); },
                             rows.BandRows() + kRowsAhead);
        } catch (const std::bad_alloc&) {
            // Without room for the bands the picture is read and turned whole.
        }
    }
    raw.reset();
    // The document file too is checked before the work (a missing directory).
    std::unique_ptr<CPicture> picture = LoadPictureFor(in, out);
    if (!picture) return kExitFailed;
    if (!documentFile && !quarter) {
        TransformedRows rows(picture.get(), chosen->op);
        if (rows.Usable())
            return write(*picture, picture->GetWidth(), picture->GetHeight(),
                         [&](int y, std::uint8_t* row) { return rows.Row(y, row); });
    }
    CVandrelDoc document;
    document.SetPicture(std::move(picture));

    switch (document.Transform(chosen->op)) {
    case kTransformDone: break;
    case kTransformCancelled: return Fail("cancelled");
    default: return kExitFailed;  // the document has said why
    }
    if (documentFile) {
        if (TerminalProgressHost::Interrupted()) return Fail("interrupted; '" + out + "' was not written");
        // One line with the system's reason in place of the document's message.
        SetMessageSink([](const std::string&) {});
        errno = 0;
        const int saved = document.OnSaveDocument(out);
        const int error = errno;
        UseToolMessages();
        if (saved) return kExitOk;
        return Fail("cannot write '" + out + "'" + (error ? ": " + platform::SystemErrorText(error) : ""));
    }
    return SavePicture(*document.m_pPicture, out) ? kExitOk : kExitFailed;
}

}  // namespace cli
