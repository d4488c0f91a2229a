#include "document/crop_qt.h"

#include <algorithm>
#include <memory>

#include "base/progress.h"
#include "document/document_qt.h"
#include "document/history_qt.h"
#include "picture/crop.h"
#include "platform/profile.h"
#include "resources/command_ids.h"
#include "resources/string_ids.h"
#include "resources/strings.h"

namespace {

// Why a cut made no picture: the message for it (0: none, as after a cancel).
using Refusal = std::shared_ptr<int>;

// The cut made by make on a worker takes the place of the document's picture.
bool Cut(Document& document, int commandId, Document::MakePicture make, const Refusal& refusal,
         std::function<void(bool)> done) {
    return document.replaceInBackground(
        IDS_PROCESSING, std::move(make), StepName(commandId),
        [&document, refusal, done = std::move(done)](bool cut) {
            if (!cut && *refusal) document.ShowMessage(LoadStringById(*refusal));
            if (done) done(cut);
        });
}

// A picture of rect of current; none (out of memory) or a cancel.
std::unique_ptr<CPicture> CropOf(CPicture& current, const Rect& rect, bool progress, Progress& p, int& refusal) {
    std::unique_ptr<CPicture> cropped = CropPicture(&current, rect, progress);
    if (!cropped && !p.Cancelled()) refusal = IDS_OUT_OF_MEMORY;
    return cropped;
}

}  // namespace

int TrimTolerance() {
    return std::clamp(platform::GetProfileInt("Preference", "TrimTolerance", 8), 0, 255);
}

bool CropDocument(Document& document, const QRect& rect, std::function<void(bool)> done) {
    CPicture* picture = document.picture();
    if (!picture || document.busy()) return false;  // a job works on the picture
    const Rect wanted{rect.left(), rect.top(), rect.right(), rect.bottom()};
    if (rect.isEmpty() || !CropRectFits(*picture, wanted)) {
        document.ShowMessage(LoadStringById(IDS_SELECTION_OUTSIDE));
        return false;
    }
    const bool progress = !document.core().IsInPlaceActive();
    auto refusal = std::make_shared<int>(0);
    return Cut(
        document, ID_CROP_TO_SELECTION,
        [wanted, progress, refusal](CPicture& current, Progress& p) {
            return CropOf(current, wanted, progress, p, *refusal);
        },
        refusal, std::move(done));
}

bool TrimDocument(Document& document, int tolerance, std::function<void(bool)> done) {
    if (!document.picture() || document.busy()) return false;  // a job works on the picture
    const bool progress = !document.core().IsInPlaceActive();
    auto refusal = std::make_shared<int>(0);
    return Cut(
        document, ID_TRIM_BORDER,
        [tolerance, progress, refusal](CPicture& current, Progress& p) -> std::unique_ptr<CPicture> {
            Rect keep;
            switch (FindTrimRect(&current, tolerance, keep)) {
            case TrimFind::kAllBorder: *refusal = IDS_TRIM_ALL_BORDER; return nullptr;
            case TrimFind::kFailed: *refusal = IDS_OUT_OF_MEMORY; return nullptr;
            case TrimFind::kFound: break;
            }
            if (keep == WholeRect(current.GetWidth(), current.GetHeight())) {
                *refusal = IDS_TRIM_NO_BORDER;
                return nullptr;
            }
            return CropOf(current, keep, progress, p, *refusal);
        },
        refusal, std::move(done));
}
