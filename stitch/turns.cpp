// Turning the canvas so that the Rest picture lies right of the Main picture
// for the search, and back afterwards.
#include <memory>
#include <new>

#include "picture/colour_converter.h"
#include "picture/transform.h"
#include "stitch/stitch_tool.h"

bool CStitchTool::TurnCanvas(bool forward) {
    CPicture* canvas = host->Picture();
    try {
        if (side == kSideLeft) return MirrorHorizontal(canvas, true) != 0;
        if (side != kSideTop && side != kSideBottom) return true;
        std::unique_ptr<CPicture> turned =
            NewPictureLike(canvas, 0, canvas->GetHeight(), canvas->GetWidth());
        if (!turned) return false;
        // Top turns clockwise for the search, Bottom counter-clockwise.
        bool clockwise = (side == kSideTop) == forward;
        int ok = clockwise ? RotateRight(canvas, turned.get(), true)
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
