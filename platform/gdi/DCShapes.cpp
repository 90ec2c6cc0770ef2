// Device contexts: lines, curves, rectangles, ellipses, arcs, pixels and region fills.
#include "platform/gdi/DC.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gdi/DCInternal.h"

// ---- Lines and shapes -------------------------------------------------------

CPoint CDC::MoveTo(int x, int y) {
    auto g = Log("MoveTo", x, y);
    CPoint old = st_.cp;
    st_.cp = CPoint(x, y);
    if (st_.inPath) st_.path.push_back({{ToDev(x, y)}, false});
    return old;
}

BOOL CDC::LineTo(int x, int y) {
    auto g = Log("LineTo", x, y);
    PointList p{ToDev(st_.cp.x, st_.cp.y), ToDev(x, y)};
    st_.cp = CPoint(x, y);
    if (st_.inPath) AddToPath(p, false, true);
    else StrokeDev(p, false, true);
    return TRUE;
}

BOOL CDC::Polyline(const POINT* pts, int count) {
    auto g = Log("Polyline", count);
    if (!pts || count < 2) return FALSE;
    PointList p;
    for (int i = 0; i < count; ++i) p.push_back(ToDev(pts[i].x, pts[i].y));
    if (st_.inPath) AddToPath(p, false, false);
    else StrokeDev(p, false, true);
    return TRUE;
}

BOOL CDC::PolylineTo(const POINT* pts, int count) {
    auto g = Log("PolylineTo", count);
    if (!pts || count < 1) return FALSE;
    PointList p{ToDev(st_.cp.x, st_.cp.y)};
    for (int i = 0; i < count; ++i) p.push_back(ToDev(pts[i].x, pts[i].y));
    st_.cp = pts[count - 1];
    if (st_.inPath) AddToPath(p, false, true);
    else StrokeDev(p, false, true);
    return TRUE;
}

BOOL CDC::PolyPolyline(const POINT* pts, const DWORD* counts, int polys) {
    auto g = Log("PolyPolyline", polys);
    if (!pts || !counts || polys <= 0) return FALSE;
    for (int i = 0; i < polys; ++i) {
        Polyline(pts, int(counts[i]));
        pts += counts[i];
    }
    return TRUE;
}

BOOL CDC::Polygon(const POINT* pts, int count) {
    auto g = Log("Polygon", count);
    if (!pts || count < 2) return FALSE;
    PointList p;
    for (int i = 0; i < count; ++i) p.push_back(ToDev(pts[i].x, pts[i].y));
    Shape(p, true, true);
    return TRUE;
}

BOOL CDC::PolyPolygon(const POINT* pts, const int* counts, int polys) {
    auto g = Log("PolyPolygon", polys);
    if (!pts || !counts || polys <= 0) return FALSE;
    std::vector<PointList> list;
    for (int i = 0; i < polys; ++i) {
        if (counts[i] < 2) return FALSE;
        PointList p;
        for (int k = 0; k < counts[i]; ++k) p.push_back(ToDev(pts[k].x, pts[k].y));
        pts += counts[i];
        list.push_back(std::move(p));
    }
    if (st_.inPath) {
        for (auto& p : list) AddToPath(p, true, false);
        return TRUE;
    }
    Region outline;
    for (auto& p : list) {
        Region one;
        StrokeDev(p, true, false, &one);
        outline = Region::Combine(outline, one, RGN_OR);
    }
    CRect clip = VisibleRegion().Bounds();
    Region inside = Raster::FillPolygons(list, st_.polyFillMode, &clip);
    PaintShape(Region::Combine(inside, outline, RGN_DIFF), MakeBrush(st_.brush), true);
    return TRUE;
}

BOOL CDC::PolyBezier(const POINT* pts, int count) {
    auto g = Log("PolyBezier", count);
    if (!pts || count < 4 || (count - 1) % 3) return FALSE;
    PointList p{ToDev(pts[0].x, pts[0].y)};
    for (int i = 1; i + 2 < count; i += 3)
        Raster::Bezier(p.back(), ToDev(pts[i].x, pts[i].y), ToDev(pts[i + 1].x, pts[i + 1].y),
                       ToDev(pts[i + 2].x, pts[i + 2].y), p);
    if (st_.inPath) AddToPath(p, false, false);
    else StrokeDev(p, false, false);
    return TRUE;
}

BOOL CDC::PolyBezierTo(const POINT* pts, int count) {
    auto g = Log("PolyBezierTo", count);
    if (!pts || count < 3 || count % 3) return FALSE;
    PointList p{ToDev(st_.cp.x, st_.cp.y)};
    for (int i = 0; i + 2 < count; i += 3)
        Raster::Bezier(p.back(), ToDev(pts[i].x, pts[i].y), ToDev(pts[i + 1].x, pts[i + 1].y),
                       ToDev(pts[i + 2].x, pts[i + 2].y), p);
    st_.cp = pts[count - 1];
    if (st_.inPath) AddToPath(p, false, true);
    else StrokeDev(p, false, false);
    return TRUE;
}

BOOL CDC::PolyDraw(const POINT* pts, const BYTE* types, int count) {
    auto g = Log("PolyDraw", count);
    if (!pts || !types || count < 0) return FALSE;
    for (int i = 0; i < count; ++i) {
        BYTE t = types[i] & ~PT_CLOSEFIGURE;
        if (t == PT_BEZIERTO && (i + 2 >= count || (types[i + 1] & ~PT_CLOSEFIGURE) != PT_BEZIERTO ||
                                 (types[i + 2] & ~PT_CLOSEFIGURE) != PT_BEZIERTO))
            return FALSE;
        if (t != PT_MOVETO && t != PT_LINETO && t != PT_BEZIERTO) return FALSE;
        if (t == PT_BEZIERTO) i += 2;
    }
    bool wasInPath = st_.inPath;
    std::vector<Figure> saved;
    if (!wasInPath) {
        saved.swap(st_.path);
        st_.inPath = true;
    }
    for (int i = 0; i < count; ++i) {
        BYTE t = types[i] & ~PT_CLOSEFIGURE;
        bool close = types[i] & PT_CLOSEFIGURE;
        if (t == PT_MOVETO) {
            MoveTo(pts[i]);
        } else if (t == PT_LINETO) {
            LineTo(pts[i]);
        } else {
            PolyBezierTo(pts + i, 3);
            i += 2;
            close = types[i] & PT_CLOSEFIGURE;
        }
        if (close) CloseFigure();
    }
    if (!wasInPath) {
        st_.inPath = false;
        std::vector<Figure> figs;
        figs.swap(st_.path);
        st_.path.swap(saved);
        for (auto& f : figs)
            if (f.pts.size() > 1) StrokeDev(f.pts, f.closed, !f.closed);
    }
    return TRUE;
}

BOOL CDC::Rectangle(int l, int t, int r, int b) {
    auto g = Log("Rectangle", l, t, r, b);
    double L, T, R, B;
    PointList p = BoxDev(l, t, r, b, &L, &T, &R, &B);
    Shape(p, true, true);
    return TRUE;
}

BOOL CDC::RoundRect(int l, int t, int r, int b, int w, int h) {
    auto g = Log("RoundRect", l, t, r, b, w, h);
    double L, T, R, B;
    BoxDev(l, t, r, b, &L, &T, &R, &B);
    Shape(Raster::RoundRect(L, T, R, B, std::fabs(w * ScaleX()), std::fabs(h * ScaleY())), true, true);
    return TRUE;
}

BOOL CDC::Ellipse(int l, int t, int r, int b) {
    auto g = Log("Ellipse", l, t, r, b);
    double L, T, R, B;
    BoxDev(l, t, r, b, &L, &T, &R, &B);
    Shape(Raster::Ellipse(L, T, R, B), true, true);
    return TRUE;
}

namespace {
enum class ArcKind { Arc, ArcTo, Pie, Chord };
}

static PointList ArcPoints(const CDC& dc, const PointF& a, const PointF& c, PointF s, PointF e, bool cw) {
    double L = std::min(a.x, c.x), R = std::max(a.x, c.x) - 1, T = std::min(a.y, c.y), B = std::max(a.y, c.y) - 1;
    (void)dc;
    return Raster::Arc(L, T, std::max(L, R), std::max(T, B), s.x, s.y, e.x, e.y, cw);
}

BOOL CDC::Arc(int l, int t, int r, int b, int x1, int y1, int x2, int y2) {
    auto g = Log("Arc", l, t, r, b, x1, y1, x2, y2);
    bool cw = (st_.arcDirection == AD_CLOCKWISE) != (ScaleX() * ScaleY() < 0);
    PointList p = ArcPoints(*this, ToDev(l, t), ToDev(r, b), ToDev(x1, y1), ToDev(x2, y2), cw);
    if (st_.inPath) AddToPath(p, false, false);
    else StrokeDev(p, false, true);
    return TRUE;
}

BOOL CDC::ArcTo(int l, int t, int r, int b, int x1, int y1, int x2, int y2) {
    auto g = Log("ArcTo", l, t, r, b, x1, y1, x2, y2);
    bool cw = (st_.arcDirection == AD_CLOCKWISE) != (ScaleX() * ScaleY() < 0);
    PointList p = ArcPoints(*this, ToDev(l, t), ToDev(r, b), ToDev(x1, y1), ToDev(x2, y2), cw);
    p.insert(p.begin(), ToDev(st_.cp.x, st_.cp.y));
    PointF end = p.back();
    CPoint e(RoundClamp(end.x), RoundClamp(end.y));
    DPtoLP(&e);
    st_.cp = e;
    if (st_.inPath) AddToPath(p, false, true);
    else StrokeDev(p, false, true);
    return TRUE;
}

BOOL CDC::Pie(int l, int t, int r, int b, int x1, int y1, int x2, int y2) {
    auto g = Log("Pie", l, t, r, b, x1, y1, x2, y2);
    bool cw = (st_.arcDirection == AD_CLOCKWISE) != (ScaleX() * ScaleY() < 0);
    PointF a = ToDev(l, t), c = ToDev(r, b);
    PointList p = ArcPoints(*this, a, c, ToDev(x1, y1), ToDev(x2, y2), cw);
    p.push_back({(std::min(a.x, c.x) + std::max(a.x, c.x) - 1) / 2, (std::min(a.y, c.y) + std::max(a.y, c.y) - 1) / 2});
    Shape(p, true, true);
    return TRUE;
}

BOOL CDC::Chord(int l, int t, int r, int b, int x1, int y1, int x2, int y2) {
    auto g = Log("Chord", l, t, r, b, x1, y1, x2, y2);
    bool cw = (st_.arcDirection == AD_CLOCKWISE) != (ScaleX() * ScaleY() < 0);
    Shape(ArcPoints(*this, ToDev(l, t), ToDev(r, b), ToDev(x1, y1), ToDev(x2, y2), cw), true, true);
    return TRUE;
}

COLORREF CDC::SetPixel(int x, int y, COLORREF c) {
    auto g = Log("SetPixel", x, y, c);
    if (!px_) return CLR_INVALID;
    CPoint p = ToDevPt(x, y);
    if (!VisibleRegion().Contains(p.x, p.y)) return CLR_INVALID;
    uint32_t v = DevValue(c);
    px_->Set(p.x, p.y, v);
    return RgbToColorRef(px_->ToRgb(v));
}

COLORREF CDC::GetPixel(int x, int y) const {
    if (!px_) return CLR_INVALID;
    CPoint p = ToDevPt(x, y);
    if (p.x < 0 || p.y < 0 || p.x >= px_->Width() || p.y >= px_->Height()) return CLR_INVALID;
    return RgbToColorRef(px_->ToRgb(px_->Get(p.x, p.y)));
}

void CDC::FillRect(LPCRECT rc, HBRUSH brush) {
    auto obj = GdiHandles::GetAs<BrushData>(brush, OBJ_BRUSH);
    auto g = Log("FillRect", rc ? *rc : RECT{}, GdiLog::Describe(obj.get()));
    if (!rc || !obj) return;
    CRect r(*rc);
    LPtoDP(&r);
    r.NormalizeRect();
    PaintShape(Region(r), MakeBrush(obj), false);
}

void CDC::FillRect(LPCRECT rc, CBrush* brush) { FillRect(rc, brush ? brush->m_hObject : nullptr); }

void CDC::FillSolidRect(LPCRECT rc, COLORREF c) {
    auto g = Log("FillSolidRect", rc ? *rc : RECT{}, c);
    if (!rc || !px_) return;
    CRect r(*rc);
    LPtoDP(&r);
    r.NormalizeRect();
    Brush b;
    b.kind = Brush::Solid;
    b.value = DevValue(c);
    PaintShape(Region(r), b, false);
    st_.bkColor = c;  // as the framework does
}

void CDC::FillSolidRect(int x, int y, int w, int h, COLORREF c) {
    CRect r(x, y, RoundClamp(double(x) + w), RoundClamp(double(y) + h));
    FillSolidRect(&r, c);
}

void CDC::FrameRect(LPCRECT rc, CBrush* brush) {
    auto g = Log("FrameRect", rc ? *rc : RECT{});
    if (!rc || !brush) return;
    auto obj = GdiHandles::Get(brush->m_hObject);
    CRect r(*rc);
    LPtoDP(&r);
    if (r.IsRectEmpty()) return;
    CRect inner(r.left + 1, r.top + 1, r.right - 1, r.bottom - 1);
    Region frame = Region::Combine(Region(r), Region(inner), RGN_DIFF);
    PaintShape(frame, MakeBrush(obj), false);
}

void CDC::InvertRect(LPCRECT rc) {
    auto g = Log("InvertRect", rc ? *rc : RECT{});
    if (!rc) return;
    PatBlt(rc->left, rc->top, rc->right - rc->left, rc->bottom - rc->top, DSTINVERT);
}

BOOL CDC::FillRgn(CRgn* rgn, CBrush* brush) {
    auto g = Log("FillRgn");
    Region* r = rgn ? rgn->GetRegion() : nullptr;
    if (!r || !brush) return FALSE;
    PaintShape(*r, MakeBrush(GdiHandles::Get(brush->m_hObject)), false);
    return TRUE;
}

BOOL CDC::FrameRgn(CRgn* rgn, CBrush* brush, int w, int h) {
    auto g = Log("FrameRgn", w, h);
    Region* r = rgn ? rgn->GetRegion() : nullptr;
    if (!r || !brush || w < 0 || h < 0) return FALSE;
    // The inside shrunk by w and h: a pixel stays when its neighbours that
    // far away are all inside.
    Region inner = *r;
    for (int dx : {-w, w}) {
        Region s = *r;
        s.Offset(dx, 0);
        inner = Region::Combine(inner, s, RGN_AND);
    }
    for (int dy : {-h, h}) {
        Region s = *r;
        s.Offset(0, dy);
        inner = Region::Combine(inner, s, RGN_AND);
    }
    PaintShape(Region::Combine(*r, inner, RGN_DIFF), MakeBrush(GdiHandles::Get(brush->m_hObject)), false);
    return TRUE;
}

BOOL CDC::PaintRgn(CRgn* rgn) {
    auto g = Log("PaintRgn");
    Region* r = rgn ? rgn->GetRegion() : nullptr;
    if (!r) return FALSE;
    PaintShape(*r, MakeBrush(st_.brush), true);
    return TRUE;
}

BOOL CDC::InvertRgn(CRgn* rgn) {
    auto g = Log("InvertRgn");
    Region* r = rgn ? rgn->GetRegion() : nullptr;
    if (!r) return FALSE;
    Brush b;
    b.kind = Brush::Solid;
    int old = st_.rop2;
    st_.rop2 = R2_NOT;
    PaintShape(*r, b, true);
    st_.rop2 = old;
    return TRUE;
}
