#include "print/rescale_model.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "document/print_settings.h"
#include "picture/bitmap.h"
#include "print/print_layout.h"

namespace {

constexpr int kMinScale = 10;

int DpiOr96(int dpi) { return dpi > 0 ? dpi : 96; }

}  // namespace

int RescaleModel::ClampScale(long long v) const {
    return int(std::clamp<long long>(v, kMinScale, std::max(maxScale_, kMinScale)));
}

void RescaleModel::RecomputeMaxScale() {
    const int horz = pageWidth > 0 ? pageWidth : kFallbackPageWidth;
    const int vert = pageHeight > 0 ? pageHeight : kFallbackPageHeight;
    const long long high = std::max(1LL, (long long)pictureHeight * resolutionY / DpiOr96(pictureYDpi));
    const long long wide = std::max(1LL, (long long)resolutionX * pictureWidth / DpiOr96(pictureXDpi));
    const long long a = (long long)vert * 100 / high;
    const long long b = (long long)horz * 100 / wide;
    if (poster) {
        const long long most = std::min((long long)kMaxPictureSide * 100 / high,
                                        (long long)kMaxPictureSide * 100 / wide);
        maxScale_ = int(std::clamp<long long>(most, kMinScale, 1000000));
        return;
    }
    maxScale_ = int(std::clamp<long long>(std::max(a, b), kMinScale, 1000000));
}

void RescaleModel::RecomputePrintSize() {
    RecomputeMaxScale();
    if (fitInPage) {
        const int horz = pageWidth > 0 ? pageWidth : kFallbackPageWidth;
        const int vert = pageHeight > 0 ? pageHeight : kFallbackPageHeight;
        const long long wide = std::max(1LL, (long long)resolutionX * pictureWidth / DpiOr96(pictureXDpi));
        const long long high = std::max(1LL, (long long)pictureHeight * resolutionY / DpiOr96(pictureYDpi));
        // Width-limited when the page reaches no further down than across,
        // compared exactly (whole quotients are 0 for large pictures).
        if ((long long)vert * pictureWidth >= (long long)horz * pictureHeight)
            scaleY = int((long long)horz * 100 / wide);
        else
            scaleY = int((long long)vert * 100 / high);
        scaleX = scaleY;
    }
    printWidth = PrintWidthFor(scaleX, resolutionX, pictureWidth, pictureXDpi);
    printHeight = PrintHeightFor(scaleY, resolutionY, pictureHeight, pictureYDpi);
}

RescaleModel::Limits RescaleModel::SizeLimits() const {
    if (unit == kPrintUnitPixel) return Limits{16, 32767, 16, 32767};
    const double f = unit == kPrintUnitCm ? 2.54 : 1.0;
    const double rx = std::max(resolutionX, 1), ry = std::max(resolutionY, 1);
    return Limits{16.0 / rx * f, 32767.0 / rx * f, 16.0 / ry * f, 32767.0 / ry * f};
}

void RescaleModel::BaseSize(double& width, double& height) const {
    const double xd = DpiOr96(pictureXDpi), yd = DpiOr96(pictureYDpi);
    if (unit == kPrintUnitPixel) {
        width = double(resolutionX) * pictureWidth / xd;
        height = double(pictureHeight) * resolutionY / yd;
        return;
    }
    const double f = unit == kPrintUnitCm ? 2.54 : 1.0;
    width = pictureWidth / xd * f;
    height = pictureHeight / yd * f;
}

void RescaleModel::TargetFromScale(bool horizontal) {
    double bw, bh;
    BaseSize(bw, bh);
    const Limits l = SizeLimits();
    if (keepRatio) {
        const int scale = horizontal ? scaleX : scaleY;
        scaleX = scaleY = scale;
        if (pictureHeight < pictureWidth) {
            if (scale * bw / 100 > l.maxWidth) {
                targetWidth = l.maxWidth;
                targetHeight = bh * l.maxWidth / bw;
            } else if (bh * scale / 100 >= l.minHeight) {
                targetWidth = bw * scale / 100;
                targetHeight = bh * scale / 100;
            } else {
                targetHeight = l.minHeight;
                targetWidth = bw * l.minHeight / bh;
            }
        } else {
            if (bh * scale / 100 > l.maxHeight) {
                targetHeight = l.maxHeight;
                targetWidth = l.maxHeight * bw / bh;
            } else if (bw * scale / 100 >= l.minWidth) {
                targetWidth = bw * scale / 100;
                targetHeight = bh * scale / 100;
            } else {
                targetWidth = l.minWidth;
                targetHeight = bh * l.minWidth / bw;
            }
        }
    } else if (horizontal) {
        targetWidth = std::clamp(scaleX * bw / 100, l.minWidth, l.maxWidth);
    } else {
        targetHeight = std::clamp(scaleY * bh / 100, l.minHeight, l.maxHeight);
    }
}

void RescaleModel::WriteTexts() {
    targetWidthText = FormatLength(targetWidth, unit);
    targetHeightText = FormatLength(targetHeight, unit);
    printWidth = PrintWidthFor(scaleX, resolutionX, pictureWidth, pictureXDpi);
    printHeight = PrintHeightFor(scaleY, resolutionY, pictureHeight, pictureYDpi);
}

void RescaleModel::ApplyScaleToSize(bool horizontal) {
    scaleX = ClampScale(scaleX);
    scaleY = ClampScale(scaleY);
    TargetFromScale(horizontal);
    WriteTexts();
}

void RescaleModel::ApplySizeToScale(bool horizontal, const std::string& text) {
    if (text == (horizontal ? shownWidthText : shownHeightText)) return;
    double bw, bh;
    BaseSize(bw, bh);
    const Limits l = SizeLimits();
    const double entered = std::atof(text.c_str());
    double ratio = entered / (horizontal ? bw : bh);
    if (horizontal) targetWidth = entered;
    else targetHeight = entered;
    if (keepRatio) {
        // The other side follows within its limits; the ratio follows it back.
        const double otherBase = horizontal ? bh : bw;
        const double otherMin = horizontal ? l.minHeight : l.minWidth;
        const double otherMax = horizontal ? l.maxHeight : l.maxWidth;
        double other = ratio * otherBase;
        if (other > otherMax) {
            other = otherMax;
            ratio = otherMax / otherBase;
        } else if (other < otherMin) {
            other = otherMin;
            ratio = otherMin / otherBase;
        }
        if (horizontal) {
            targetHeight = other;
            targetWidth = bw * ratio;
        } else {
            targetWidth = other;
            targetHeight = bh * ratio;
        }
        scaleX = scaleY = ClampScale(std::int16_t(std::clamp(ratio * 100, -32768.0, 32767.0)));
    } else {
        const int scale = ClampScale(std::int16_t(std::clamp(ratio * 100, -32768.0, 32767.0)));
        (horizontal ? scaleX : scaleY) = scale;
    }
    WriteTexts();
}

void RescaleModel::ScrollTo(bool horizontal, int position) {
    position = ClampScale(position);
    if (keepRatio) scaleX = scaleY = position;
    else (horizontal ? scaleX : scaleY) = position;
    TargetFromScale(horizontal);
    WriteTexts();
}

void RescaleModel::SetKeepRatio(bool on) {
    keepRatio = on;
    if (on) {
        scaleX = scaleY = savedScaleX = savedScaleY = std::min(scaleX, scaleY);
        RecomputePrintSize();
    }
    ApplyScaleToSize(true);
}

void RescaleModel::SetFitInPage(bool on) {
    const bool changed = (on ? 1 : 0) != fitInPage;
    if (on && changed) {
        savedScaleX = scaleX;
        savedScaleY = scaleY;
    }
    if (!on && changed) {
        scaleX = savedScaleX;
        scaleY = savedScaleY;
    }
    fitInPage = on;
    RecomputePrintSize();
    ApplyScaleToSize(true);
}

void RescaleModel::Activate() {
    RecomputeMaxScale();
    // The target as the picture prints at the current factors, in the unit.
    double bw, bh;
    BaseSize(bw, bh);
    targetWidth = bw * scaleX / 100;
    targetHeight = bh * scaleY / 100;
    WriteTexts();
    shownWidthText = targetWidthText;
    shownHeightText = targetHeightText;
    targetWidth = std::atof(targetWidthText.c_str());
    targetHeight = std::atof(targetHeightText.c_str());
}

bool RescaleModel::Validate() {
    const int high = std::max(maxScale_, kMinScale);
    if (scaleX >= kMinScale && scaleY >= kMinScale && scaleX <= high && scaleY <= high) return true;
    if (scaleX >= kMinScale && scaleY >= kMinScale) {
        scaleX = std::min(scaleX, high);
        scaleY = std::min(scaleY, high);
        if (keepRatio) scaleX = scaleY = std::max(scaleX, scaleY);
    } else {
        scaleX = std::max(scaleX, kMinScale);
        scaleY = std::max(scaleY, kMinScale);
        if (keepRatio) scaleX = scaleY = std::min(scaleX, scaleY);
    }
    ApplyScaleToSize(true);
    return false;
}
