// The main window's layout, drawn once for 96 DPI (100 % scaling) and scaled to the DPI of the
// monitor the window is on: the lines it paints, its controls, its font and its size.
#pragma once

#include <cstddef>
#include <iterator>

#include "cover/cover_geometry.h"
#include "resources/resource_ids.h"

namespace dvbk {

// The DPI the layout below is drawn for.
inline constexpr int LAYOUT_DPI = 96;

// A length of the layout at `dpi`, to the nearest pixel, a half rounded up (as MulDiv rounds).
int scaled(int length, int dpi);
// Each edge scaled on its own: rectangles that touch or lie apart at 96 DPI do so at any DPI.
Rect scaled(const Rect& rect, int dpi);

// The lines of text the window shows, top to bottom, each a static control. Elapsed to Clock are
// the status lines, which the once-a-second refresh brings up to date.
enum class Line { Elapsed, Remaining, Action, NextAction, Cursor, AudioError, LoadError, Clock, Record, Sync };

// Where each line's control lies, in the order of Line. Lines come every 15 pixels; the last band
// reaches further, so that a text taller than its spacing is shown whole. A line with no text is
// hidden, and keeps its band.
inline constexpr Rect line_layout[] = {
    {10, 10, 480, 25},    // Elapsed
    {10, 25, 480, 40},    // Remaining
    {10, 40, 480, 55},    // Action
    {10, 55, 480, 70},    // NextAction
    {10, 70, 480, 85},    // Cursor
    {10, 85, 480, 100},   // AudioError
    {10, 100, 480, 115},  // LoadError
    {10, 115, 480, 130},  // Clock, above the delay field
    {10, 255, 480, 270},  // Record, under the buttons
    {10, 270, 480, 290},  // Sync
};
static_assert(std::size(line_layout) == static_cast<size_t>(Line::Sync) + 1);

// The window's controls, by their ids.
struct ControlLayout {
    int id;
    Rect place;
};
inline constexpr ControlLayout control_layout[] = {
    {IDC_PLAY_BUTTON, {10, 160, 210, 210}}, {IDC_BACK_2S, {10, 220, 70, 245}},
    {IDC_BACK_02S, {75, 220, 135, 245}},    {IDC_FORWARD_02S, {140, 220, 200, 245}},
    {IDC_FORWARD_2S, {205, 220, 265, 245}}, {IDC_DELAY_EDIT, {95, 130, 195, 150}},
};

// The label left of the delay field, shown with it and centred on the field's height.
inline constexpr Rect delay_label_band{10, 130, 90, 150};

// The font of the lines and the controls, by the height of its character cell: a pixel under the
// lines' spacing, so that rounding at any DPI keeps a line inside its band.
inline constexpr char FONT_FACE[] = "MS Shell Dlg 2";
inline constexpr int FONT_CELL_HEIGHT = 14;

// The window's outer size; the frame, caption and menu scale with the DPI too.
inline constexpr int WINDOW_WIDTH = 500;
inline constexpr int WINDOW_HEIGHT = 350;

}  // namespace dvbk
