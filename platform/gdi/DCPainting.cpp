// Device contexts: brushes made for painting, filled shapes and stroked outlines.
#include "platform/gdi/DC.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gdi/DCInternal.h"

// ---- Painting core ----------------------------------------------------------

CDC::Brush CDC::MakeBrush(const std::shared_ptr<GdiObject>& obj) const {
    Brush b;
    if (!px_ || !obj || obj->type != OBJ_BRUSH) return b;
    auto* bd = static_cast<BrushData*>(obj.get());
    CPoint org = st_.brushOrg;
    b.orgX = org.x, b.orgY = org.y;
    switch (bd->brush.lbStyle) {
    case BS_SOLID:
        b.kind = Brush::Solid;
        b.value = DevValue(bd->brush.lbColor);
        break;
    case BS_HATCHED:
        b.kind = Brush::Hatch;
        b.value = DevValue(bd->brush.lbColor);
        b.bkValue = DevValue(st_.bkColor);
        b.opaqueGaps = st_.bkMode == OPAQUE;
        b.hatch = int(bd->brush.lbHatch);
        break;
    case BS_PATTERN:
    case BS_DIBPATTERN:
    case BS_DIBPATTERNPT: {
        const PixelBuffer* p = bd->pattern.get();
        if (!p || p->Empty()) break;
        b.kind = Brush::Pattern;
        b.pw = p->Width(), b.ph = p->Height();
        b.pat.resize(size_t(b.pw) * b.ph);
        uint32_t fg = DevValue(st_.textColor), bg = DevValue(st_.bkColor);
        bool sameFormat = (p->Bpp() >= 24 && px_->Bpp() >= 24) || (p->IsMono() && px_->IsMono());
        for (int y = 0; y < b.ph; ++y)
            for (int x = 0; x < b.pw; ++x) {
                uint32_t v = p->Get(x, y), out;
                if (p->IsMono() && !bd->monoUsesTable && !px_->IsMono()) out = v ? bg : fg;
                else if (sameFormat) out = v;
                else out = px_->FromRgb(p->ToRgb(v));
                b.pat[size_t(y) * b.pw + x] = out;
            }
        break;
    }
    default: break;
    }
    return b;
}

void CDC::PaintShape(const Region& shape, const Brush& brush, bool useRop2) {
    if (!px_ || brush.kind == Brush::None || shape.IsEmpty()) return;
    Region vis = Region::Combine(shape, VisibleRegion(), RGN_AND);
    int rop2 = useRop2 ? st_.rop2 : R2_COPYPEN;
    uint32_t mask = px_->ValueMask();
    if (rop2 == R2_NOP) return;
    bool fast = brush.kind == Brush::Solid && (rop2 == R2_COPYPEN || rop2 == R2_BLACK || rop2 == R2_WHITE ||
                                               rop2 == R2_NOTCOPYPEN);
    for (auto& band : vis.Bands()) {
        if (fast) {
            uint32_t v = GdiRop::Rop2(rop2, brush.value, 0) & mask;
            for (auto& s : band.spans) px_->FillValue(s.x0, band.y0, s.x1, band.y1, v);
            continue;
        }
        for (int y = band.y0; y < band.y1; ++y)
            for (auto& s : band.spans)
                for (int x = s.x0; x < s.x1; ++x) {
                    uint32_t p;
                    if (!brush.At(x, y, p)) continue;
                    px_->Set(x, y, GdiRop::Rop2(rop2, p, px_->Get(x, y)) & mask);
                }
    }
}

namespace {
// Dash patterns of cosmetic pens, in pixels: on, off, on, off, ...
const std::vector<int>& DashPattern(int style) {
    static const std::vector<int> dash{18, 6}, dot{3, 3}, dashdot{9, 6, 3, 6}, dashdotdot{9, 3, 3, 3, 3, 3}, none;
    switch (style) {
    case PS_DASH: return dash;
    case PS_DOT: return dot;
    case PS_DASHDOT: return dashdot;
    case PS_DASHDOTDOT: return dashdotdot;
    default: return none;
    }
}
}  // namespace

// The stroke of a figure with the current pen: pixels in on and, for styled
// pens over an opaque background, off.
void CDC::StrokeDev(const PointList& pts, bool closed, bool skipLast, Region* covered) {
    auto* pen = static_cast<PenData*>(st_.pen.get());
    if (!px_ || !pen || pts.empty()) return;
    int style = int(pen->pen.lopnStyle) & PS_STYLE_MASK;
    if (style == PS_NULL) return;
    // Width 0 is one pixel whatever the mapping; other widths are logical.
    double width = pen->pen.lopnWidth.x > 0 ? std::max(1.0, pen->pen.lopnWidth.x * std::fabs(ScaleX())) : 1;
    Brush ink;
    ink.kind = Brush::Solid;
    ink.value = DevValue(pen->pen.lopnColor);
    if (width > 1.5) {
        CRect clip = VisibleRegion().Bounds();
        Region r = Raster::WideStroke(pts, closed, width, &clip);
        PaintShape(r, ink, true);
        if (covered) *covered = std::move(r);
        return;
    }
    Region::Builder on, off;
    const std::vector<int>& dash = DashPattern(style);
    size_t di = 0;
    int left = dash.empty() ? 0 : dash[0];
    auto plot = [&](int x, int y) {
        if (dash.empty() || !(di & 1)) on.AddSpan(y, x, x + 1);
        else off.AddSpan(y, x, x + 1);
        if (!dash.empty() && --left <= 0) {
            di = (di + 1) % dash.size();
            left = dash[di];
        }
    };
    PointList p = pts;
    if (closed && p.size() > 1) p.push_back(p.front());
    if (p.size() == 1) {
        if (!skipLast) plot(RoundClamp(p[0].x), RoundClamp(p[0].y));
    }
    // Segments are cut to the surface (with a margin) before they are walked.
    CRect bounds = VisibleRegion().Bounds();
    bounds.InflateRect(2, 2);
    for (size_t i = 0; i + 1 < p.size(); ++i) {
        bool last = i + 2 == p.size();
        PointF a = p[i], b = p[i + 1];
        bool endCut = b.x < bounds.left || b.x > bounds.right || b.y < bounds.top || b.y > bounds.bottom;
        if (!Raster::ClipSegment(a, b, bounds)) continue;
        Raster::Line(RoundClamp(a.x), RoundClamp(a.y), RoundClamp(b.x), RoundClamp(b.y),
                     endCut || (last && !skipLast && !closed), plot);
    }
    Region onRgn = on.Finish();
    PaintShape(onRgn, ink, true);
    if (covered) *covered = onRgn;
    if (!dash.empty() && st_.bkMode == OPAQUE) {
        Brush gap;
        gap.kind = Brush::Solid;
        gap.value = DevValue(st_.bkColor);
        Region offRgn = off.Finish();
        PaintShape(offRgn, gap, true);
        if (covered) *covered = Region::Combine(*covered, offRgn, RGN_OR);
    }
}

// A closed shape (device points): interior with the brush, outline with the pen.
void CDC::Shape(const PointList& pts, bool closed, bool fill) {
    if (st_.inPath) {
        AddToPath(pts, closed, false);
        return;
    }
    // The outline and the inside never overlap, so a raster operation
    // touches each pixel once.
    Region outline;
    StrokeDev(pts, closed, false, &outline);
    if (!fill) return;
    CRect clip = VisibleRegion().Bounds();
    Region inside = Raster::FillPolygons({pts}, st_.polyFillMode, &clip);
    PaintShape(Region::Combine(inside, outline, RGN_DIFF), MakeBrush(st_.brush), true);
}

PointList CDC::BoxDev(int l, int t, int r, int b, double* L, double* T, double* R, double* B) const {
    PointF a = ToDev(l, t), c = ToDev(r, b);
    double x0 = std::min(a.x, c.x), x1 = std::max(a.x, c.x), y0 = std::min(a.y, c.y), y1 = std::max(a.y, c.y);
    x0 = std::round(x0), x1 = std::round(x1) - 1, y0 = std::round(y0), y1 = std::round(y1) - 1;
    auto* pen = static_cast<PenData*>(st_.pen.get());
    if (pen && (int(pen->pen.lopnStyle) & PS_STYLE_MASK) == PS_INSIDEFRAME && pen->pen.lopnWidth.x > 1) {
        double w = pen->pen.lopnWidth.x * std::fabs(ScaleX()) / 2;
        x0 += std::floor(w), y0 += std::floor(w), x1 -= std::floor(w), y1 -= std::floor(w);
    }
    *L = x0, *T = y0, *R = std::max(x0, x1), *B = std::max(y0, y1);
    return {{*L, *T}, {*R, *T}, {*R, *B}, {*L, *B}};
}
