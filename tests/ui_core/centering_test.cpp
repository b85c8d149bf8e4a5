#include "ui/centering.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace corvane {
namespace {

struct CenteringCase {
    const char* name;
    std::int32_t width;
    std::int32_t height;
    CenteringRect centre;
    CenteringRect area;
    CenteringPoint expected;
};

// Worked examples: each row is one placement, with the arithmetic spelled out.
const CenteringCase kCases[] = {
    // (100 + 500) / 2 - 300 / 2 = 150; vertically (0 + 600) / 2 - 200 / 2 = 200.
    {"box over an owner in the middle", 300, 200, {100, 0, 500, 600}, {0, 0, 800, 600}, {150, 200}},
    // -301 / 2 truncates to -150 (not -151); -150 - 101 / 2 = -200, inside [-640, 0).
    {"halving truncates toward zero",
     101,
     51,
     {-301, -301, 0, 0},
     {-640, -480, 0, 0},
     {-200, -175}},
    // (740 + 800) / 2 - 50 = 720 would end at 820 > 800: flush right at 800 - 100.
    {"owner near the right edge", 100, 100, {740, 0, 800, 100}, {0, 0, 800, 600}, {700, 0}},
    // (0 + 40) / 2 - 50 = -30 < 0: flush left.
    {"owner near the left edge", 100, 100, {0, 0, 40, 40}, {0, 0, 800, 600}, {0, 0}},
    // Bottom edge, the vertical twin of the right edge.
    {"owner near the bottom edge", 100, 100, {0, 560, 100, 600}, {0, 0, 800, 600}, {0, 500}},
    // 700 high in a 600 high area: y = 600 - 700 = -100, then the top clamp makes it 0.
    {"taller than the area keeps the top edge",
     100,
     700,
     {0, 0, 800, 600},
     {0, 0, 800, 600},
     {350, 0}},
    // Wider than the area: the left edge wins and the window overhangs to the right.
    {"wider than the area keeps the left edge",
     900,
     100,
     {0, 0, 800, 600},
     {0, 0, 800, 600},
     {0, 250}},
    // No reference: the centre rectangle is the work area itself (task bar at the bottom).
    {"centred in a work area", 400, 300, {0, 0, 1280, 984}, {0, 0, 1280, 984}, {440, 342}},
    // A second monitor to the left with a work area that does not start at 0.
    {"work area on a monitor left of the primary",
     200,
     100,
     {-1024, 30, 0, 768},
     {-1024, 30, 0, 768},
     {-612, 349}},
    // Odd sums and sizes truncate: 701 / 2 - 201 / 2 = 350 - 100, 451 / 2 - 99 / 2 = 225 - 49.
    {"odd edge sums and sizes", 201, 99, {300, 200, 401, 251}, {0, 0, 800, 600}, {250, 176}},
};

TEST(CenteredPosition, MatchesEveryWorkedExample) {
    for (const CenteringCase& c : kCases) {
        const CenteringPoint point = centeredPosition(c.width, c.height, c.centre, c.area);
        EXPECT_EQ(point.x, c.expected.x) << c.name;
        EXPECT_EQ(point.y, c.expected.y) << c.name;
    }
}

TEST(CenteredPosition, ExtremeCoordinatesDoNotOverflowTheEdgeSum) {
    // INT32_MAX + INT32_MAX would overflow 32 bits; the midpoint is still INT32_MAX - 1.
    const std::int32_t big = INT32_MAX;
    const CenteringRect centre{big - 1, big - 1, big, big};
    const CenteringRect area{0, 0, big, big};
    const CenteringPoint point = centeredPosition(10, 10, centre, area);
    EXPECT_EQ(point.x, big - 10);
    EXPECT_EQ(point.y, big - 10);
}

} // namespace
} // namespace corvane
