#include "cover/cover_geometry.h"

#include <algorithm>

namespace dvbk {

Rect union_of(const Rect& a, const Rect& b) {
    if (a.empty())
        return b.empty() ? Rect{} : b;
    if (b.empty())
        return a;
    return Rect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

Rect moved_onto(const Rect& rect, const Rect& from, const Rect& to) {
    int width = std::min(rect.width(), to.width());
    int height = std::min(rect.height(), to.height());
    int left = std::clamp(to.left + (rect.left - from.left), to.left, to.right - width);
    int top = std::clamp(to.top + (rect.top - from.top), to.top, to.bottom - height);
    return Rect{left, top, left + width, top + height};
}

Rect stretched_over(const Rect& all, const Rect& work, const Rect& maximised) {
    int left = all.left - (work.left - maximised.left);
    int top = all.top - (work.top - maximised.top);
    int width = all.width() + maximised.width() - work.width();
    int height = all.height() + maximised.height() - work.height();
    return Rect{left, top, left + width, top + height};
}

int normalised(double fraction) {
    // The conversion of anything outside 0 to 1 is undefined, so the edges are decided first.
    if (!(fraction > 0.0))
        return 0;
    if (fraction >= 1.0)
        return 65535;
    return static_cast<int>(fraction * 65535.0);
}

}  // namespace dvbk
