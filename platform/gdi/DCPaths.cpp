// Device contexts: paths, their stroking, filling and clipping.
#include "platform/gdi/DC.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gdi/DCInternal.h"

// ---- Paths ------------------------------------------------------------------

void CDC::AddToPath(const PointList& pts, bool closed, bool continueFigure) {
    if (pts.empty()) return;
    if (continueFigure && !st_.path.empty() && !st_.path.back().closed && !st_.path.back().pts.empty()) {
        auto& f = st_.path.back().pts;
        size_t from = (f.back().x == pts.front().x && f.back().y == pts.front().y) ? 1 : 0;
        f.insert(f.end(), pts.begin() + long(from), pts.end());
        return;
    }
    if (!st_.path.empty() && st_.path.back().pts.size() == 1 && !st_.path.back().closed) st_.path.pop_back();
    st_.path.push_back({pts, closed});
}

BOOL CDC::BeginPath() {
    auto g = Log("BeginPath");
    st_.path.clear();
    st_.inPath = true;
    st_.pathDone = false;
    return TRUE;
}

BOOL CDC::EndPath() {
    auto g = Log("EndPath");
    if (!st_.inPath) return FALSE;
    st_.inPath = false;
    st_.pathDone = true;
    return TRUE;
}

BOOL CDC::AbortPath() {
    auto g = Log("AbortPath");
    st_.path.clear();
    st_.inPath = st_.pathDone = false;
    return TRUE;
}

BOOL CDC::CloseFigure() {
    auto g = Log("CloseFigure");
    if (!st_.inPath || st_.path.empty()) return FALSE;
    st_.path.back().closed = true;
    return TRUE;
}

BOOL CDC::FlattenPath() {
    auto g = Log("FlattenPath");
    return st_.pathDone ? TRUE : FALSE;  // figures are kept flat
}

Region CDC::PathRegion() const {
    std::vector<PointList> polys;
    for (auto& f : st_.path)
        if (f.pts.size() > 2) polys.push_back(f.pts);
    CRect clip = VisibleRegion().Bounds();
    return Raster::FillPolygons(polys, st_.polyFillMode, &clip);
}

BOOL CDC::StrokePath() {
    auto g = Log("StrokePath");
    if (!st_.pathDone) return FALSE;
    auto figs = std::move(st_.path);
    st_.path.clear();
    st_.pathDone = false;
    for (auto& f : figs)
        if (f.pts.size() > 1) StrokeDev(f.pts, f.closed, false);
    return TRUE;
}

BOOL CDC::FillPath() {
    auto g = Log("FillPath");
    if (!st_.pathDone) return FALSE;
    Region r = PathRegion();
    st_.path.clear();
    st_.pathDone = false;
    PaintShape(r, MakeBrush(st_.brush), true);
    return TRUE;
}

BOOL CDC::StrokeAndFillPath() {
    auto g = Log("StrokeAndFillPath");
    if (!st_.pathDone) return FALSE;
    auto figs = std::move(st_.path);
    Region r;
    {
        std::vector<PointList> polys;
        for (auto& f : figs)
            if (f.pts.size() > 2) polys.push_back(f.pts);
        CRect clip = VisibleRegion().Bounds();
        r = Raster::FillPolygons(polys, st_.polyFillMode, &clip);
    }
    st_.path.clear();
    st_.pathDone = false;
    Region outline;
    for (auto& f : figs)
        if (f.pts.size() > 1) {
            Region one;
            StrokeDev(f.pts, true, false, &one);
            outline = Region::Combine(outline, one, RGN_OR);
        }
    PaintShape(Region::Combine(r, outline, RGN_DIFF), MakeBrush(st_.brush), true);
    return TRUE;
}

BOOL CDC::SelectClipPath(int mode) {
    auto g = Log("SelectClipPath", mode);
    if (!st_.pathDone || mode < RGN_AND || mode > RGN_COPY) return FALSE;
    Region r = PathRegion();
    st_.path.clear();
    st_.pathDone = false;
    if (mode == RGN_COPY) st_.clip = r;
    else st_.clip = Region::Combine(st_.hasClip ? st_.clip : VisibleRegion(), r, mode);
    st_.hasClip = true;
    ClipChanged();
    return TRUE;
}
