// The print options kept per document. They are not written to the document
// file and live as long as the document is open.
#pragma once
#include <string>

#include "base/box.h"

// Unit of the lengths on the printer and rescale pages.
enum PrintUnit : int {
    kPrintUnitInch = 0,
    kPrintUnitCm = 1,
    kPrintUnitPixel = 2,  // printer dots
};

struct PrintSettings {
    int unit = kPrintUnitInch;
    int copies = 1;
    int addFrame = 0;            // a frame is printed around the picture
    int centerHorizontally = 0;
    int centerVertically = 0;
    int fitInPage = 0;           // enlarge or reduce the picture to the printable area
    int frameId = 0;             // sample control id 1616..1622 of the chosen frame, 0 none
    Box printSize{};             // (0, 0, width, height) of the printed picture, printer dots
    int scaleX = 100;            // percent
    int scaleY = 100;
    int leftOffset = 0;          // top-left corner on the printable area, dots
    int topOffset = 0;
    int leftMargin = 0;          // margins entered by the user, dots
    int topMargin = 0;
    int watermarkOn = 0;
    std::string watermarkFile;   // full path, upper case
    int watermarkLayout = 1;     // 0 centre, 1 tile
    int poster = 0;              // printed at the scale across as many sheets as it needs
    double posterOverlapMm = 10.0;  // neighbouring sheets share this much
    int posterMarks = 0;         // cut marks in the sheets' margins
    int posterLabels = 0;        // each sheet's place in its margin
    int reprintAfterPreview = 0; // the preview was opened from the sheet's Preview button
    int resetPending = 1;        // reset before the next use

    // Back to the defaults (all fields but reprintAfterPreview), printSize for
    // 100 % of a picture of the given size and resolution on a printer of the
    // given dots per inch, and resetPending cleared. A resolution of 0 counts
    // as 96 dpi.
    void Reset(int pictureWidth, int pictureHeight, int pictureXDpi, int pictureYDpi,
               int printerXDpi, int printerYDpi) {
        const int keep = reprintAfterPreview;
        *this = PrintSettings{};
        reprintAfterPreview = keep;
        if (pictureXDpi <= 0) pictureXDpi = 96;
        if (pictureYDpi <= 0) pictureYDpi = 96;
        // In the order the layout arithmetic uses: dpi x 100 x size / 100 / dpi.
        long long w = (long long)printerXDpi * 100 * pictureWidth / 100 / pictureXDpi;
        long long h = (long long)printerYDpi * 100 * pictureHeight / 100 / pictureYDpi;
        printSize = Box{0, 0, int(w), int(h)};
        resetPending = 0;
    }
};
