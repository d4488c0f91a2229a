// The Rescale page's arithmetic: scale factors, target size in the sheet's
// unit, print resolution and fit in page kept consistent with each other.
// The page's controls read and write these fields; every rule lives here.
#pragma once
#include <string>

class RescaleModel {
public:
    // Inputs.
    int pictureWidth = 1, pictureHeight = 1;
    int pictureXDpi = 96, pictureYDpi = 96;
    int pageWidth = 0, pageHeight = 0;  // printable area, dots (0: 2100 x 2970)
    int unit = 0;
    // State.
    int fitInPage = 0;
    int keepRatio = 1;
    // A poster is not held to one page: its factors reach as far as a print
    // of 32767 dots each way.
    int poster = 0;
    int resolutionX = 360, resolutionY = 360;
    int scaleX = 100, scaleY = 100;
    int savedScaleX = 100, savedScaleY = 100;
    double targetWidth = 100.0, targetHeight = 100.0;
    std::string targetWidthText, targetHeightText;
    // Result, dots.
    int printWidth = 0, printHeight = 0;

    // The upper bound of both scale factors in percent; recomputed whenever
    // a print size is computed (500 before the first time).
    int MaxScale() const { return maxScale_; }
    void RecomputeMaxScale();
    // Fitted factors under fit in page, then the print size.
    void RecomputePrintSize();

    struct Limits {
        double minWidth, maxWidth, minHeight, maxHeight;
    };
    Limits SizeLimits() const;
    // The picture at 100 % in the unit.
    void BaseSize(double& width, double& height) const;

    // After the X (horizontal true) or Y scale edit changed.
    void ApplyScaleToSize(bool horizontal);
    // After the target width (horizontal true) or height text changed; the
    // text is compared with the one shown at the last activation.
    void ApplySizeToScale(bool horizontal, const std::string& text);
    // A scroll bar moved to position (already limited to 10..MaxScale()).
    void ScrollTo(bool horizontal, int position);
    void SetKeepRatio(bool on);
    void SetFitInPage(bool on);
    // Page activation: target texts from the scale factors; remembers them
    // for the change test.
    void Activate();
    // Leaving the page: true when both factors lie in 10..MaxScale();
    // otherwise corrects them (and the sizes) and answers false.
    bool Validate();

    // Target sizes shown on activation.
    std::string shownWidthText, shownHeightText;

private:
    void TargetFromScale(bool horizontal);
    int ClampScale(long long value) const;
    void WriteTexts();

    int maxScale_ = 500;
};
