// The automatic overlap search: textured blocks of the Rest picture near the
// seam, found again in the Main picture by the sum of absolute differences
// inside a window that adapts from match to match.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "picture/global_block.h"
#include "resources/string_ids.h"
#include "resources/strings.h"
#include "base/progress.h"
#include "stitch/stitch_setup.h"
#include "stitch/stitch_tool.h"

namespace {

// The samples of n pixels: sums of the three bytes, or the bytes themselves.
void ToSamples(const std::uint8_t* bytes, int n, int b, std::int32_t* out) {
    if (b == 3) {
        for (int i = 0; i < n; ++i, bytes += 3) out[i] = bytes[0] + bytes[1] + bytes[2];
    } else {
        for (int i = 0; i < n; ++i) out[i] = bytes[i];
    }
}

// The offset's horizontal half width and the window width that goes with it.
std::int16_t WindowWidth(int halfRange, int blockWidth) {
    return std::int16_t((halfRange < 30 ? 2 * halfRange : 60) + blockWidth);
}

int Clamp(int v, int lo, int hi) { return std::max(lo, std::min(v, hi)); }

}  // namespace

bool CStitchTool::AutoStitch() {
    if (!host || !host->Picture()) return false;
    blockW = blockH = 16;
    if (!NormaliseLayout()) return false;
    CPicture* canvas = host->Picture();
    int r = canvas->GetXDpi() * 3 / 100;
    searchHalfRange = std::int16_t(r < 25 ? 24 : r);
    overlap = WindowWidth(searchHalfRange, blockW);
    offsetX = std::int16_t(overlap < firstExtent ? firstExtent - overlap : 0);
    int my = canvas->GetYDpi() * 3 / 10;
    marginY = std::int16_t(my < 80 ? my : 80);
    offsetY = 0;
    wideFirstWindow = true;
    hintGiven = false;
    bool ok = SearchMatches() && RestoreLayout();
    wideFirstWindow = false;
    return ok;
}

bool CStitchTool::SemiAutoStitch() {
    if (!host) return false;
    const StitchMethod chosen = method;
    method = StitchMethod::Auto;
    bool composed = BuildCanvas(true, true);
    method = chosen;
    if (!composed) return false;
    if (!NormaliseLayout()) return false;
    // The user's placement after the turn: where the Rest strip's origin lies.
    hintGiven = true;
    hintX = mainPoint.x + firstExtent - restPoint.x;
    hintY = mainPoint.y - restPoint.y;
    CPicture* canvas = host->Picture();
    blockW = blockH = 16;
    offsetY = std::int16_t(Clamp(mainPoint.y - restPoint.y, -32767, 32767));
    int r = canvas->GetXDpi() * 3 / 100;
    searchHalfRange = std::int16_t(r <= 16 ? 16 : r);
    overlap = WindowWidth(searchHalfRange, blockW);
    int ox = mainPoint.x + firstExtent - restPoint.x;
    offsetX = std::int16_t(ox > 0 ? std::min(ox, 32767) : 0);
    int my = int(canvas->GetYDpi() * 0.06);
    marginY = std::int16_t(my < 30 ? my : 30);
    wideFirstWindow = false;
    bool ok = SearchMatches();
    hintGiven = false;
    RestoreLayout();
    return ok;
}

bool CStitchTool::NormaliseLayout() {
    CPicture* canvas = host ? host->Picture() : nullptr;
    if (!canvas) return false;
    // The layout's size, before the turn.
    int w = canvas->GetWidth(), h = canvas->GetHeight();
    if (searchFrame && (side == kSideTop || side == kSideBottom)) std::swap(w, h);
    if (!searchFrame && side != kSideRight && !TurnCanvas(true)) return false;
    searchFrame = true;
    auto turn = [&](PointL& p) {
        if (side == kSideLeft) p.x = w - p.x;
        else if (side == kSideTop) p = {h - p.y, p.x};
        else if (side == kSideBottom) p = {p.y, w - p.x};
    };
    turn(restPoint);
    turn(mainPoint);
    if (side == kSideLeft) firstExtent = std::int16_t(w - firstExtent);
    else if (side == kSideTop) firstExtent = std::int16_t(h - firstExtent);

    canvas = host->Picture();
    int width = canvas->GetWidth() - firstExtent;
    if (firstExtent <= 0 || width <= 0) return false;
    std::unique_ptr<CPicture> rest;
    if (restLeftOut) {
        rest = RestStrip(canvas);
        if (!rest) return false;
    } else {
        // Every pixel of the strip is copied: it need not be cleared first.
        rest = NewPictureLike(canvas, 0, width, canvas->GetHeight());
        if (!rest) return false;
        Rect columns{firstExtent, 0, canvas->GetWidth() - 1, canvas->GetHeight() - 1};
        if (!canvas->CopyTo(rest.get(), 0, 0, &columns, lowMemory)) return false;
    }
    host->SetStitchWork(std::move(rest));
    return true;
}

bool CStitchTool::RestoreLayout() {
    if (!host) return false;
    host->SetStitchWork({});
    host->SetStitchWork2({});
    if (searchFrame && side != kSideRight && host->Picture()) TurnCanvas(false);
    searchFrame = false;
    host->SetModified(true);
    return true;
}

int CStitchTool::BlockSearch() {
    CPicture* canvas = host->Picture();
    CPicture* rest = host->StitchWork();
    int wr = rest->GetWidth(), hr = rest->GetHeight();
    int xDpi = canvas->GetXDpi();
    int n = 0;

    Rect area{0, std::max(0, marginY - offsetY), std::min<int>(overlap, wr - 1), hr - 1};
    int k = area.top <= area.bottom ? FindFeatureBlocks(rest, area, features) : 0;
    firstStageFeatures = k;
    if (k <= 0) return 0;

    for (int i = 0; i < k && !cancelled; ++i) {
        int bx = features[i].x, by = features[i].y;
        Rect block{bx, by, bx + blockW - 1, std::min(by + blockH - 1, hr - 1)};
        int x0, x1;
        if (wideFirstWindow && n == 0) {
            x0 = firstExtent - chosenOverlap - searchHalfRange;
            x1 = firstExtent - 1;
        } else {
            x0 = bx + offsetX - searchHalfRange;
            x1 = x0 + overlap - 1;
        }
        // The predicted place of the block in the canvas, and the window top.
        int px = bx + offsetX;
        int py = i > 0 && n == i ? by + (matchMain[n - 1].y - matchRest[n - 1].y) : by + offsetY;
        int y0 = py - marginY;
        if (!(i > 0 && n == i) && y0 < 1) y0 = 0;
        int y1 = y0 + blockH + 2 * marginY - 1;
        // Once the pictures are tied together, a block predicted to lie
        // (partly) beyond the Main picture cannot be found there, and the
        // nearest look-alike inside the cut window is no match: the block
        // is skipped.
        if (n > 0 && (px < 0 || px + blockW > firstExtent || py < 0 || py + blockH > hr)) continue;
        x0 = std::max(x0, 0);
        x1 = std::min(x1, firstExtent - 1);
        y0 = Clamp(y0, 0, hr - 1);
        y1 = std::min(y1, hr - 1);
        Rect window{x0, y0, x1, y1};

        bool accepted = MatchBlock(rest, block, canvas, window, &matchMain[n]);
        if (cancelled) break;
        if (accepted) {
            if (n > 0)
                searchHalfRange = std::int16_t(
                    Clamp((matchMain[n].y - matchMain[n - 1].y) * 5 / 100, 3, 15));
            offsetX = std::int16_t(matchMain[n].x - bx);
            overlap = WindowWidth(searchHalfRange, blockW);
            matchRest[n] = {bx, by};
            marginY = std::int16_t(std::min(50, int(xDpi * 0.03)));
            ++n;
        } else if (n == 0) {
            return 0;
        }
    }
    if (cancelled || n < 1) return 0;
    if (n == 1) {
        matchRest[1] = {matchRest[0].x, hr - 1};
        matchMain[1] = {matchMain[0].x, matchMain[0].y + (hr - 1) - matchRest[0].y};
    } else {
        // The lists end at the Rest picture's last row. The columns of the
        // blocks jump from band to band, so the last block's column is
        // kept and only the offset between the pictures is extrapolated.
        const PointL& r1 = matchRest[n - 1];
        const PointL& m0 = matchMain[n - 2];
        const PointL& m1 = matchMain[n - 1];
        const PointL& r0 = matchRest[n - 2];
        matchRest[n] = {r1.x, hr - 1};
        int yMain = m1.y + matchRest[n].y - r1.y;
        std::int64_t off0 = m0.x - r0.x, off1 = m1.x - r1.x;
        std::int64_t off = off1;
        if (m1.y != m0.y) off = off1 + (off1 - off0) * (yMain - m1.y) / (m1.y - m0.y);
        matchMain[n] = {int(r1.x + off), yMain};
    }
    if (matchRest[n].x < 0) {
        matchMain[n].x -= matchRest[n].x;
        matchRest[n].x = 0;
    }
    return n;
}

namespace {

// The registration's progress: the search's gauge, which answers Escape.
bool StepSearch(void* context) {
    auto* tool = static_cast<CStitchTool*>(context);
    if (tool->progressCount < tool->progressTotal) ++tool->progressCount;
    if (StepProgress(unsigned(tool->progressCount))) tool->cancelled = true;
    return tool->cancelled;
}

}  // namespace

bool CStitchTool::SearchMatches() {
    CPicture* canvas = host ? host->Picture() : nullptr;
    CPicture* rest = host ? host->StitchWork() : nullptr;
    if (!canvas || !rest) return false;
    cancelled = false;
    finding = StitchFinding{};
    finding.chosenOverlap = chosenOverlap;
    const int hr = rest->GetHeight();
    const int xDpi = canvas->GetXDpi();

    // The rows that hold each picture, across the seam in the turned layout.
    bool across = side == kSideLeft || side == kSideRight;
    int mainRows = hr, restRows = hr;
    if (mainPicture && restPicture) {
        mainRows = std::min(hr, across ? mainPicture->GetHeight() : mainPicture->GetWidth());
        restRows = std::min(hr, across ? restPicture->GetHeight() : restPicture->GetWidth());
    }

    int g = std::min(50, int(xDpi * 0.03));
    int features = kMaxFeatures;
    progressTotal = ((features - 1) * g + marginY) * 2;
    progressTotal += progressTotal / 40;
    // The registration's steps: its bands of blocks and the resampled rows.
    progressTotal += 400 + hr / 64;
    progressCount = 0;
    BeginProgressWithCaption(IDS_PROCESSING, 0, unsigned(std::max(progressTotal, 0)));

    // First stage: the block search from the predicted overlap.
    firstStageFeatures = 0;
    int n = BlockSearch();

    SeamRequest request;
    request.canvas = canvas;
    request.rest = rest;
    request.mainExtent = firstExtent;
    request.mainHeight = mainRows;
    request.restHeight = restRows;
    request.chosenOverlap = chosenOverlap;
    request.bytes = blendBytes;
    request.hint = hintGiven;
    request.hintX = hintX;
    request.hintY = hintY;

    // A clean cut: the offset of whole pixels that most pairs of the first
    // stage share, borne out by the whole shared strip, is the answer; the
    // registration has nothing to add. (Pairs of the first stage off that
    // offset are left out of the merge below.)
    SeamResult seam;
    bool confirmed = false;
    if (!cancelled && n >= 3) {
        int best = 0, votes = 0;
        for (int i = 0; i < n; ++i) {
            int count = 0;
            for (int j = 0; j < n; ++j)
                count += matchMain[j].x - matchRest[j].x == matchMain[i].x - matchRest[i].x &&
                         matchMain[j].y - matchRest[j].y == matchMain[i].y - matchRest[i].y;
            if (count > votes) best = i, votes = count;
        }
        if (votes >= 3) {
            seam = ConfirmOffset(request, matchMain[best].x - matchRest[best].x,
                                 matchMain[best].y - matchRest[best].y, StepSearch, this);
            if (seam.verdict == SeamVerdict::kCancelled) cancelled = true;
            confirmed = seam.verdict == SeamVerdict::kFound;
            seam.matches = n;
            seam.inliers = votes;
        }
    }
    // Second stage: the registration over the whole seam, which checks the
    // first stage and takes over where it cannot be trusted.
    if (!cancelled && !confirmed) {
        seam = RegisterSeam(request, StepSearch, this);
        if (seam.verdict == SeamVerdict::kCancelled) cancelled = true;
    }

    finding.overlap = seam.overlap;
    finding.quality = seam.quality;
    finding.matches = seam.matches;
    finding.agreeing = seam.inliers;
    finding.agreement = seam.agreement;
    finding.doubts = seam.doubts;
    bool ok = false;
    if (cancelled) {
        finding.outcome = StitchOutcome::kCancelled;
    } else if (seam.verdict != SeamVerdict::kFound) {
        finding.outcome = seam.verdict == SeamVerdict::kTooSmall    ? StitchOutcome::kOverlapTooSmall
                          : seam.verdict == SeamVerdict::kLowQuality ? StitchOutcome::kLowQuality
                          : seam.verdict == SeamVerdict::kNoMemory   ? StitchOutcome::kNoMemory
                                                                     : StitchOutcome::kNoOverlap;
    } else {
        const SeamModel& f = seam.model;
        finding.outcome = StitchOutcome::kJoined;
        finding.shift = f.MapY(0, restRows / 2.0) - restRows / 2.0;
        finding.rotation = seam.RotationDegrees();
        finding.scale = seam.Scale();
        // The first stage's pairs stand when every one of them agrees with
        // the registration and the registration asks for nothing but their
        // offset of whole pixels.
        bool firstStageHolds = n >= 1 && !seam.toneMapped &&
                               IsWholePixelOffset(f, restRows);
        for (int i = 0; firstStageHolds && i < n; ++i)
            firstStageHolds = std::abs(f.MapX(matchRest[i].x, matchRest[i].y) - matchMain[i].x) < 1 &&
                              std::abs(f.MapY(matchRest[i].x, matchRest[i].y) - matchMain[i].y) < 1;
        if (firstStageHolds) {
            ok = MergeAlongMatches(rest, canvas, matchRest, matchMain, n, firstExtent) &&
                 CropMerged(canvas);
        } else {
            ok = MergeRegistered(seam, mainRows, restRows);
            if (!ok && cancelled) finding.outcome = StitchOutcome::kCancelled;
        }
        if (!ok && finding.outcome == StitchOutcome::kJoined) finding.outcome = StitchOutcome::kNoMemory;
    }
    EndProgress();
    if (!ok && finding.outcome != StitchOutcome::kCancelled &&
        finding.outcome != StitchOutcome::kNoMemory)
        host->ShowMessage(FailureMessage());
    return ok;
}

bool CStitchTool::MergeRegistered(const SeamResult& seam, int mainRows, int restRows) {
    (void)mainRows;
    CPicture* canvas = host->Picture();
    CPicture* rest = host->StitchWork();
    const SeamModel& f = seam.model;
    const int wr = rest->GetWidth(), hr = rest->GetHeight();
    int dx = int(std::floor(f.tx + 0.5)), dy = int(std::floor(f.ty + 0.5));
    if (IsWholePixelOffset(f, restRows)) {
        if (seam.toneMapped && !ToneMapRest(rest, seam, blendBytes)) return false;
    } else {
        std::unique_ptr<CPicture> moved = NewPictureLike(rest, 0, wr, hr);
        if (!moved || !ResampleRest(rest, restRows, moved.get(), seam, dx, dy, blendBytes,
                                    StepSearch, this))
            return false;
        host->SetStitchWork(std::move(moved));
        rest = host->StitchWork();
        finding.resampled = true;
    }
    finding.toneMapped = seam.toneMapped;
    // The seam runs down the middle of the shared columns, clear of the
    // corners a turn leaves empty and with room for the blend.
    int drift = int(std::ceil(std::abs(f.s) * hr)) + 2;
    int column = std::max(drift, seam.overlap / 2 - 10);
    if (column + 21 > seam.overlap) column = std::max(0, seam.overlap - 21);
    column = std::min(column, wr - 1);
    int top = std::max(0, -dy);
    matchRest[0] = {column, top};
    matchMain[0] = {column + dx, top + dy};
    matchRest[1] = {column, hr - 1};
    matchMain[1] = {column + dx, hr - 1 + dy};
    return MergeAlongMatches(rest, canvas, matchRest, matchMain, 1, firstExtent) &&
           CropMerged(canvas);
}

std::string CStitchTool::FailureMessage() const {
    static const char* const sides[] = {"left", "top", "right", "bottom"};
    const char* edge = sides[std::clamp<int>(side, 0, 3)];
    switch (finding.outcome) {
    case StitchOutcome::kOverlapTooSmall:
        return FormatStringById(IDS_STITCH_OVERLAP_TOO_SMALL, std::max(finding.overlap, 0));
    case StitchOutcome::kLowQuality:
        return LowQualityMessage();
    default:
        // Nothing in the Rest picture's edge has any structure to look for.
        if (finding.matches == 0 && firstStageFeatures == 0) return LoadStringById(IDS_OVERLAP_NOT_IN_RANGE);
        return FormatStringById(IDS_STITCH_NO_OVERLAP, edge, finding.chosenOverlap);
    }
}

std::string CStitchTool::LowQualityMessage() const {
    // A measure below its bar never shows as the bar itself: cut, not rounded.
    auto measured = [](double v) { return int(std::max(v, 0.0) * 100); };
    auto bar = [](double v) { return int(std::floor(v * 100 + 0.5)); };
    // Every reason that held, and the advice for the first of them.
    std::string reasons;
    int advice = 0;
    auto add = [&](const std::string& reason, int adviceId) {
        if (!reasons.empty()) reasons += "; ";
        reasons += reason;
        if (advice == 0) advice = adviceId;
    };
    if (finding.doubts & kSeamDoubtSpread)
        add(FormatStringById(IDS_STITCH_DOUBT_SPREAD, finding.matches - finding.agreeing,
                             finding.matches),
            hintGiven ? IDS_STITCH_ADVICE_SPREAD_POINTS : IDS_STITCH_ADVICE_SPREAD);
    if (finding.doubts & kSeamDoubtFaint)
        add(FormatStringById(IDS_STITCH_DOUBT_FAINT, measured(finding.quality),
                             bar(kSeamLeastQuality)),
            IDS_STITCH_ADVICE_FAINT);
    if (finding.doubts & kSeamDoubtWhole)
        add(FormatStringById(IDS_STITCH_DOUBT_WHOLE, measured(finding.agreement),
                             bar(kSeamLeastAgreement)),
            IDS_STITCH_ADVICE_WHOLE);
    if (advice == 0) advice = IDS_STITCH_ADVICE_WHOLE;
    return FormatStringById(IDS_STITCH_LOW_QUALITY, finding.overlap, reasons.c_str(),
                            LoadStringById(advice));
}

std::int64_t TextureScore(CPicture* picture, const Rect& block, std::uint8_t* buffer, int b) {
    int w = block.right - block.left + 1, h = block.bottom - block.top + 1;
    if (w != 16 || h != 16) return 0;
    for (int y = 0; y < 16; ++y)
        if (!picture->ReadRow(block.left, block.right, block.top + y, buffer + y * 16 * b))
            return 0;
    int samples[256];
    for (int i = 0; i < 256; ++i) {
        const std::uint8_t* p = buffer + i * b;
        samples[i] = b == 3 ? p[0] + p[1] + p[2] : p[0];
    }
    int lowest = 255 * b, highest = 0, sum = 0;
    for (int s : samples) {
        lowest = std::min(lowest, s);
        highest = std::max(highest, s);
        sum += s;
    }
    int mean = sum / 256;
    int lo = std::max((mean - lowest) / 3, 10 * b);
    int hi = std::max((highest - mean) / 3, 10 * b);
    // Squares of squares of up to 765 pass 2^31: the sum is kept in 64 bits.
    std::int64_t accumulated = 0;
    for (int s : samples) {
        int d = s - mean;
        int t = d < 0 ? -d - lo : d - hi;
        if (t < 0) t = 0;
        std::int64_t u = b == 3 ? std::int16_t(MulDiv(t, t, 36)) : std::int16_t(t * t / 4);
        accumulated += u * u;
    }
    return accumulated / 256 * (highest - lowest) / b;
}

int CStitchTool::FindFeatureBlocks(CPicture* rest, const Rect& area, PointL* out) {
    int b = blendBytes;
    CGlobalBlock work;
    std::uint8_t* buffer = work.Allocate(kGlobalMoveable, 16 * 16 * 3);
    if (!buffer) return 0;
    int nx = (area.right - area.left + 1) / 16;
    int ny = (area.bottom - area.top + 1) / 16;
    int found = 0;
    for (int j = 0; j < ny && found < kMaxFeatures; ++j) {
        int top = area.top + 16 * j;
        std::int64_t best = -1;
        int column = 0;
        for (int k = 0; k < nx; ++k) {
            int left = area.left + 16 * k;
            std::int64_t score = TextureScore(rest, Rect{left, top, left + 15, top + 15}, buffer, b);
            if (score > best) {
                best = score;
                column = left;
            }
        }
        if (best >= 4096) out[found++] = {column, top};
    }
    return found;
}

bool CStitchTool::MatchBlock(CPicture* rest, const Rect& block, CPicture* canvas,
                             const Rect& window, PointL* out) {
    int m = block.right - block.left + 1, h = block.bottom - block.top + 1;
    int l = window.right - window.left + 1, wh = window.bottom - window.top + 1;
    if (m <= 0 || h <= 0 || l < m || wh < h) return false;
    int b = blendBytes;

    // One block: the block's samples, the window's samples row by row, the
    // accumulators and one row of bytes.
    std::uint64_t blockSamples = std::uint64_t(h) * m;
    std::uint64_t windowSamples = std::uint64_t(wh) * l;
    std::uint64_t bytes = (blockSamples + windowSamples + l) * 4 + std::uint64_t(std::max(l, m)) * b + 10;
    CGlobalBlock memory;
    std::uint8_t* base = memory.Allocate(kGlobalMoveable, bytes);
    if (!base) return false;
    auto* bs = reinterpret_cast<std::int32_t*>(base);
    std::int32_t* ws = bs + blockSamples;
    std::int32_t* acc = ws + windowSamples;
    std::uint8_t* row = reinterpret_cast<std::uint8_t*>(acc + l);

    for (int r = 0; r < h; ++r) {
        if (!rest->ReadRow(block.left, block.right, block.top + r, row)) return false;
        ToSamples(row, m, b, bs + std::size_t(r) * m);
    }
    for (int r = 0; r < wh; ++r) {
        if (!canvas->ReadRow(window.left, window.right, window.top + r, row)) return false;
        ToSamples(row, l, b, ws + std::size_t(r) * l);
    }

    *out = {window.left, window.top};
    std::int64_t best = -100LL * h * m;
    bool accepted = false;
    int offsets = l - m + 1;
    for (int j = window.top; j <= window.bottom - h + 1; ++j) {
        std::fill(acc, acc + offsets, 0);
        for (int r = 0; r < h; ++r) {
            const std::int32_t* wrow = ws + std::size_t(j - window.top + r) * l;
            const std::int32_t* brow = bs + std::size_t(r) * m;
            for (int o = 0; o < offsets; ++o) {
                std::int32_t sum = 0;
                const std::int32_t* p = wrow + o;
                for (int x = 0; x < m; ++x) sum += std::abs(p[x] - brow[x]);
                acc[o] -= sum;
            }
        }
        int bestOffset = 0;
        for (int o = 1; o < offsets; ++o)
            if (acc[o] > acc[bestOffset]) bestOffset = o;
        if (acc[bestOffset] > best) {
            best = acc[bestOffset];
            *out = {window.left + bestOffset, j};
            accepted = true;
        }
        if (best == 0) break;
        if (StepProgress(unsigned(progressCount++))) {
            cancelled = true;
            return false;
        }
    }
    return accepted;
}
