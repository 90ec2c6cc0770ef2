// Device contexts: the clipping region and visibility tests.
#include "platform/gdi/DC.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gdi/DCInternal.h"

// ---- Clipping ---------------------------------------------------------------

const Region& CDC::VisibleRegion() const {
    if (visGen_ == clipGen_ && visPx_ == px_) return vis_;
    visGen_ = clipGen_, visPx_ = px_;
    if (!px_ || px_->Empty()) {
        vis_.Clear();
        return vis_;
    }
    Region all(CRect(0, 0, px_->Width(), px_->Height()));
    vis_ = st_.hasClip ? Region::Combine(all, st_.clip, RGN_AND) : all;
    return vis_;
}

int CDC::SelectClipRgn(CRgn* rgn) { return SelectClipRgn(rgn, RGN_COPY); }

int CDC::SelectClipRgn(CRgn* rgn, int mode) {
    Region* r = rgn ? rgn->GetRegion() : nullptr;
    auto g = Log("SelectClipRgn", r ? GdiLog::Describe(GdiHandles::Get(rgn->m_hObject).get()) : std::string("null"), mode);
    if (!r) {
        if (mode != RGN_COPY) return ERROR;
        st_.hasClip = false;
        ClipChanged();
        st_.clip.Clear();
        return SIMPLEREGION;
    }
    if (mode < RGN_AND || mode > RGN_COPY) return ERROR;
    if (mode == RGN_COPY || !st_.hasClip) {
        Region base = st_.hasClip ? st_.clip : VisibleRegion();
        st_.clip = mode == RGN_COPY ? *r : Region::Combine(base, *r, mode);
    } else {
        st_.clip = Region::Combine(st_.clip, *r, mode);
    }
    st_.hasClip = true;
    ClipChanged();
    return VisibleRegion().Kind();
}

namespace {
CRect DevRect(const CDC& dc, int l, int t, int r, int b) {
    CRect rc(l, t, r, b);
    dc.LPtoDP(&rc);
    rc.NormalizeRect();
    return rc;
}
}  // namespace

int CDC::ExcludeClipRect(int l, int t, int r, int b) {
    auto g = Log("ExcludeClipRect", l, t, r, b);
    Region base = st_.hasClip ? st_.clip : VisibleRegion();
    st_.clip = Region::Combine(base, Region(DevRect(*this, l, t, r, b)), RGN_DIFF);
    st_.hasClip = true;
    ClipChanged();
    return VisibleRegion().Kind();
}

int CDC::IntersectClipRect(int l, int t, int r, int b) {
    auto g = Log("IntersectClipRect", l, t, r, b);
    Region base = st_.hasClip ? st_.clip : VisibleRegion();
    st_.clip = Region::Combine(base, Region(DevRect(*this, l, t, r, b)), RGN_AND);
    st_.hasClip = true;
    ClipChanged();
    return VisibleRegion().Kind();
}

int CDC::OffsetClipRgn(int dx, int dy) {
    auto g = Log("OffsetClipRgn", dx, dy);
    if (!st_.hasClip) return SIMPLEREGION;
    st_.clip.Offset(RoundClamp(dx * ScaleX()), RoundClamp(dy * ScaleY()));
    ClipChanged();
    return VisibleRegion().Kind();
}

int CDC::GetClipBox(LPRECT rc) const {
    if (!rc) return ERROR;
    Region v = VisibleRegion();
    CRect b = v.Bounds();
    DPtoLP(&b);
    b.NormalizeRect();
    *rc = b;
    return v.Kind();
}

BOOL CDC::PtVisible(int x, int y) const {
    CPoint p = ToDevPt(x, y);
    return VisibleRegion().Contains(p.x, p.y);
}

BOOL CDC::RectVisible(LPCRECT rc) const {
    if (!rc) return FALSE;
    return !VisibleRegion().Intersect(DevRect(*this, rc->left, rc->top, rc->right, rc->bottom)).IsEmpty();
}
