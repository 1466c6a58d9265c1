// Rect, the portable rectangle of the geometry and layout code, to and from Win32's RECT.
#pragma once

#include <windows.h>

#include "cover/cover_geometry.h"

namespace dvbk {

inline Rect rect_of(const RECT& rect) {
    return Rect{rect.left, rect.top, rect.right, rect.bottom};
}

inline RECT to_RECT(const Rect& rect) {
    return RECT{rect.left, rect.top, rect.right, rect.bottom};
}

}  // namespace dvbk
