#include "picture/bitmap.h"

int Palette::NearestIndex(std::uint32_t colour) const {
    const int r = RgbRed(colour), g = RgbGreen(colour), b = RgbBlue(colour);
    int best = -1;
    long bestDistance = 0;
    for (int i = 0; i < Count(); ++i) {
        const PaletteEntry& e = entries_[std::size_t(i)];
        const long dr = e.red - r, dg = e.green - g, db = e.blue - b;
        const long distance = dr * dr + dg * dg + db * db;
        if (best < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
            if (distance == 0) break;
        }
    }
    return best;
}
