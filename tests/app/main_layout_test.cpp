// The main window's layout scaled from 100 % to 500 %, without a window.
#include "app/main_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace dvbk {
namespace {

TEST(MainLayout, LengthsScaleToTheNearestPixel) {
    struct Case {
        int length, dpi, pixels;
    };
    for (const Case& c : {Case{10, 96, 10}, Case{10, 120, 13}, Case{25, 120, 31}, Case{15, 144, 23},
                          Case{500, 192, 1000}, Case{130, 168, 228}, Case{-10, 120, -13}, Case{350, 480, 1750}}) {
        SCOPED_TRACE(c.dpi);
        EXPECT_EQ(c.pixels, scaled(c.length, c.dpi));
    }
}

// Every scale Windows offers, in steps finer than its own: the font fits every band, and no line,
// label or control lies over another.
TEST(MainLayout, NothingOverlapsAtAnyScale) {
    for (int dpi = LAYOUT_DPI; dpi <= 5 * LAYOUT_DPI; dpi += 6) {
        SCOPED_TRACE(dpi);
        std::vector<Rect> places{scaled(delay_label_band, dpi)};
        for (const Rect& line : line_layout)
            places.push_back(scaled(line, dpi));
        for (const Rect& band : places)
            EXPECT_LE(scaled(FONT_CELL_HEIGHT, dpi), band.height());
        for (const ControlLayout& control : control_layout)
            places.push_back(scaled(control.place, dpi));
        for (size_t i = 0; i < places.size(); ++i)
            for (size_t j = i + 1; j < places.size(); ++j)
                EXPECT_TRUE(std::max(places[i].left, places[j].left) >= std::min(places[i].right, places[j].right) ||
                            std::max(places[i].top, places[j].top) >= std::min(places[i].bottom, places[j].bottom))
                    << i << " and " << j;
    }
}

}  // namespace
}  // namespace dvbk
