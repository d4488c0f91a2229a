// The finishing computation of the deskew tool: two thumb positions on the
// picture become a rotation, the size of the straightened picture and the
// four corners the source maps to, and then the deskewed picture itself.
#pragma once
#include "picture/resample.h"

class CPicture;

struct DeskewGeometry {
    float sine = 0.0f, cosine = 1.0f;
    int width = 0, height = 0;  // size of the straightened picture
    DeskewCorners corners;      // images of the source's four corners
};

// Rotation, size and corners for a picture of width x height from the thumbs
// A and B. False when A and B share an x or a y value (nothing to straighten).
bool ComputeDeskewGeometry(int ax, int ay, int bx, int by, int width, int height,
                           DeskewGeometry& geometry);

// The straightened picture: a new picture of the source's type, the computed
// size and the source's resolution and palette, filled by Deskew on a white
// background. None when A and B share an x or a y value, or on failure.
std::unique_ptr<CPicture> DeskewPicture(CPicture* source, int ax, int ay, int bx, int by);
