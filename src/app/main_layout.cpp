#include "app/main_layout.h"

namespace dvbk {

int scaled(int length, int dpi) {
    long long product = static_cast<long long>(length) * dpi;
    long long half = LAYOUT_DPI / 2;
    return static_cast<int>(product >= 0 ? (product + half) / LAYOUT_DPI : -((half - product) / LAYOUT_DPI));
}

Rect scaled(const Rect& rect, int dpi) {
    return Rect{scaled(rect.left, dpi), scaled(rect.top, dpi), scaled(rect.right, dpi), scaled(rect.bottom, dpi)};
}

}  // namespace dvbk
