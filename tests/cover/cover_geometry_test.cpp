// The cover's arithmetic on rectangles and screen fractions, without a screen.
#include "cover/cover_geometry.h"

#include <gtest/gtest.h>

#include <limits>

namespace dvbk {
namespace {

TEST(CoverGeometry, ClickPositionFromScreenFractions) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double x, y;
        int dx, dy;
    };
    // Positions beyond the screen, typed or read from the file, stay on its edges.
    for (const Case& c : {Case{0.986, 0.949, 64617, 62192}, Case{0.848, 0.867, 55573, 56818},
                          Case{0.9, 0.9, 58981, 58981}, Case{0, 1, 0, 65535}, Case{1e10, -1e10, 65535, 0},
                          Case{-0.25, 1.5, 0, 65535}, Case{nan, inf, 0, 65535}, Case{-inf, nan, 0, 0}}) {
        SCOPED_TRACE(c.x);
        EXPECT_EQ(c.dx, normalised(c.x));
        EXPECT_EQ(c.dy, normalised(c.y));
    }
}

TEST(CoverGeometry, Rectangles) {
    const Rect primary{0, 0, 1280, 984};  // the taskbar along the bottom
    const Rect right{1280, 0, 2560, 1024};
    const Rect left{-1920, 0, 0, 1080};

    struct Union {
        Rect a, b, all;
    };
    for (const Union& c : {Union{primary, right, {0, 0, 2560, 1024}}, Union{left, primary, {-1920, 0, 1280, 1080}},
                           Union{{}, primary, primary}, Union{primary, {5, 5, 5, 9}, primary}, Union{{}, {}, {}}}) {
        SCOPED_TRACE(c.b.left);
        EXPECT_EQ(c.all, union_of(c.a, c.b));
    }

    struct Move {
        const char* what;
        Rect rect, from, to, moved;
    };
    const Move moves[] = {
        {"its place on the work area kept", {100, 100, 400, 400}, primary, right, {1380, 100, 1680, 400}},
        {"pushed back inside a smaller one",
         {1000, 700, 1270, 980},
         primary,
         {1280, 0, 2080, 600},
         {1810, 320, 2080, 600}},
        {"cut to the work area's size", {-50, -50, 2000, 2000}, primary, right, right},
        {"from a monitor to the left", {-1800, 50, -1500, 350}, left, primary, {120, 50, 420, 350}},
    };
    for (const Move& c : moves) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.moved, moved_onto(c.rect, c.from, c.to));
    }

    struct Stretch {
        const char* what;
        Rect all, work, maximised, stretched;
    };
    const Stretch stretches[] = {
        {"frame 8 px outside", {0, 0, 2560, 1024}, primary, {-8, -8, 1288, 992}, {-8, -8, 2568, 1032}},
        {"taskbar at the top", {0, 0, 2560, 1024}, {0, 40, 1280, 1024}, {-8, 32, 1288, 1032}, {-8, -8, 2568, 1032}},
        {"with a monitor to the left", {-1920, 0, 1280, 1080}, primary, {-8, -8, 1288, 992}, {-1928, -8, 1288, 1088}},
    };
    for (const Stretch& c : stretches) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.stretched, stretched_over(c.all, c.work, c.maximised));
    }
}

}  // namespace
}  // namespace dvbk
