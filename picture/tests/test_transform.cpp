// The geometric transforms: every mapping in every pixel format, tiled and
// direct quarter turns, pictures in their swap file, and the round trip.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <memory>
#include <string>
#include <vector>

#include "picture/picture.h"
#include "picture/transform.h"
#include "picture/tests/test_picture_helpers.h"
#include "platform/system.h"
#include "base/testing/test_progress_host.h"

namespace {

const PictureType kAllTypes[] = {ptBlackWhite, ptTrueColor24, ptColor16,    ptColor256,
                                 ptGray16,     ptGray256,     ptColor32K,   ptColor64K,
                                 ptTrueColor32};

// Pixel values as plain numbers, read and written through whole rows.
std::uint32_t GetFrom(const std::vector<std::uint8_t>& row, int x, int bits) {
    switch (bits) {
    case 1: return (row[std::size_t(x / 8)] >> (7 - x % 8)) & 1u;
    case 4: return (row[std::size_t(x / 2)] >> (x % 2 ? 0 : 4)) & 15u;
    case 8: return row[std::size_t(x)];
    case 16: return row[std::size_t(2 * x)] | (row[std::size_t(2 * x + 1)] << 8);
    case 24:
        return row[std::size_t(3 * x)] | (row[std::size_t(3 * x + 1)] << 8) |
               (std::uint32_t(row[std::size_t(3 * x + 2)]) << 16);
    default:
        return row[std::size_t(4 * x)] | (row[std::size_t(4 * x + 1)] << 8) |
               (std::uint32_t(row[std::size_t(4 * x + 2)]) << 16) |
               (std::uint32_t(row[std::size_t(4 * x + 3)]) << 24);
    }
}

void PutInto(std::vector<std::uint8_t>& row, int x, int bits, std::uint32_t v) {
    switch (bits) {
    case 1: {
        auto& b = row[std::size_t(x / 8)];
        const int bit = 7 - x % 8;
        b = std::uint8_t((b & ~(1u << bit)) | ((v & 1u) << bit));
        break;
    }
    case 4: {
        auto& b = row[std::size_t(x / 2)];
        b = x % 2 ? std::uint8_t((b & 0xF0) | (v & 15)) : std::uint8_t((b & 0x0F) | ((v & 15) << 4));
        break;
    }
    default:
        for (int i = 0; i < bits / 8; ++i) row[std::size_t(x * (bits / 8) + i)] = std::uint8_t(v >> (8 * i));
    }
}

// A value for every pixel that differs between neighbours in every format.
std::uint32_t Pattern(int x, int y) {
    std::uint32_t h = std::uint32_t(x) * 2654435761u ^ (std::uint32_t(y) * 40503u + 0x9E3779B9u);
    h ^= h >> 13;
    return h * 0x5bd1e995u + std::uint32_t(x + 7 * y);
}

std::uint32_t Mask(int bits) { return bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1u; }

using PixelFn = std::uint32_t (*)(int x, int y);

std::unique_ptr<CPicture> MakePicture(PictureType type, int w, int h, PixelFn pixel,
                                      int storeFlags = kStoreMemory) {
    auto p = std::make_unique<CPicture>();
    if (!p->Create(type, w, h, 0, nullptr, 3780, 2835, storeFlags)) return nullptr;
    const int bits = p->GetBitCount();
    std::vector<std::uint8_t> row(p->GetRowBytes() + 8);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) PutInto(row, x, bits, pixel(x, y) & Mask(bits));
        EXPECT_TRUE(p->WriteRow(0, w - 1, y, row.data()));
    }
    return p;
}

std::unique_ptr<CPicture> MakePatterned(PictureType type, int w, int h, int storeFlags = kStoreMemory) {
    return MakePicture(type, w, h, Pattern, storeFlags);
}

// All pixel values, row by row from the top.
std::vector<std::uint32_t> Pixels(CPicture* p) {
    const int w = p->GetWidth(), h = p->GetHeight(), bits = p->GetBitCount();
    std::vector<std::uint32_t> out(std::size_t(w) * std::size_t(h));
    std::vector<std::uint8_t> row(p->GetRowBytes() + 8);
    std::uint32_t* next = out.data();
    for (int y = 0; y < h; ++y) {
        EXPECT_TRUE(p->ReadRow(0, w - 1, y, row.data()));
        for (int x = 0; x < w; ++x) *next++ = GetFrom(row, x, bits);
    }
    return out;
}

// Source pixel of destination pixel (X, Y) for each operation (W, H: source size).
struct Mapping {
    TransformOp op;
    const char* name;
    bool exchange;
    void (*source)(int W, int H, int X, int Y, int& x, int& y);
};
const Mapping kMappings[] = {
    {TransformOp::MirrorHorizontal, "mirror-h", false,
     [](int W, int, int X, int Y, int& x, int& y) { x = W - 1 - X, y = Y; }},
    {TransformOp::MirrorVertical, "mirror-v", false,
     [](int, int H, int X, int Y, int& x, int& y) { x = X, y = H - 1 - Y; }},
    {TransformOp::MirrorDiagonal, "mirror-d", false,
     [](int W, int H, int X, int Y, int& x, int& y) { x = W - 1 - X, y = H - 1 - Y; }},
    // rotate left: X = y, Y = W - 1 - x
    {TransformOp::RotateLeft, "rotate-left", true,
     [](int W, int, int X, int Y, int& x, int& y) { x = W - 1 - Y, y = X; }},
    // rotate right: X = H - 1 - y, Y = x
    {TransformOp::RotateRight, "rotate-right", true,
     [](int, int H, int X, int Y, int& x, int& y) { x = Y, y = H - 1 - X; }},
    {TransformOp::RotateHalf, "rotate-half", false,
     [](int W, int H, int X, int Y, int& x, int& y) { x = W - 1 - X, y = H - 1 - Y; }},
};

// Runs op on source (in place, or into a new picture); the result.
CPicture* Apply(TransformOp op, CPicture* source, std::unique_ptr<CPicture>& made,
                bool progress = false) {
    switch (op) {
    case TransformOp::MirrorHorizontal:
        EXPECT_EQ(MirrorHorizontal(source, progress), 1);
        return source;
    case TransformOp::MirrorVertical:
        EXPECT_EQ(MirrorVertical(source, progress), 1);
        return source;
    case TransformOp::MirrorDiagonal:
        EXPECT_EQ(MirrorDiagonal(source, progress), 1);
        return source;
    default: break;
    }
    made = CreateRotationDestination(source, TransformIsQuarterTurn(op));
    EXPECT_TRUE(made);
    if (!made) return nullptr;
    int ok = op == TransformOp::RotateLeft    ? RotateLeft(source, made.get(), progress)
             : op == TransformOp::RotateRight ? RotateRight(source, made.get(), progress)
                                              : RotateHalfInto(source, made.get(), progress);
    EXPECT_EQ(ok, 1);
    return made.get();
}

// Checks that result holds the source pixels (given as values) where the mapping puts them.
void ExpectMapped(const Mapping& m, const std::vector<std::uint32_t>& before, int W, int H,
                  CPicture* result, const std::string& what) {
    ASSERT_TRUE(result);
    const int RW = m.exchange ? H : W, RH = m.exchange ? W : H;
    ASSERT_EQ(result->GetWidth(), RW) << what;
    ASSERT_EQ(result->GetHeight(), RH) << what;
    const std::vector<std::uint32_t> after = Pixels(result);
    const std::uint32_t* got = after.data();
    const std::uint32_t* had = before.data();
    int wrong = 0;
    for (int Y = 0; Y < RH; ++Y)
        for (int X = 0; X < RW; ++X) {
            int x, y;
            m.source(W, H, X, Y, x, y);
            if (got[std::size_t(Y) * RW + X] != had[std::size_t(y) * W + x] && wrong++ < 3)
                ADD_FAILURE() << what << ": pixel (" << X << "," << Y << ") should come from (" << x
                              << "," << y << ")";
        }
    EXPECT_EQ(wrong, 0) << what;
}

std::string Describe(const Mapping& m, PictureType type, int w, int h, const char* where = "") {
    return std::string(m.name) + " type " + std::to_string(type) + " " + std::to_string(w) + "x" +
           std::to_string(h) + where;
}

}  // namespace

// Every operation, every format, including single rows and columns and odd
// widths that end inside a byte of the sub-byte formats.
TEST(Transform, MappingsInEveryFormat) {
    const int sizes[][2] = {{1, 1}, {1, 6}, {6, 1}, {10, 3}, {5, 5}, {13, 9}, {33, 17}, {3, 40}};
    for (PictureType type : kAllTypes)
        for (auto& s : sizes)
            for (const Mapping& m : kMappings) {
                auto source = MakePatterned(type, s[0], s[1]);
                ASSERT_TRUE(source);
                std::vector<std::uint32_t> before = Pixels(source.get());
                std::unique_ptr<CPicture> made;
                CPicture* result = Apply(m.op, source.get(), made);
                ExpectMapped(m, before, s[0], s[1], result, Describe(m, type, s[0], s[1]));
            }
}

// Pictures in their swap file (row by row, and by tiles for 150 x 1460, 22
// tiles with partial ones at both edges), and the tiled turns in memory.
TEST(Transform, LargerPicturesInMemoryAndSwapped) {
    const PictureType types[] = {ptBlackWhite, ptColor16, ptColor64K, ptTrueColor24,
                                 ptTrueColor32};
    struct Case {
        int w, h;
        bool swapped;
    };
    const Case cases[] = {{97, 261, true}, {150, 1460, false}, {150, 1460, true}};
    for (PictureType type : types)
        for (const Case& c : cases)
            for (const Mapping& m : kMappings) {
                auto source = MakePatterned(type, c.w, c.h, kStoreAny);
                ASSERT_TRUE(source);
                std::vector<std::uint32_t> before = Pixels(source.get());
                if (c.swapped) {
                    ASSERT_TRUE(source->SwapOut());
                }
                std::unique_ptr<CPicture> made;
                CPicture* result = Apply(m.op, source.get(), made);
                const std::string what = Describe(m, type, c.w, c.h, c.swapped ? " swapped" : "");
                // Worked through rows and tiles: the source stayed in its file.
                if (c.swapped) {
                    EXPECT_EQ(source->GetStoreState(), kStateOnDisk) << what;
                }
                ExpectMapped(m, before, c.w, c.h, result, what);
            }
}

// A destination in its swap file as well.
TEST(Transform, QuarterTurnBetweenSwappedPictures) {
    for (PictureType type : {ptBlackWhite, ptTrueColor24}) {
        for (bool left : {true, false}) {
            auto source = MakePatterned(type, 760, 450, kStoreAny);
            std::vector<std::uint32_t> before = Pixels(source.get());
            std::unique_ptr<CPicture> turned(CreateRotationDestination(source.get(), true));
            ASSERT_TRUE(turned);
            ASSERT_TRUE(source->SwapOut());
            ASSERT_TRUE(turned->SwapOut());
            ASSERT_EQ(left ? RotateLeft(source.get(), turned.get(), false)
                           : RotateRight(source.get(), turned.get(), false),
                      1);
            EXPECT_EQ(source->GetStoreState(), kStateOnDisk);
            EXPECT_EQ(turned->GetStoreState(), kStateOnDisk);
            ExpectMapped(kMappings[left ? 3 : 4], before, 760, 450, turned.get(),
                         left ? "left, both swapped" : "right, both swapped");
        }
    }
}

// 300 x 300 has 9 tiles and turns directly, 580 x 725 has 20 and turns by
// tiles; the tiled turn gives the pixels of the direct one.
TEST(Transform, TiledAndDirectTurnsAgree) {
    for (PictureType type : {ptBlackWhite, ptColor16, ptGray256, ptColor32K, ptTrueColor24}) {
        for (auto size : {std::pair{300, 300}, std::pair{580, 725}}) {
            for (bool left : {true, false}) {
                auto source = MakePatterned(type, size.first, size.second);
                std::unique_ptr<CPicture> tiled(CreateRotationDestination(source.get(), true));
                std::unique_ptr<CPicture> direct(CreateRotationDestination(source.get(), true));
                ASSERT_TRUE(tiled && direct);
                TestProgressHost host;
                ASSERT_EQ(left ? RotateLeft(source.get(), tiled.get(), true)
                               : RotateRight(source.get(), tiled.get(), true),
                          1);
                ASSERT_EQ(host.begins, 1);
                EXPECT_EQ(host.ends, 1);
                EXPECT_EQ(host.captions[0], "Rotating");
                // The tiled turn steps once a tile; the direct one every 16 rows.
                const unsigned expectedMax = size.first == 580 ? 20u : unsigned(size.second - 1);
                EXPECT_EQ(host.maximum, expectedMax);
                ASSERT_EQ(left ? RotateLeftDirect(source.get(), direct.get(), false)
                               : RotateRightDirect(source.get(), direct.get(), false),
                          1);
                EXPECT_EQ(Pixels(tiled.get()), Pixels(direct.get()))
                    << "type " << type << " " << size.first << "x" << size.second
                    << (left ? " left" : " right");
            }
        }
    }
}

// Escape stops a tiled turn, in memory or through the scratch tiles: 0, the
// cancel reported, the progress ended.
TEST(Transform, EscapeCancelsTiledTurn) {
    for (bool swapped : {false, true}) {
        auto source = MakePatterned(ptTrueColor24, 600, 600, kStoreAny);
        std::unique_ptr<CPicture> turned(CreateRotationDestination(source.get(), true));
        if (swapped) {
            ASSERT_TRUE(source->SwapOut());
        }
        TestProgressHost host;
        host.escapeAtCall = 4;
        bool cancelled = false;
        EXPECT_EQ(RotateRight(source.get(), turned.get(), true, &cancelled), 0);
        EXPECT_TRUE(cancelled);
        EXPECT_EQ(host.takes, 4);
        EXPECT_EQ(host.ends, host.begins);
        // Without progress nothing can cancel.
        host.Reset();
        cancelled = true;
        EXPECT_EQ(RotateRight(source.get(), turned.get(), false, &cancelled), 1);
        EXPECT_FALSE(cancelled);
    }
}

// A turn on a worker thread with its own Progress, cancelled from another
// thread half way: cancelled, no result, the source untouched (its store
// unpinned again); uncancelled, the result comes beside the unchanged source.
TEST(Transform, CancelFromAnotherThreadLeavesTheSource) {
    auto source = MakePatterned(ptTrueColor24, 2500, 2500, kStoreAny);
    const std::vector<std::uint32_t> before = Pixels(source.get());
    Progress progress;
    std::unique_ptr<CPicture> result;
    std::atomic<bool> started{false};
    TransformResult outcome = kTransformDone;
    std::thread worker([&] {
        started = true;
        outcome = TransformPictureInto(source.get(), TransformOp::RotateRight, true, result, &progress);
    });
    while (!started) std::this_thread::yield();
    while (progress.Gauge().position == 0 && progress.Begins() == 0) std::this_thread::yield();
    progress.Cancel();
    worker.join();
    EXPECT_EQ(outcome, kTransformCancelled);
    EXPECT_EQ(result, nullptr);
    EXPECT_FALSE(source->Store().Pinned());
    EXPECT_EQ(Pixels(source.get()), before);
    EXPECT_FALSE(GetProgressGauge().inProgress);  // this thread's progress saw nothing

    Progress again;
    ASSERT_EQ(TransformPictureInto(source.get(), TransformOp::RotateRight, true, result, &again), kTransformDone);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->GetWidth(), 2500);
    EXPECT_EQ(Pixels(source.get()), before);
    EXPECT_FALSE(again.Gauge().inProgress);
    EXPECT_EQ(again.Caption(), "Rotating");
}

// Right then left gives back the first picture: pixels, palette, size and
// both resolutions (which are never exchanged).
TEST(Transform, RightThenLeftRestoresPicture) {
    for (PictureType type : {ptGray256, ptColor16, ptTrueColor24, ptBlackWhite}) {
        for (auto size : {std::pair{37, 23}, std::pair{600, 410}}) {
            auto original = MakePatterned(type, size.first, size.second);
            // A palette of the picture's own, to see that it carries over.
            if (original->GetBitCount() <= 8) {
                std::vector<PaletteEntry> entries;
                for (int i = 0; i < (1 << original->GetBitCount()); ++i)
                    entries.push_back({std::uint8_t(i * 7), std::uint8_t(255 - i), std::uint8_t(i * 3), 0});
                Palette palette(entries);
                ASSERT_TRUE(original->SetPalette(&palette));
            }
            const std::vector<std::uint32_t> pixels = Pixels(original.get());
            const BitmapInfoHeader header = *original->GetHeader();
            std::unique_ptr<CPicture> picture = MakePatterned(type, size.first, size.second);
            // Work on a copy made the same way, compare with the original.
            if (original->GetPalette()) picture->SetPalette(original->GetPalette());
            ASSERT_EQ(TransformPicture(picture, TransformOp::RotateRight, false), kTransformDone);
            EXPECT_EQ(picture->GetWidth(), size.second);
            EXPECT_EQ(picture->GetHeader()->biXPelsPerMeter, header.biXPelsPerMeter);
            EXPECT_EQ(picture->GetHeader()->biYPelsPerMeter, header.biYPelsPerMeter);
            ASSERT_EQ(TransformPicture(picture, TransformOp::RotateLeft, false), kTransformDone);
            EXPECT_EQ(picture->GetWidth(), size.first);
            EXPECT_EQ(picture->GetHeight(), size.second);
            EXPECT_EQ(picture->GetType(), original->GetType());
            EXPECT_EQ(picture->GetHeader()->biXPelsPerMeter, header.biXPelsPerMeter);
            EXPECT_EQ(picture->GetHeader()->biYPelsPerMeter, header.biYPelsPerMeter);
            EXPECT_EQ(picture->GetXDpi(), original->GetXDpi());
            EXPECT_EQ(picture->GetYDpi(), original->GetYDpi());
            EXPECT_TRUE(PalettesEqual(picture->GetPalette(), original->GetPalette()) ||
                        (!picture->GetPalette() && !original->GetPalette()));
            EXPECT_EQ(Pixels(picture.get()), pixels);
        }
    }
}

// Unusable arguments fail without touching anything.
TEST(Transform, RefusesMismatchedPictures) {
    auto source = MakePatterned(ptTrueColor24, 30, 20);
    auto sameSize = MakePatterned(ptTrueColor24, 30, 20);
    auto otherFormat = MakePatterned(ptGray256, 20, 30);
    const std::vector<std::uint32_t> kept = Pixels(sameSize.get());
    EXPECT_EQ(RotateLeft(source.get(), sameSize.get(), false), 0);
    EXPECT_EQ(RotateRight(source.get(), otherFormat.get(), false), 0);
    EXPECT_EQ(RotateHalfInto(source.get(), otherFormat.get(), false), 0);
    EXPECT_EQ(RotateLeft(source.get(), nullptr, false), 0);
    CPicture empty;
    EXPECT_EQ(MirrorHorizontal(&empty, false), 0);
    EXPECT_EQ(MirrorHorizontal(nullptr, false), 0);
    EXPECT_EQ(Pixels(sameSize.get()), kept);
    std::unique_ptr<CPicture> none;
    EXPECT_EQ(TransformPicture(none, TransformOp::RotateLeft, false), kTransformFailed);
}

// The rows a writer streams straight from the source are, byte for byte and
// padding included, the rows the operation leaves in a picture: every depth,
// odd sizes, random padding bytes, the source in memory and in its swap file.
TEST(TransformedRows, EveryRowAsTheOperationLeavesIt) {
    const TransformOp ops[] = {TransformOp::MirrorHorizontal, TransformOp::MirrorVertical,
                               TransformOp::MirrorDiagonal, TransformOp::RotateHalf};
    const int sizes[][2] = {{1, 1}, {7, 5}, {33, 18}, {150, 3}};
    unsigned seed = 1;
    for (int type : picture_test::kOneTypePerDepth)
        for (const auto& size : sizes)
            for (TransformOp op : ops)
                for (bool swapped : {false, true}) {
                    const int w = size[0], h = size[1];
                    auto source = picture_test::RandomPicture(type, w, h, ++seed, kStoreAny);
                    std::unique_ptr<CPicture> reference = picture_test::RandomPicture(type, w, h, seed);
                    ASSERT_TRUE(source && reference);
                    if (swapped) {
                        ASSERT_TRUE(source->SwapOut());
                    }
                    ASSERT_EQ(TransformPicture(reference, op, false), kTransformDone);
                    TransformedRows rows(source.get(), op);
                    ASSERT_TRUE(rows.Usable());
                    const std::size_t n = source->GetRowBytes();
                    std::vector<std::uint8_t> made(n), expected(n);
                    for (int y = 0; y < h; ++y) {
                        ASSERT_TRUE(rows.Row(y, made.data()));
                        ASSERT_TRUE(reference->ReadStoredRow(y, expected.data()));
                        ASSERT_EQ(made, expected) << "type " << type << " " << w << "x" << h << " op "
                                                  << int(op) << (swapped ? " swapped" : "") << " row " << y;
                    }
                    EXPECT_FALSE(rows.Row(h, made.data()));
                }
    // The quarter turns change the size: not made this way.
    auto square = picture_test::RandomPicture(ptTrueColor24, 4, 4, 9);
    EXPECT_FALSE(TransformedRows(square.get(), TransformOp::RotateLeft).Usable());
}

// The quarter turns made a band at a time from row segments are the turns
// RotateLeft and RotateRight make, byte for byte, across band edges (bands of
// 145 rows here) and odd sizes, for every whole-byte depth.
TEST(TurnedRows, EveryRowAsTheQuarterTurnLeavesIt) {
    const int types[] = {ptColor256, ptColor64K, ptTrueColor24, ptTrueColor32};
    const int sizes[][2] = {{1, 1}, {400, 7}, {291, 146}, {145, 3}};
    unsigned seed = 100;
    for (int type : types)
        for (const auto& size : sizes)
            for (TransformOp op : {TransformOp::RotateLeft, TransformOp::RotateRight}) {
                const int w = size[0], h = size[1];
                auto source = picture_test::RandomPicture(type, w, h, ++seed);
                std::unique_ptr<CPicture> reference = picture_test::RandomPicture(type, w, h, seed);
                ASSERT_TRUE(source && reference);
                ASSERT_EQ(TransformPicture(reference, op, false), kTransformDone);
                TurnedRows rows(w, h, source->GetBitCount() == 15 ? 16 : source->GetBitCount(),
                                op == TransformOp::RotateLeft,
                                [&](int y, int x0, int count, std::uint8_t* pixels) {
                                    return source->ReadRow(x0, x0 + count - 1, y, pixels) != 0;
                                },
                                1);
                ASSERT_TRUE(rows.Usable());
                const std::size_t n = reference->GetRowBytes();
                std::vector<std::uint8_t> made(n), expected(n);
                // The order a bottom-up writer asks in, then top-down.
                for (int pass = 0; pass < 2; ++pass)
                    for (int k = 0; k < w; ++k) {
                        const int i = pass == 0 ? w - 1 - k : k;
                        ASSERT_TRUE(rows.Row(i, made.data()));
                        ASSERT_TRUE(reference->ReadStoredRow(i, expected.data()));
                        ASSERT_EQ(made, expected) << "type " << type << " " << w << "x" << h << " op "
                                                  << int(op) << " row " << i;
                    }
            }
    EXPECT_FALSE(TurnedRows(4, 4, 1, true, nullptr).Usable());
}

// An area mirrored or turned into a place of another picture holds what the
// whole operation gives for a picture of the area, and nothing else of the
// destination changes: whole-byte pixels in memory, and the ways through a
// picture of the area (sub-byte pixels, a source in its swap file); areas
// and places that do not fit are refused without a change.
TEST(Transform, AreaIntoAPlaceOfAnotherPicture) {
    const Mapping* used[] = {&kMappings[0], &kMappings[3], &kMappings[4]};
    const Rect area{5, 3, 30, 19};   // 26 x 17 of 37 x 23
    const int x = 4, y = 6;
    for (PictureType type : {ptGray256, ptTrueColor24, ptColor64K, ptBlackWhite})
        for (bool swapped : {false, true})
            for (const Mapping* m : used) {
                const std::string what = Describe(*m, type, 37, 23, swapped ? " swapped" : "");
                auto source = MakePatterned(type, 37, 23, kStoreAny);
                auto destination = MakePicture(type, 40, 50, [](int px, int py) {
                    return std::uint32_t(px * 31 + py * 7 + 1);
                });
                ASSERT_TRUE(source && destination);
                // The expectation: the area cut out and transformed as a whole.
                auto part = MakePicture(type, 26, 17, [](int px, int py) { return Pattern(px + 5, py + 3); });
                std::unique_ptr<CPicture> made;
                CPicture* expected = Apply(m->op, part.get(), made);
                ASSERT_TRUE(expected);
                std::vector<std::uint32_t> want = Pixels(destination.get());
                const std::vector<std::uint32_t> placed = Pixels(expected);
                const int pw = expected->GetWidth(), ph = expected->GetHeight();
                for (int r = 0; r < ph; ++r)
                    for (int c = 0; c < pw; ++c)
                        want[std::size_t(y + r) * 40 + std::size_t(x + c)] = placed[std::size_t(r) * pw + c];
                if (swapped) {
                    ASSERT_TRUE(source->SwapOut());
                }
                ASSERT_EQ(TransformAreaInto(source.get(), area, destination.get(), x, y, m->op), 1) << what;
                EXPECT_EQ(Pixels(destination.get()), want) << what;
                // Where a part of the area went: the whole, and single pixels.
                EXPECT_EQ(TransformedPart(area, area, x, y, m->op), (Rect{x, y, x + pw - 1, y + ph - 1}));
                for (auto [sx, sy] : {std::pair{5, 3}, std::pair{30, 3}, std::pair{17, 19}}) {
                    const Rect to = TransformedPart(area, Rect{sx, sy, sx, sy}, x, y, m->op);
                    EXPECT_EQ(to.left, to.right);
                    EXPECT_EQ(to.top, to.bottom);
                    EXPECT_EQ(want[std::size_t(to.top) * 40 + std::size_t(to.left)],
                              Pattern(sx, sy) & Mask(destination->GetBitCount()))
                        << what << " pixel " << sx << "," << sy;
                }

                const std::vector<std::uint32_t> kept = Pixels(destination.get());
                EXPECT_EQ(TransformAreaInto(source.get(), area, destination.get(), 40 - pw + 1, 0, m->op), 0);
                EXPECT_EQ(TransformAreaInto(source.get(), Rect{30, 3, 37, 19}, destination.get(), 0, 0, m->op), 0);
                EXPECT_EQ(TransformAreaInto(source.get(), area, destination.get(), 0, 0,
                                            TransformOp::MirrorVertical), 0);
                EXPECT_EQ(Pixels(destination.get()), kept) << what;
            }
}
