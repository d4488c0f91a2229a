#include "stitch/stitch_setup.h"

#include <algorithm>
#include <cstdlib>

#include "picture/picture.h"
#include "platform/system.h"
#include "stitch/stitch_tool.h"

int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    std::int64_t p = std::int64_t(a) * b;
    bool negative = (p < 0) != (c < 0);
    std::uint64_t ap = std::uint64_t(p < 0 ? -p : p);
    std::uint64_t ac = std::uint64_t(c < 0 ? -std::int64_t(c) : std::int64_t(c));
    std::uint64_t q = (ap + ac / 2) / ac;
    if (q > 0x7fffffffu) return -1;
    return negative ? -int(q) : int(q);
}

int StitchOverlapPixels(int side, int percent, int mainWidth, int mainHeight, int restWidth,
                        int restHeight) {
    bool vertical = side == kSideTop || side == kSideBottom;
    int mainExtent = vertical ? mainHeight : mainWidth;
    int restExtent = vertical ? restHeight : restWidth;
    int ov = MulDiv(mainExtent, percent, 100);
    ov = std::max(ov, 32);
    ov = std::min(ov, mainExtent);
    ov = std::min(ov, restExtent);
    return std::max(ov, 0);
}

bool SearchMethodsAllowed(int mainType, int side, int mainWidth, int mainHeight, int restWidth,
                          int restHeight) {
    if (mainType != ptTrueColor24 && mainType != ptGray256) return false;
    bool vertical = side == kSideTop || side == kSideBottom;
    int mainExtent = vertical ? mainWidth : mainHeight;
    int restExtent = vertical ? restWidth : restHeight;
    if (mainExtent <= 0 || restExtent <= 0) return false;
    // The difference in per cent, rounded as MulDiv rounds, must stay below
    // 4; computed in 64 bits so that no extents can wrap it.
    std::uint64_t difference = std::uint64_t(std::abs(std::int64_t(mainExtent) - restExtent));
    std::uint64_t percent = (difference * 100 + std::uint64_t(mainExtent) / 2) / std::uint64_t(mainExtent);
    return percent < 4;
}

BlendSetup BlendSetupFor(int mainType) {
    if (mainType == ptTrueColor24) return {true, 3};
    if (mainType == ptGray256) return {true, 1};
    return {false, 0};
}

std::uint64_t StitchMemoryNeed(CPicture* main, CPicture* rest) {
    std::uint64_t bytes = main->Store().GetSize() + rest->Store().GetSize();
    return bytes / 4 * 7 + bytes % 4 * 7 / 4;
}

bool StitchNeedsLowMemory(CPicture* main, CPicture* rest) {
    if (main->GetStoreState() == kStateOnDisk || rest->GetStoreState() == kStateOnDisk)
        return true;
    return platform::AvailableMemory() < StitchMemoryNeed(main, rest);
}
