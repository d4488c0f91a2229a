// Turning the canvas so that the Rest picture lies right of the Main picture
// for the search, and back afterwards.
#include <memory>
#include <new>

#include "picture/colour_converter.h"
#include "stitch/stitch_tool.h"

bool SearchTurn(int side, bool forward, TransformOp& op) {
    switch (side) {
    case kSideLeft:
        op = TransformOp::MirrorHorizontal;
        return true;
    case kSideTop:
        op = forward ? TransformOp::RotateRight : TransformOp::RotateLeft;
        return true;
    case kSideBottom:
        op = forward ? TransformOp::RotateLeft : TransformOp::RotateRight;
        return true;
    default:
        return false;
    }
}

bool CStitchTool::TurnCanvas(bool forward) {
    CPicture* canvas = host->Picture();
    TransformOp op;
    if (!SearchTurn(side, forward, op)) return true;
    try {
        if (op == TransformOp::MirrorHorizontal) return MirrorHorizontal(canvas, true) != 0;
        std::unique_ptr<CPicture> turned =
            NewPictureLike(canvas, 0, canvas->GetHeight(), canvas->GetWidth());
        if (!turned) return false;
        int ok = op == TransformOp::RotateRight ? RotateRight(canvas, turned.get(), true)
                                                : RotateLeft(canvas, turned.get(), true);
        if (!ok) return false;
        host->SetPicture(std::move(turned));
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

std::unique_ptr<CPicture> CStitchTool::ConvertRestLikeMain() {
    try {
        return ConvertLike(mainPicture, restPicture, true);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
