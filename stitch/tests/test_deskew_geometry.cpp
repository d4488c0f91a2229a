// The deskew tool's finishing computation: thumbs to rotation, size, corners.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "picture/picture.h"
#include "stitch/deskew_geometry.h"

TEST(DeskewGeometry, LineWithoutTiltChangesNothing) {
    DeskewGeometry g;
    EXPECT_FALSE(ComputeDeskewGeometry(50, 10, 50, 90, 100, 100, g));  // vertical
    EXPECT_FALSE(ComputeDeskewGeometry(10, 40, 90, 40, 100, 100, g));  // horizontal
    // Thumbs at the ends of the integer range still give a sound rotation.
    ASSERT_TRUE(ComputeDeskewGeometry(-2147483647, -2147483647, 2147483647, 2147483647, 100, 100, g));
    EXPECT_NEAR(std::fabs(g.sine), std::sqrt(0.5), 1e-6);
    auto picture = std::make_unique<CPicture>();
    ASSERT_TRUE(picture->Create(ptGray256, 20, 20, 0, nullptr, 0, 0, kStoreMemory));
    EXPECT_EQ(DeskewPicture(picture.get(), 5, 1, 5, 15), nullptr);
}

TEST(DeskewGeometry, SameLineEitherWayGivesTheSameRotation) {
    DeskewGeometry down, up;
    ASSERT_TRUE(ComputeDeskewGeometry(100, 100, 110, 200, 400, 300, down));  // A above B
    ASSERT_TRUE(ComputeDeskewGeometry(110, 200, 100, 100, 400, 300, up));    // drawn upwards
    EXPECT_FLOAT_EQ(down.sine, up.sine);
    EXPECT_FLOAT_EQ(down.cosine, up.cosine);
    EXPECT_EQ(down.width, up.width);
    EXPECT_LT(down.sine, 0.0f);
    EXPECT_NEAR(down.sine, -10.0 / std::sqrt(10100.0), 1e-6);

    // Leaning the other way turns the other way.
    DeskewGeometry other;
    ASSERT_TRUE(ComputeDeskewGeometry(110, 100, 100, 200, 400, 300, other));
    EXPECT_FLOAT_EQ(other.sine, -down.sine);
}

TEST(DeskewGeometry, SizeAndCornersFollowTheRotation) {
    DeskewGeometry g;
    const int W = 400, H = 300;
    ASSERT_TRUE(ComputeDeskewGeometry(0, 0, 30, 400, W, H, g));
    const float s = std::fabs(g.sine), c = g.cosine;
    EXPECT_EQ(g.width, int(W * c + s * H));
    EXPECT_EQ(g.height, int(s * W + H * c));
    // The edges keep the source's lengths and meet at right angles.
    const DeskewCorners& k = g.corners;
    auto length = [](int x0, int y0, int x1, int y1) { return std::hypot(x1 - x0, y1 - y0); };
    EXPECT_NEAR(length(k.x0, k.y0, k.x1, k.y1), W, 2.0);
    EXPECT_NEAR(length(k.x0, k.y0, k.x2, k.y2), H, 2.0);
    EXPECT_NEAR((k.x1 - k.x0) * (k.x2 - k.x0) + (k.y1 - k.y0) * (k.y2 - k.y0), 0.0, 2.0 * (W + H));
    // Every corner lies inside the result.
    for (int x : {k.x0, k.x1, k.x2, k.x3}) EXPECT_TRUE(x >= 0 && x <= g.width) << x;
    for (int y : {k.y0, k.y1, k.y2, k.y3}) EXPECT_TRUE(y >= 0 && y <= g.height) << y;
}

TEST(DeskewGeometry, DeskewedPictureKeepsTypeAndPaletteOnWhite) {
    auto source = std::make_unique<CPicture>();
    ASSERT_TRUE(source->Create(ptColor16, 40, 30, 0, nullptr, 3780, 3780, kStoreMemory));
    source->Fill(4);
    std::unique_ptr<CPicture> result(DeskewPicture(source.get(), 20, 2, 24, 28));
    ASSERT_TRUE(result);
    DeskewGeometry g;
    ASSERT_TRUE(ComputeDeskewGeometry(20, 2, 24, 28, 40, 30, g));
    EXPECT_EQ(result->GetWidth(), g.width);
    EXPECT_EQ(result->GetHeight(), g.height);
    EXPECT_EQ(result->GetType(), ptColor16);
    EXPECT_TRUE(PalettesEqual(result->GetPalette(), source->GetPalette()));
    std::uint8_t top[32] = {}, middle[32] = {};
    ASSERT_TRUE(result->ReadRow(0, result->GetWidth() - 1, 0, top));
    ASSERT_TRUE(result->ReadRow(0, result->GetWidth() - 1, result->GetHeight() / 2, middle));
    EXPECT_EQ(top[0] >> 4, 15);  // a corner of the background: white
    const int cx = result->GetWidth() / 2;
    EXPECT_EQ((cx & 1) ? (middle[cx / 2] & 15) : (middle[cx / 2] >> 4), 4);
}
