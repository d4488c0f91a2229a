#include "document/crop_qt.h"

#include <algorithm>

#include "document/document_qt.h"
#include "document/history_qt.h"
#include "picture/crop.h"
#include "platform/profile.h"
#include "resources/command_ids.h"
#include "resources/string_ids.h"
#include "resources/strings.h"

namespace {

// The rectangle of picture cut out, as the document's new picture.
bool CropTo(Document& document, const Rect& rect, int commandId) {
    CPicture* picture = document.picture();
    document.BeginWaitCursor();
    std::unique_ptr<CPicture> cropped = CropPicture(picture, rect, !document.core().IsInPlaceActive());
    document.EndWaitCursor();
    if (!cropped) {
        document.ShowMessage(LoadStringById(IDS_OUT_OF_MEMORY));
        return false;
    }
    return document.replacePicture(std::move(cropped), StepName(commandId));
}

}  // namespace

int TrimTolerance() {
    return std::clamp(platform::GetProfileInt("Preference", "TrimTolerance", 8), 0, 255);
}

bool CropDocument(Document& document, const QRect& rect) {
    CPicture* picture = document.picture();
    if (!picture || document.busy()) return false;  // a job works on the picture
    const Rect wanted{rect.left(), rect.top(), rect.right(), rect.bottom()};
    if (rect.isEmpty() || !CropRectFits(*picture, wanted)) {
        document.ShowMessage(LoadStringById(IDS_SELECTION_OUTSIDE));
        return false;
    }
    return CropTo(document, wanted, ID_CROP_TO_SELECTION);
}

bool TrimDocument(Document& document, int tolerance) {
    CPicture* picture = document.picture();
    if (!picture || document.busy()) return false;  // a job works on the picture
    Rect keep;
    document.BeginWaitCursor();
    const TrimFind found = FindTrimRect(picture, tolerance, keep);
    document.EndWaitCursor();
    switch (found) {
    case TrimFind::kAllBorder: document.ShowMessage(LoadStringById(IDS_TRIM_ALL_BORDER)); return false;
    case TrimFind::kFailed: document.ShowMessage(LoadStringById(IDS_OUT_OF_MEMORY)); return false;
    case TrimFind::kFound: break;
    }
    if (keep == WholeRect(picture->GetWidth(), picture->GetHeight())) {
        document.ShowMessage(LoadStringById(IDS_TRIM_NO_BORDER));
        return false;
    }
    return CropTo(document, keep, ID_TRIM_BORDER);
}
