// The stitch document's pictures: the full side-by-side layout, the strip
// around the seam, the Manual composition and its transparent blend.
#include <algorithm>
#include <memory>

#include "picture/colour_converter.h"
#include "picture/global_block.h"
#include "resources/string_ids.h"
#include "base/progress.h"
#include "stitch/stitch_setup.h"
#include "stitch/stitch_tool.h"

namespace {

struct Placement {
    int width = 0, height = 0;   // canvas
    int mainX = 0, mainY = 0;
    int restX = 0, restY = 0;
    int firstExtent = 0;
};

// Where the two pictures lie: the full layout, or the strip of 2 × ov along
// the seam axis cut from it around firstExtent.
Placement PlaceFor(int side, bool full, int wm, int hm, int wr, int hr, int ov) {
    Placement p;
    switch (side) {
    case kSideLeft:
        p = {wr + wm, std::max(hr, hm), wr, 0, 0, 0, wr};
        break;
    case kSideTop:
        p = {std::max(wr, wm), hr + hm, 0, hr, 0, 0, hr};
        break;
    case kSideBottom:
        p = {std::max(wr, wm), hm + hr, 0, 0, 0, hm, hm};
        break;
    default:
        p = {wm + wr, std::max(hr, hm), 0, 0, wm, 0, wm};
        break;
    }
    if (!full) {
        int cut = p.firstExtent - ov;  // full-layout coordinate of the strip's start
        if (side == kSideTop || side == kSideBottom) {
            p.height = 2 * ov;
            p.mainY -= cut;
            p.restY -= cut;
        } else {
            p.width = 2 * ov;
            p.mainX -= cut;
            p.restX -= cut;
        }
    }
    return p;
}

bool PlacePicture(CPicture* canvas, CPicture* source, int x, int y, bool full, bool progress) {
    if (full) return canvas->PasteFrom(source, x, y, progress) != 0;
    return source->CopyTo(canvas, x, y, nullptr, progress) != 0;
}

}  // namespace

void CStitchTool::Begin(StitchHost* h, CPicture* main, CPicture* rest, int s, int overlapPixels,
                        StitchMethod m, bool low) {
    host = h;
    mainPicture = main;
    restPicture = rest;
    side = std::int16_t(s);
    overlap = std::int16_t(overlapPixels);
    chosenOverlap = std::int16_t(overlapPixels);
    method = m;
    lowMemory = low;
    BlendSetup blend = BlendSetupFor(main ? main->GetType() : ptUnknown);
    blendEnabled = blend.enabled;
    blendBytes = std::int16_t(blend.enabled ? blend.bytes : 3);
    cancelled = false;
    searchFrame = restLeftOut = false;
}

bool CStitchTool::BuildCanvas(bool full, bool forSearch) {
    if (!host || !mainPicture || !restPicture) return false;
    int wm = mainPicture->GetWidth(), hm = mainPicture->GetHeight();
    int wr = restPicture->GetWidth(), hr = restPicture->GetHeight();
    if (!full && overlap <= 0) return false;
    Placement p = PlaceFor(side, full, wm, hm, wr, hr, overlap);
    firstExtent = std::int16_t(p.firstExtent);
    if (p.width <= 0 || p.height <= 0 || p.width > kMaxPictureSide || p.height > kMaxPictureSide)
        return false;

    // For the search, each picture goes into the place the turn of the whole
    // layout would give it, turned as that would turn it.
    TransformOp turn = TransformOp::MirrorHorizontal;
    const bool turns = SearchTurn(side, true, turn);
    const bool turned = full && forSearch && turns;
    const bool quarter = turned && TransformIsQuarterTurn(turn);
    std::unique_ptr<CPicture> canvas =
        NewPictureLike(mainPicture, 0, quarter ? p.height : p.width, quarter ? p.width : p.height);
    if (!canvas) return false;

    if (forceSwap) {
        mainPicture->SwapOut();
        restPicture->SwapOut();
        canvas->SwapIn();
    }

    // The Rest picture in the Main picture's format: itself, or a converted copy.
    std::unique_ptr<CPicture> convertedCopy;
    CPicture* converted = restPicture;
    if (!HasFormatOf(mainPicture, restPicture)) {
        convertedCopy = ConvertRestLikeMain();
        if (!convertedCopy) return false;
        converted = convertedCopy.get();
    }

    restRect = {0, 0, converted->GetWidth() - 1, converted->GetHeight() - 1};
    mainRect = {0, 0, wm - 1, hm - 1};
    progressTotal = p.width * 2;
    progressCount = 0;

    // Where the turn of the full layout takes the top-left corner of a picture at (x, y).
    auto corner = [&](CPicture* source, int x, int y) {
        if (!turns) return PointL{x, y};
        const int w = source->GetWidth(), h = source->GetHeight();
        if (turn == TransformOp::RotateRight) return PointL{p.height - y - h, x};
        if (turn == TransformOp::RotateLeft) return PointL{y, p.width - x - w};
        return PointL{p.width - x - w, y};
    };
    auto place = [&](CPicture* source, int x, int y) {
        if (!turned) return PlacePicture(canvas.get(), source, x, y, full, lowMemory);
        const PointL at = corner(source, x, y);
        Rect whole{0, 0, source->GetWidth() - 1, source->GetHeight() - 1};
        return TransformAreaInto(source, whole, canvas.get(), at.x, at.y, turn) != 0;
    };
    // For the search, the Rest picture goes into the strip only.
    const bool restLeft = full && forSearch;
    restInSearch = corner(converted, p.restX, p.restY);
    mainInSearch = corner(mainPicture, p.mainX, p.mainY);
    fullLayout = full;
    bool placed = place(mainPicture, p.mainX, p.mainY) &&
                  (restLeft || place(converted, p.restX, p.restY));
    if (side == kSideLeft) {
        mainRect.left += firstExtent;
        mainRect.right += firstExtent;
    } else if (side == kSideTop) {
        mainRect.top += firstExtent;
        mainRect.bottom += firstExtent;
    } else if (side == kSideRight) {
        restRect.left += firstExtent;
        restRect.right += firstExtent;
    } else {
        restRect.top += firstExtent;
        restRect.bottom += firstExtent;
    }
    if (convertedCopy) {
        host->ReplaceRestPicture(std::move(convertedCopy));
        restPicture = converted;
    }
    if (!placed) return false;
    host->SetPicture(std::move(canvas));
    searchFrame = restLeftOut = restLeft;
    return true;
}

std::unique_ptr<CPicture> CStitchTool::RestStrip(CPicture* canvas) {
    const int width = canvas->GetWidth() - firstExtent;
    std::unique_ptr<CPicture> strip = NewPictureLike(canvas, 0, width, canvas->GetHeight());
    if (!strip) return nullptr;
    const int x = restInSearch.x - firstExtent, y = restInSearch.y;
    TransformOp turn;
    const bool ok = SearchTurn(side, true, turn)
                        ? TransformAreaInto(restPicture,
                                            Rect{0, 0, restPicture->GetWidth() - 1,
                                                 restPicture->GetHeight() - 1},
                                            strip.get(), x, y, turn) != 0
                        : strip->PasteFrom(restPicture, x, y, lowMemory) != 0;
    if (!ok) return nullptr;
    return strip;
}

bool CStitchTool::PutBackRest(CPicture* canvas, const Rect& bounds) {
    std::unique_ptr<CPicture> strip;   // made when a row needs it (seldom)
    const int rows = std::min(bounds.bottom, canvas->GetHeight());
    for (int t = std::max(bounds.top, 0); t < rows; ++t) {
        int to = bounds.right;
        if (std::size_t(t) < mergedFrom.size()) to = std::min(to, mergedFrom[std::size_t(t)]);
        if (to <= firstExtent) continue;
        if (!strip && !(strip = RestStrip(canvas))) return false;
        Rect part{0, t, to - 1 - firstExtent, t};
        if (!strip->CopyTo(canvas, firstExtent, t, &part, false)) return false;
    }
    restLeftOut = false;
    return true;
}

bool CStitchTool::PrepareStitchDocument() {
    // Auto keeps its layout to itself: it is made for the search at once.
    const bool automatic = method == StitchMethod::Auto;
    if (!BuildCanvas(automatic, automatic)) return false;
    host->SetStitchWork2({});
    host->SetStitchWork({});
    return true;
}

bool CStitchTool::ComposeFullLayout() { return BuildCanvas(true); }

bool CStitchTool::ManualCompose() {
    if (!host || !mainPicture || !restPicture) return false;
    // R: the Rest picture at the origin; M: the Main picture placed so that
    // mainPoint falls on restPoint.
    Rect r{0, 0, restRect.right - restRect.left + 1, restRect.bottom - restRect.top + 1};
    int dx = restPoint.x + mainRect.left - restRect.left - mainPoint.x;
    int dy = restPoint.y + mainRect.top - restRect.top - mainPoint.y;
    Rect m{dx, dy, dx + mainRect.right - mainRect.left + 1, dy + mainRect.bottom - mainRect.top + 1};
    Rect u{std::min(r.left, m.left), std::min(r.top, m.top), std::max(r.right, m.right),
           std::max(r.bottom, m.bottom)};
    auto move = [&](Rect& a) {
        a.left -= u.left;
        a.right -= u.left;
        a.top -= u.top;
        a.bottom -= u.top;
    };
    move(r);
    move(m);
    int width = u.right - u.left, height = u.bottom - u.top;
    if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide)
        return false;

    // In the layout's format, which is the Main picture's (the layout itself
    // may be with the front end that showed it).
    std::unique_ptr<CPicture> p = NewPictureLike(mainPicture, 1, width, height);
    if (!p) return false;
    if (!mainPicture->CopyTo(p.get(), m.left, m.top, nullptr, lowMemory)) return false;
    if (!restPicture->CopyTo(p.get(), r.left, r.top, nullptr, lowMemory)) return false;

    if (blendEnabled) {
        Rect i{std::max(r.left, m.left), std::max(r.top, m.top), std::min(r.right, m.right) - 1,
               std::min(r.bottom, m.bottom) - 1};
        if (i.left <= i.right && i.top <= i.bottom) {
            Rect im{i.left - m.left, i.top - m.top, i.right - m.left, i.bottom - m.top};
            if (!TransparentBlend(p.get(), mainPicture, i, im)) return false;
        }
    }
    host->SetPicture(std::move(p));
    host->SetStitchWork2({});
    host->SetModified(true);
    return true;
}

bool CStitchTool::TransparentBlend(CPicture* target, CPicture* main, const Rect& targetRect,
                                   const Rect& mainRectIn) {
    int n = mainRectIn.right - mainRectIn.left + 1;
    if (n <= 0 || mainRectIn.bottom < mainRectIn.top) return true;
    int b = blendBytes;
    CGlobalBlock block;
    std::uint8_t* rows = block.Allocate(kGlobalMoveable, std::uint64_t(n) * b * 2 + 8);
    if (!rows) return false;
    std::uint8_t* mainRow = rows;
    std::uint8_t* targetRow = rows + std::size_t(n) * b;

    BeginProgressWithCaption(IDS_PROCESSING, 0, unsigned(mainRectIn.right - mainRectIn.left));
    progressCount = 0;
    int height = mainRectIn.bottom - mainRectIn.top;
    bool ok = true;
    for (int i = mainRectIn.bottom, t = targetRect.bottom; i >= mainRectIn.top; --i, --t) {
        if (!main->ReadRow(mainRectIn.left, mainRectIn.right, i, mainRow) ||
            !target->ReadRow(targetRect.left, targetRect.left + n - 1, t, targetRow)) {
            ok = false;
            break;
        }
        std::uint8_t* written = targetRow;
        switch (side) {
        case kSideRight:
            BlendRow(mainRow, targetRow, n, -1, b);
            break;
        case kSideLeft:
            BlendRow(targetRow, mainRow, n, -1, b);
            written = mainRow;
            break;
        case kSideTop:
            BlendRow(mainRow, targetRow, n, MulDiv(mainRectIn.bottom - i, 100, height + 1), b);
            break;
        default:
            BlendRow(mainRow, targetRow, n, MulDiv(i - mainRectIn.top, 100, height + 1), b);
            break;
        }
        if (!target->WriteRow(targetRect.left, targetRect.left + n - 1, t, written)) {
            ok = false;
            break;
        }
        if (StepProgress(unsigned(progressCount++))) {
            cancelled = true;
            ok = false;
            break;
        }
    }
    EndProgress();
    return ok;
}
