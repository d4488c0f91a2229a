#include "display/ruler_scale.h"

#include <cstdio>

#include "platform/profile.h"
#include "resources/string_ids.h"
#include "resources/strings.h"

namespace display {

int PreferredUnit() {
    const char* section = LoadStringById(IDS_SECTION_PREFERENCE);
    const char* key = LoadStringById(IDS_KEY_UNIT);
    const int unit = platform::GetProfileInt(section ? section : "Preference", key ? key : "Unit", kUnitPixel);
    return unit < kUnitInch || unit > kUnitPixel ? kUnitPixel : unit;
}

std::string LengthText(int pixels, int ppm, int unit) {
    if (unit != kUnitInch && unit != kUnitCm) return std::to_string(pixels) + " pixels";
    const double perUnit = ComputeRulerScale(unit, ppm, 1).picturePerUnit;
    char text[64];
    std::snprintf(text, sizeof text, "%.2f %s", pixels / perUnit, unit == kUnitInch ? "in" : "cm");
    return text;
}

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
