#include "viewer/view/PageSurface.h"

#include <algorithm>

void PageSurface::CopyTo(CDC& target, int x, int y, int w, int h, int srcX, int srcY) {
    if (srcX < 0) x -= srcX, w += srcX, srcX = 0;
    if (srcY < 0) y -= srcY, h += srcY, srcY = 0;
    w = std::min(w, width - srcX);
    h = std::min(h, height - srcY);
    if (w > 0 && h > 0) target.BitBlt(x, y, w, h, &dc, srcX, srcY, SRCCOPY);
}
