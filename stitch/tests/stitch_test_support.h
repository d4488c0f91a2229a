// Pictures for the stitch tests: a textured original, pieces cut from it,
// flat pictures, and comparisons, all through row operations.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "picture/picture.h"
#include "stitch/stitch_setup.h"
#include "stitch/stitch_tool.h"

// A host that simply owns its pictures, for the engine's tests.
class PlainStitchHost : public StitchHost {
public:
    PlainStitchHost(std::unique_ptr<CPicture> main, std::unique_ptr<CPicture> rest)
        : main_(std::move(main)), rest_(std::move(rest)) {}
    CPicture* Picture() override { return picture_.get(); }
    void SetPicture(std::unique_ptr<CPicture> picture) override { picture_ = std::move(picture); }
    CPicture* StitchWork() override { return work_.get(); }
    void SetStitchWork(std::unique_ptr<CPicture> picture) override { work_ = std::move(picture); }
    void SetStitchWork2(std::unique_ptr<CPicture> picture) override { work2_ = std::move(picture); }
    void SetModified(bool modified) override { modified_ = modified; }
    void ReplaceRestPicture(std::unique_ptr<CPicture> converted) override {
        rest_ = std::move(converted);
    }
    void ShowMessage(const std::string& text) override { lastMessage_ = text; }

    CPicture* Main() { return main_.get(); }
    CPicture* Rest() { return rest_.get(); }
    bool Modified() const { return modified_; }
    const std::string& LastMessage() const { return lastMessage_; }
    // Gives the document's picture away.
    std::unique_ptr<CPicture> TakePicture() { return std::move(picture_); }

private:
    std::unique_ptr<CPicture> main_, rest_, picture_, work_, work2_;
    bool modified_ = false;
    std::string lastMessage_;
};

namespace stitchtest {

inline std::uint32_t Hash(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
    std::uint32_t h = x * 0x9E3779B1u ^ (y + 0x7F4A7C15u) * 0x85EBCA77u ^ seed * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

// Smooth value noise over a lattice of the given cell size, 0..255.
inline int Noise(int x, int y, int cell, std::uint32_t seed) {
    int gx = x / cell, gy = y / cell;
    int fx = x % cell, fy = y % cell;
    auto v = [&](int a, int b) { return int(Hash(std::uint32_t(a), std::uint32_t(b), seed) & 255); };
    int top = v(gx, gy) * (cell - fx) + v(gx + 1, gy) * fx;
    int bottom = v(gx, gy + 1) * (cell - fx) + v(gx + 1, gy + 1) * fx;
    return (top * (cell - fy) + bottom * fy) / (cell * cell);
}

inline std::unique_ptr<CPicture> MakePicture(int type, int width, int height, int dpi = 300) {
    auto p = std::make_unique<CDocPicture>();
    if (!p->Create(type, width, height, 0, nullptr, DpiToPpm(dpi), DpiToPpm(dpi), kStoreAny))
        return nullptr;
    return p;
}

// A textured picture like a scanned drawing: layered noise with sharp dark marks.
inline std::unique_ptr<CPicture> MakeTextured(int width, int height, int type = ptTrueColor24,
                                              std::uint32_t seed = 7) {
    auto p = MakePicture(type, width, height);
    int b = type == ptTrueColor24 ? 3 : 1;
    std::vector<std::uint8_t> row(std::size_t(width) * b);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int base = (Noise(x, y, 37, seed) * 2 + Noise(x, y, 9, seed + 1) * 2 +
                        Noise(x, y, 3, seed + 2)) / 5;
            if ((Hash(std::uint32_t(x / 4), std::uint32_t(y / 4), seed + 3) & 31) == 0) base /= 4;
            if (b == 1) {
                row[std::size_t(x)] = std::uint8_t(base);
            } else {
                row[std::size_t(x) * 3] = std::uint8_t(base);
                row[std::size_t(x) * 3 + 1] = std::uint8_t((base + Noise(x, y, 23, seed + 4)) / 2);
                row[std::size_t(x) * 3 + 2] = std::uint8_t(255 - base / 2);
            }
        }
        p->WriteRow(0, width - 1, y, row.data());
    }
    return p;
}

inline std::unique_ptr<CPicture> MakeFlat(int type, int width, int height, std::uint32_t colour) {
    auto p = MakePicture(type, width, height);
    p->Fill(colour);
    return p;
}

inline std::unique_ptr<CPicture> Cut(CPicture* source, int x, int y, int width, int height) {
    std::unique_ptr<CPicture> p(NewPictureLike(source, 0, width, height));
    Rect r{x, y, x + width - 1, y + height - 1};
    source->CopyTo(p.get(), 0, 0, &r, false);
    return p;
}

inline int BytesPerPixel(CPicture* p) { return p->GetBitCount() / 8; }

// The largest byte difference between a and the part of b at (bx, by); with
// stopEarly, any difference ends the comparison.
inline int MaxDifferenceAt(CPicture* a, CPicture* b, int bx, int by, bool stopEarly = false) {
    int w = a->GetWidth(), h = a->GetHeight(), n = BytesPerPixel(a);
    if (bx < 0 || by < 0 || bx + w > b->GetWidth() || by + h > b->GetHeight()) return 1000;
    std::vector<std::uint8_t> ra(std::size_t(w) * n), rb(std::size_t(w) * n);
    int worst = 0;
    for (int y = 0; y < h; ++y) {
        a->ReadRow(0, w - 1, y, ra.data());
        b->ReadRow(bx, bx + w - 1, by + y, rb.data());
        for (std::size_t i = 0; i < ra.size(); ++i) worst = std::max(worst, std::abs(ra[i] - rb[i]));
        if (stopEarly && worst) break;
    }
    return worst;
}

inline bool SamePictures(CPicture* a, CPicture* b) {
    return a->GetWidth() == b->GetWidth() && a->GetHeight() == b->GetHeight() &&
           a->GetType() == b->GetType() && MaxDifferenceAt(a, b, 0, 0) == 0;
}

inline std::vector<std::uint8_t> Pixel(CPicture* p, int x, int y) {
    std::vector<std::uint8_t> v(std::size_t(BytesPerPixel(p)));
    p->ReadRow(x, x, y, v.data());
    return v;
}

// Runs a whole stitch with tool as the sheet would; the host keeps the
// result, the tool what it found.
inline bool RunStitchTool(CStitchTool& tool, PlainStitchHost& host, int side, int percent,
                          StitchMethod method, PointL mainAt = {}, PointL restAt = {},
                          bool lowMemory = false) {
    CPicture* m = host.Main();
    CPicture* r = host.Rest();
    tool.Begin(&host, m, r, side,
               StitchOverlapPixels(side, percent, m->GetWidth(), m->GetHeight(), r->GetWidth(),
                                   r->GetHeight()),
               method, lowMemory);
    if (!tool.PrepareStitchDocument()) return false;
    tool.mainPoint = {tool.mainRect.left + mainAt.x, tool.mainRect.top + mainAt.y};
    tool.restPoint = {tool.restRect.left + restAt.x, tool.restRect.top + restAt.y};
    if (method == StitchMethod::Manual) return tool.ManualCompose();
    if (method == StitchMethod::SemiAuto) return tool.SemiAutoStitch();
    return tool.AutoStitch();
}

inline bool RunStitch(PlainStitchHost& host, int side, int percent, StitchMethod method,
                      PointL mainAt = {}, PointL restAt = {}, bool lowMemory = false) {
    CStitchTool tool;
    return RunStitchTool(tool, host, side, percent, method, mainAt, restAt, lowMemory);
}

}  // namespace stitchtest
