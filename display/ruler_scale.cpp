#include "display/ruler_scale.h"

namespace display {

double RulerStep(int unit, double start, double pixelsPerUnit, double limit) {
    double step = start;
    if (pixelsPerUnit <= 0) return step;
    for (int guard = 0; guard < 64; ++guard) {
        const double length = step * pixelsPerUnit;
        if (length > limit) break;
        if (unit == kUnitInch) {
            step *= 2;
            continue;
        }
        if (length > limit / 2) return step * 2;
        if (length > limit / 5) return step * 5;
        step *= 10;
    }
    return step;
}

RulerScale ComputeRulerScale(int unit, int ppm, int zoom) {
    if (ppm <= 0) ppm = 3780;  // 96 dpi
    RulerScale s;
    double start = 1;
    switch (unit) {
    case kUnitInch:
        s.picturePerUnit = ppm * 0.0254;
        start = 1.0 / 64;
        break;
    case kUnitCm:
        s.picturePerUnit = ppm / 100.0;
        start = 0.01;
        break;
    default:
        s.picturePerUnit = 1;
        start = 1;
        break;
    }
    const double factor = zoom >= 2 ? zoom : (zoom <= -2 ? 1.0 / -zoom : 1.0);
    s.pixelsPerUnit = s.picturePerUnit * factor;
    s.minorStep = RulerStep(unit, start, s.pixelsPerUnit, 4);
    s.labelStep = RulerStep(unit, s.minorStep, s.pixelsPerUnit, 50);
    return s;
}

}  // namespace display
