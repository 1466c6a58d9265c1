// The cover's arithmetic on screen rectangles and positions, apart from the system calls that
// find monitors and move windows.
#pragma once

namespace dvbk {

// A rectangle in screen pixels, as RECT has it: `right` and `bottom` lie just outside.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool empty() const { return right <= left || bottom <= top; }
    bool operator==(const Rect&) const = default;
};

// The smallest rectangle that holds both; an empty one adds nothing (UnionRect's rule).
Rect union_of(const Rect& a, const Rect& b);

// `rect`, lying on the monitor whose work area is `from`, moved onto the work area `to` whole: its
// size kept up to the size of `to`, and as far as it fits its place relative to the work area.
Rect moved_onto(const Rect& rect, const Rect& from, const Rect& to);

// A window maximised on the work area `work`, with the rectangle `maximised`, stretched over `all`
// (the work areas of every monitor): its frame lies outside `all` as it lay outside `work`.
Rect stretched_over(const Rect& all, const Rect& work, const Rect& maximised);

// A fraction of the primary screen as absolute input has it, 0 to 65535. A fraction beyond either
// edge (typed in the Settings dialog or read from the file) stays on that edge, and one that is not
// a number at all on the left or top one.
int normalised(double fraction);

// Where the pointer is parked after the click: the right edge, a tenth of the way down, away from
// the player's controls.
inline constexpr int PARK_X = 65535;
inline constexpr int PARK_Y = 6553;

}  // namespace dvbk
