// Device contexts: mapping modes, window and viewport, logical and device points.
#include "platform/gdi/DC.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gdi/DCInternal.h"

// ---- Mapping ----------------------------------------------------------------

int CDC::SetMapMode(int mode) {
    auto g = Log("SetMapMode", mode);
    if (mode < MM_TEXT || mode > MM_ANISOTROPIC) return 0;
    int old = st_.mapMode;
    st_.mapMode = mode;
    int dx = caps_.logPixelsX, dy = caps_.logPixelsY;
    auto fixed = [&](int units) {
        st_.winExt = CSize(units, units);
        st_.vpExt = CSize(dx, -dy);
    };
    switch (mode) {
    case MM_TEXT: st_.winExt = st_.vpExt = CSize(1, 1); break;
    case MM_LOMETRIC: fixed(254); break;
    case MM_HIMETRIC: fixed(2540); break;
    case MM_LOENGLISH: fixed(100); break;
    case MM_HIENGLISH: fixed(1000); break;
    case MM_TWIPS: fixed(1440); break;
    case MM_ISOTROPIC:
        if (old != MM_ANISOTROPIC && old != MM_ISOTROPIC) {
            // As GDI does: start from the metric mode's extents.
            fixed(254);
        }
        FixIsotropic();
        break;
    default: break;
    }
    return old;
}

void CDC::FixIsotropic() {
    if (st_.mapMode != MM_ISOTROPIC || !st_.winExt.cx || !st_.winExt.cy) return;
    double sx = double(st_.vpExt.cx) / st_.winExt.cx, sy = double(st_.vpExt.cy) / st_.winExt.cy;
    double ax = std::fabs(sx), ay = std::fabs(sy);
    if (ax < ay) st_.vpExt.cy = int(std::lround((sy < 0 ? -ax : ax) * st_.winExt.cy));
    else if (ay < ax) st_.vpExt.cx = int(std::lround((sx < 0 ? -ay : ay) * st_.winExt.cx));
}

CSize CDC::SetExt(CSize& ext, int cx, int cy) {
    CSize old = ext;
    if ((st_.mapMode != MM_ISOTROPIC && st_.mapMode != MM_ANISOTROPIC) || cx == 0 || cy == 0) return old;
    ext = CSize(cx, cy);
    FixIsotropic();
    return old;
}

CSize CDC::ScaleExt(CSize& ext, int xNum, int xDenom, int yNum, int yDenom) {
    CSize old = ext;
    if (st_.mapMode != MM_ISOTROPIC && st_.mapMode != MM_ANISOTROPIC) return old;
    if (!xDenom || !yDenom) return old;
    CSize n(MulDiv(old.cx, xNum, xDenom), MulDiv(old.cy, yNum, yDenom));
    if (n.cx && n.cy) ext = n;
    FixIsotropic();
    return old;
}

CPoint CDC::SetWindowOrg(int x, int y) {
    auto g = Log("SetWindowOrg", x, y);
    CPoint old = st_.winOrg;
    st_.winOrg = CPoint(x, y);
    return old;
}

CPoint CDC::OffsetWindowOrg(int dx, int dy) {
    auto g = Log("OffsetWindowOrg", dx, dy);
    CPoint old = st_.winOrg;
    st_.winOrg.Offset(dx, dy);
    return old;
}

CSize CDC::SetWindowExt(int cx, int cy) {
    auto g = Log("SetWindowExt", cx, cy);
    return SetExt(st_.winExt, cx, cy);
}

CSize CDC::ScaleWindowExt(int xNum, int xDenom, int yNum, int yDenom) {
    auto g = Log("ScaleWindowExt", xNum, xDenom, yNum, yDenom);
    return ScaleExt(st_.winExt, xNum, xDenom, yNum, yDenom);
}

CPoint CDC::SetViewportOrg(int x, int y) {
    auto g = Log("SetViewportOrg", x, y);
    CPoint old = st_.vpOrg;
    st_.vpOrg = CPoint(x, y);
    return old;
}

CPoint CDC::OffsetViewportOrg(int dx, int dy) {
    auto g = Log("OffsetViewportOrg", dx, dy);
    CPoint old = st_.vpOrg;
    st_.vpOrg.Offset(dx, dy);
    return old;
}

CSize CDC::SetViewportExt(int cx, int cy) {
    auto g = Log("SetViewportExt", cx, cy);
    return SetExt(st_.vpExt, cx, cy);
}

CSize CDC::ScaleViewportExt(int xNum, int xDenom, int yNum, int yDenom) {
    auto g = Log("ScaleViewportExt", xNum, xDenom, yNum, yDenom);
    return ScaleExt(st_.vpExt, xNum, xDenom, yNum, yDenom);
}

double CDC::ScaleX() const { return double(st_.vpExt.cx) / st_.winExt.cx; }
double CDC::ScaleY() const { return double(st_.vpExt.cy) / st_.winExt.cy; }

PointF CDC::ToDev(double x, double y) const {
    return {(x - st_.winOrg.x) * ScaleX() + st_.vpOrg.x, (y - st_.winOrg.y) * ScaleY() + st_.vpOrg.y};
}


CPoint CDC::ToDevPt(int x, int y) const {
    PointF p = ToDev(x, y);
    return CPoint(RoundClamp(p.x), RoundClamp(p.y));
}

void CDC::LPtoDP(LPPOINT pts, int count) const {
    for (int i = 0; pts && i < count; ++i) pts[i] = ToDevPt(pts[i].x, pts[i].y);
}

void CDC::LPtoDP(LPRECT rc) const { LPtoDP(reinterpret_cast<LPPOINT>(rc), 2); }

void CDC::LPtoDP(SIZE* s) const {
    if (!s) return;
    s->cx = RoundClamp(s->cx * ScaleX());
    s->cy = RoundClamp(s->cy * ScaleY());
}

void CDC::DPtoLP(LPPOINT pts, int count) const {
    for (int i = 0; pts && i < count; ++i) {
        pts[i].x = RoundClamp((pts[i].x - st_.vpOrg.x) / ScaleX() + st_.winOrg.x);
        pts[i].y = RoundClamp((pts[i].y - st_.vpOrg.y) / ScaleY() + st_.winOrg.y);
    }
}

void CDC::DPtoLP(LPRECT rc) const { DPtoLP(reinterpret_cast<LPPOINT>(rc), 2); }

void CDC::DPtoLP(SIZE* s) const {
    if (!s) return;
    s->cx = RoundClamp(s->cx / ScaleX());
    s->cy = RoundClamp(s->cy / ScaleY());
}
