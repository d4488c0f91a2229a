// A rectangle of screen or printer space: client pixels, page and paper
// dots. Right and bottom are exclusive, as in Qt, so a box's width is
// right - left and {0, 0, w, h} covers a w x h area. Rectangles of picture
// pixels are the other kind, Rect (picture/bitmap.h), whose right and bottom
// are inclusive; the two never mix.
#pragma once

struct Box {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Empty() const { return right <= left || bottom <= top; }
    friend bool operator==(const Box&, const Box&) = default;
};
