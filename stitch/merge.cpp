// The merge: the Rest strip is warped row by row onto the canvas along the
// two polylines of matched points, shifted by sub-pixel amounts and (when
// blending is on) faded in from the Main picture at the seam; then the result
// is cropped.
#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>

#include "picture/crop.h"
#include "picture/global_block.h"
#include "stitch/stitch_tool.h"

bool CStitchTool::MergeAlongMatches(CPicture* rest, CPicture* canvas, const PointL* restPoints,
                                    const PointL* mainPoints, int n, int a) {
    const int wr = rest->GetWidth(), hr = rest->GetHeight();
    const int fw = canvas->GetWidth(), fh = canvas->GetHeight();
    const int b = blendBytes;
    std::uint64_t size = std::uint64_t(std::max(wr, 2 * a)) * b + 8;
    CGlobalBlock block;
    std::uint8_t* r = block.Allocate(kGlobalMoveable, size * 2);
    if (!r) return false;
    std::uint8_t* s = r + size;
    mergedFrom.assign(std::size_t(std::max(fh, 0)), INT_MAX);
    auto wrote = [&](int x, int y) {
        if (y >= 0 && y < fh) mergedFrom[std::size_t(y)] = std::min(mergedFrom[std::size_t(y)], x);
    };

    // Bounds of what the merge writes; the top is the first canvas row that
    // receives Rest pixels, so the rows above the first pair are kept.
    clipRect = {0, mainPoints[0].y, mainPoints[0].x + wr - 1 - restPoints[0].x,
                std::min(mainPoints[n].y - 1, fh - 1)};

    // Rows above the first pair: the first pair's offset, no sub-pixel shift.
    const int e = mainPoints[0].x, f = restPoints[0].x;
    for (int i = 0; i < mainPoints[0].y && i < fh; ++i) {
        int j = restPoints[0].y - mainPoints[0].y + i;
        if (j < 0 || j >= hr) continue;
        int count = std::min(wr - f, fw - e);
        if (count <= 0 || e < 0 || f < 0) break;
        int w = std::min(24, a - e);
        clipRect.right = std::min(clipRect.right, wr + e - f - 1);
        if (!rest->ReadRow(f, f + count - 1, j, r)) return false;
        if (w > 0 && blendEnabled) {
            if (!canvas->ReadRow(e, e + w - 1, i, s)) return false;
            BlendRow(s, r, w, -1, b);
        }
        if (!canvas->WriteRow(e, e + count - 1, i, r)) return false;
        wrote(e, i);
        clipRect.top = std::min(clipRect.top, i);
    }

    for (int k = 1; k <= n; ++k) {
        const int rx0 = restPoints[k - 1].x, ry0 = restPoints[k - 1].y;
        const int mx0 = mainPoints[k - 1].x, my0 = mainPoints[k - 1].y;
        const int dyM = mainPoints[k].y - my0, dyR = restPoints[k].y - ry0;
        if (dyM <= 0) continue;
        int rho = ry0;
        for (int t = my0; t < mainPoints[k].y; ++t) {
            const int u = t - my0;
            // Rest position xr and canvas position xm of this row's seam point.
            float xr = float(double(restPoints[k].x - rx0) * u / dyM + rx0);
            float xm = float(double(mainPoints[k].x - mx0) * u / dyM + mx0);
            int d = int(xr + 0.5f), col = int(xm + 0.5f);
            // Canvas column col shows Rest position d + q, 0 <= q < 1.
            float q = float((xr - float(d)) - (xm - float(col)));
            if (q < 0) {
                q += 1.0f;
                --d;
            }
            if (q >= 1.0f) {
                q -= 1.0f;
                ++d;
            }
            if (d < 0) {  // start further right in both pictures
                col -= d;
                d = 0;
            }
            int h = std::min(wr - d, fw - col);

            // The Rest row (or the mean of the Rest rows) of this canvas row.
            auto readRest = [&](std::uint8_t* into) {
                int y = std::min(std::max(rho, 0), hr - 1);
                return rest->ReadRow(d, d + h - 1, y, into) != 0;
            };
            bool ok = true;
            if (h > 0) ok = readRest(r);
            if (dyM == dyR) {
                ++rho;
            } else if (dyM < dyR) {
                int c = RowsForSegment(dyM, dyR, u);
                ++rho;
                for (int q2 = 1; q2 < c; ++q2) {
                    if (h > 0 && ok) {
                        ok = readRest(s);
                        BlendRow(s, r, h, 100 - 100 / (q2 + 1), b);
                    }
                    ++rho;
                }
            } else {
                if (RowsForSegment(dyM, dyR, u) == 1) ++rho;
            }
            if (!ok) return false;
            if (h <= 0 || col >= fw || t >= fh) continue;
            clipRect.right = std::min(clipRect.right, h + col - 1);

            // Sub-pixel shift: each pixel keeps p % of itself, the rest from its right neighbour.
            int p = int((1.0f - q) * 100.0f + 0.5f);
            if (p < 100) BlendRow(r + b, r, h - 1, p, b);

            // Seam: the Rest row starts as the Main picture at col.
            int seam = a - col < 21 ? a - col - 1 : 20;
            seam = std::min(seam, h);
            if (seam > 0 && blendEnabled) {
                if (!canvas->ReadRow(col, col + seam - 1, t, s)) return false;
                BlendRow(s, r, seam, -1, b);
            }
            if (!canvas->WriteRow(col, col + h - 1, t, r)) return false;
            wrote(col, t);
        }
    }
    return true;
}

bool CStitchTool::CropMerged(CPicture* canvas) {
    const Rect bounds = clipRect;
    int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
    if (width <= 0 || height <= 0) return false;
    if (restLeftOut && !PutBackRest(canvas, bounds)) return false;
    Rect source{bounds.left, bounds.top, bounds.right - 1, bounds.bottom - 1};
    // A canvas in the search's frame: the part kept goes straight back to
    // the pictures' own frame, without a crop in between.
    TransformOp back = TransformOp::MirrorHorizontal;
    const bool turn = searchFrame && SearchTurn(side, false, back) && CropRectFits(*canvas, source);
    const bool quarter = turn && TransformIsQuarterTurn(back);
    // Without a quarter turn the canvas becomes the result where it lies.
    if (!quarter && canvas == host->Picture() && canvas->CropInPlace(source)) {
        host->SetStitchWork({});
        if (turn) {
            if (!MirrorHorizontal(canvas, lowMemory)) return false;
            searchFrame = false;
        }
        return true;
    }
    std::unique_ptr<CPicture> p =
        NewPictureLike(canvas, 0, quarter ? height : width, quarter ? width : height);
    if (!p) return false;
    host->SetStitchWork({});
    if (turn) {
        // The columns left of every merged row hold nothing but the Main
        // picture: that part comes from it as it is; the rest is turned back.
        int mainColumns = 0;
        if (fullLayout && source.left == 0) mainColumns = std::min(int(firstExtent), source.right + 1);
        for (int t = source.top; t <= source.bottom && mainColumns > 0; ++t) {
            const std::size_t row = std::size_t(t);
            mainColumns = std::min(mainColumns, row < mergedFrom.size() ? mergedFrom[row] : 0);
        }
        mainColumns = std::max(mainColumns, 0);
        const Rect merged{mainColumns, source.top, source.right, source.bottom};
        if (merged.left <= merged.right) {
            const Rect to = TransformedPart(source, merged, 0, 0, back);
            if (!TransformAreaInto(canvas, merged, p.get(), to.left, to.top, back)) return false;
        }
        TransformOp forward = back;
        if (mainColumns > 0 && fullLayout && SearchTurn(side, true, forward)) {
            // Main pixel (0, 0) on the canvas, then in the result: the offset
            // of every Main pixel in the result.
            const Rect whole{0, 0, mainPicture->GetWidth() - 1, mainPicture->GetHeight() - 1};
            const Rect onCanvas =
                TransformedPart(whole, Rect{0, 0, 0, 0}, mainInSearch.x, mainInSearch.y, forward);
            const Rect at = TransformedPart(source, onCanvas, 0, 0, back);
            const Rect part =
                TransformedPart(source, Rect{0, source.top, mainColumns - 1, source.bottom}, 0, 0, back);
            const Rect from{std::max(part.left - at.left, 0), std::max(part.top - at.top, 0),
                            std::min(part.right - at.left, whole.right),
                            std::min(part.bottom - at.top, whole.bottom)};
            if (from.left <= from.right && from.top <= from.bottom &&
                !mainPicture->CopyTo(p.get(), from.left + at.left, from.top + at.top, &from, false))
                return false;
        }
        searchFrame = false;
    } else if (!canvas->CopyTo(p.get(), 0, 0, &source, lowMemory)) {
        return false;
    }
    host->SetPicture(std::move(p));
    return true;
}
