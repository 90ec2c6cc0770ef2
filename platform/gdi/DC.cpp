// CDC: construction, state, objects, mapping, clipping, lines and shapes.
#include "platform/gdi/DC.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gdi/DCInternal.h"
#include "platform/gdi/PrintSink.h"

std::shared_ptr<GdiObject> StockMonoBitmap();

namespace GdiLog {
std::string Describe(const GdiObject* obj) {
    std::ostringstream o;
    if (!obj) return "null";
    switch (obj->type) {
    case OBJ_PEN: {
        auto& p = static_cast<const PenData*>(obj)->pen;
        o << "pen(" << p.lopnStyle << ',' << p.lopnWidth.x << ",0x" << std::hex << p.lopnColor << ')';
        break;
    }
    case OBJ_BRUSH: {
        auto& b = static_cast<const BrushData*>(obj)->brush;
        o << "brush(" << b.lbStyle << ",0x" << std::hex << b.lbColor << std::dec << ',' << (b.lbStyle == BS_HATCHED ? int(b.lbHatch) : 0) << ')';
        break;
    }
    case OBJ_FONT: {
        auto& f = static_cast<const FontData*>(obj)->font;
        o << "font(\"" << f.lfFaceName << "\"," << f.lfHeight << ',' << f.lfWidth << ',' << f.lfEscapement << ','
          << f.lfWeight << ',' << int(f.lfItalic) << ')';
        break;
    }
    case OBJ_BITMAP: {
        auto& p = static_cast<const BitmapData*>(obj)->pixels;
        o << "bitmap(" << p.Width() << ',' << p.Height() << ',' << p.Bpp() << ')';
        break;
    }
    case OBJ_PAL: o << "palette(" << static_cast<const PaletteData*>(obj)->entries.size() << ')'; break;
    case OBJ_REGION: {
        CRect b = static_cast<const RegionData*>(obj)->region.Bounds();
        o << "region(" << b.left << ',' << b.top << ',' << b.right << ',' << b.bottom << ')';
        break;
    }
    default: o << "object";
    }
    return o.str();
}
}  // namespace GdiLog

// ---- Construction -----------------------------------------------------------

CDC::CDC() {
    m_hDC = m_hAttribDC = this;
    st_.pen = GdiHandles::Stock(BLACK_PEN);
    st_.brush = GdiHandles::Stock(WHITE_BRUSH);
    st_.font = GdiHandles::Stock(SYSTEM_FONT);
    st_.palette = GdiHandles::Stock(DEFAULT_PALETTE);
}

CDC::~CDC() {
    if (print_ && print_->inDoc) print_->sink->AbortDocument();
}

void CDC::SetDevicePixels(std::unique_ptr<PixelBuffer> px) {
    devicePx_ = std::move(px);
    UpdateTarget();
}

void CDC::UpdateTarget() {
    ClipChanged();
    if (kind_ == Kind::Memory) {
        px_ = st_.bitmap ? &static_cast<BitmapData*>(st_.bitmap.get())->pixels : nullptr;
    } else {
        px_ = devicePx_.get();
    }
}

bool CDC::IsPrinting() const { return kind_ == Kind::Printer; }

BOOL CDC::CreateCompatibleDC(CDC* ref) {
    auto g = Log("CreateCompatibleDC");
    kind_ = Kind::Memory;
    caps_ = ref ? ref->caps_ : DeviceCaps();
    if (ref && ref->kind_ == Kind::Printer) caps_.technology = DT_RASPRINTER;
    caps_.horzRes = caps_.vertRes = 0;
    st_ = State();
    st_.pen = GdiHandles::Stock(BLACK_PEN);
    st_.brush = GdiHandles::Stock(WHITE_BRUSH);
    st_.font = GdiHandles::Stock(SYSTEM_FONT);
    st_.palette = GdiHandles::Stock(DEFAULT_PALETTE);
    st_.bitmap = StockMonoBitmap();
    saved_.clear();
    UpdateTarget();
    return TRUE;
}

BOOL CDC::DeleteDC() {
    auto g = Log("DeleteDC");
    st_ = State();
    saved_.clear();
    devicePx_.reset();
    px_ = nullptr;
    ClipChanged();
    return TRUE;
}

int CDC::GetDeviceCaps(int index) const {
    switch (index) {
    case TECHNOLOGY: return caps_.technology;
    case LOGPIXELSX: return caps_.logPixelsX;
    case LOGPIXELSY: return caps_.logPixelsY;
    case HORZRES: return caps_.horzRes ? caps_.horzRes : (px_ ? px_->Width() : 0);
    case VERTRES: return caps_.vertRes ? caps_.vertRes : (px_ ? px_->Height() : 0);
    case HORZSIZE: return MulDiv(GetDeviceCaps(HORZRES), 254, caps_.logPixelsX * 10);
    case VERTSIZE: return MulDiv(GetDeviceCaps(VERTRES), 254, caps_.logPixelsY * 10);
    case BITSPIXEL: return caps_.bitsPixel;
    case PLANES: return 1;
    case NUMCOLORS: return caps_.bitsPixel <= 8 ? 1 << caps_.bitsPixel : -1;
    case RASTERCAPS: return caps_.rasterCaps;
    case SIZEPALETTE: return (caps_.rasterCaps & RC_PALETTE) ? 1 << caps_.bitsPixel : 0;
    case NUMRESERVED: return (caps_.rasterCaps & RC_PALETTE) ? 20 : 0;
    case COLORRES: return 24;
    case PHYSICALWIDTH: return caps_.physicalWidth;
    case PHYSICALHEIGHT: return caps_.physicalHeight;
    case PHYSICALOFFSETX: return caps_.physicalOffsetX;
    case PHYSICALOFFSETY: return caps_.physicalOffsetY;
    case DRIVERVERSION: return 0x400;
    default: return 0;
    }
}

// ---- State ------------------------------------------------------------------

int CDC::SaveDC() {
    auto g = Log("SaveDC");
    saved_.push_back(st_);
    return int(saved_.size());
}

BOOL CDC::RestoreDC(int saved) {
    auto g = Log("RestoreDC", saved);
    int n = int(saved_.size());
    int target = saved < 0 ? n + saved + 1 : saved;  // the level to restore
    if (target < 1 || target > n) return FALSE;
    st_ = std::move(saved_[size_t(target - 1)]);
    saved_.resize(size_t(target - 1));
    UpdateTarget();
    return TRUE;
}

COLORREF CDC::SetTextColor(COLORREF c) {
    auto g = Log("SetTextColor", c);
    std::swap(st_.textColor, c);
    return c;
}

COLORREF CDC::SetBkColor(COLORREF c) {
    auto g = Log("SetBkColor", c);
    std::swap(st_.bkColor, c);
    return c;
}

int CDC::SetBkMode(int mode) {
    auto g = Log("SetBkMode", mode);
    if (mode != TRANSPARENT && mode != OPAQUE) return 0;
    std::swap(st_.bkMode, mode);
    return mode;
}

int CDC::SetROP2(int rop2) {
    auto g = Log("SetROP2", rop2);
    if (rop2 < R2_BLACK || rop2 > R2_WHITE) return 0;
    std::swap(st_.rop2, rop2);
    return rop2;
}

int CDC::SetStretchBltMode(int mode) {
    auto g = Log("SetStretchBltMode", mode);
    if (mode < BLACKONWHITE || mode > HALFTONE) return 0;
    std::swap(st_.stretchMode, mode);
    return mode;
}

int CDC::SetPolyFillMode(int mode) {
    auto g = Log("SetPolyFillMode", mode);
    if (mode != ALTERNATE && mode != WINDING) return 0;
    std::swap(st_.polyFillMode, mode);
    return mode;
}

UINT CDC::SetTextAlign(UINT align) {
    auto g = Log("SetTextAlign", align);
    std::swap(st_.textAlign, align);
    return align;
}

int CDC::SetTextCharacterExtra(int extra) {
    auto g = Log("SetTextCharacterExtra", extra);
    std::swap(st_.charExtra, extra);
    return extra;
}

int CDC::SetArcDirection(int dir) {
    auto g = Log("SetArcDirection", dir);
    if (dir != AD_COUNTERCLOCKWISE && dir != AD_CLOCKWISE) return 0;
    std::swap(st_.arcDirection, dir);
    return dir;
}

CPoint CDC::SetBrushOrg(int x, int y) {
    auto g = Log("SetBrushOrg", x, y);
    CPoint old = st_.brushOrg;
    st_.brushOrg = CPoint(x, y);
    return old;
}

COLORREF CDC::GetNearestColor(COLORREF c) const {
    if (!px_) return c & 0xFFFFFF;
    return RgbToColorRef(px_->ToRgb(DevValue(c)));
}

uint32_t CDC::DevValueFor(const PixelBuffer& px, COLORREF c) const {
    if ((c >> 24) == 1) {  // PALETTEINDEX
        UINT i = c & 0xFFFF;
        if (px.IsIndexed() && !px.IsMono()) return i & px.ValueMask();
        auto pal = std::static_pointer_cast<PaletteData>(st_.palette);
        if (pal && i < pal->entries.size()) {
            const auto& e = pal->entries[i];
            return px.FromRgb((uint32_t(e.peRed) << 16) | (uint32_t(e.peGreen) << 8) | e.peBlue);
        }
        return px.FromRgb(0);
    }
    return px.FromRgb(ColorRefToRgb(c));
}

uint32_t CDC::DevValue(COLORREF c) const { return px_ ? DevValueFor(*px_, c) : 0; }

// ---- Objects ----------------------------------------------------------------

std::shared_ptr<GdiObject> CDC::SelectAny(const std::shared_ptr<GdiObject>& obj) {
    std::shared_ptr<GdiObject> old;
    if (!obj) return nullptr;
    switch (obj->type) {
    case OBJ_PEN: old = st_.pen, st_.pen = obj; break;
    case OBJ_BRUSH: old = st_.brush, st_.brush = obj; break;
    case OBJ_FONT: old = st_.font, st_.font = obj; break;
    case OBJ_PAL: old = st_.palette, st_.palette = obj; break;
    case OBJ_BITMAP:
        if (kind_ != Kind::Memory) return nullptr;
        if (static_cast<BitmapData*>(obj.get())->pixels.Empty()) return nullptr;
        old = st_.bitmap, st_.bitmap = obj;
        UpdateTarget();
        break;
    default: return nullptr;
    }
    return old;
}

HGDIOBJ CDC::SelectObject(HGDIOBJ h) {
    auto obj = GdiHandles::Get(h);
    auto g = Log("SelectObject", GdiLog::Describe(obj.get()));
    if (!obj) return nullptr;
    if (obj->type == OBJ_REGION) {
        CRgn* r = CRgn::FromHandle(h);
        return reinterpret_cast<HGDIOBJ>(intptr_t(SelectClipRgn(r)));
    }
    auto old = SelectAny(obj);
    return old ? old.get() : nullptr;
}

CPen* CDC::SelectObject(CPen* pen) {
    return pen ? CPen::FromHandle(SelectObject(pen->m_hObject)) : nullptr;
}
CBrush* CDC::SelectObject(CBrush* brush) {
    return brush ? CBrush::FromHandle(SelectObject(brush->m_hObject)) : nullptr;
}
CFont* CDC::SelectObject(CFont* font) {
    return font ? CFont::FromHandle(SelectObject(font->m_hObject)) : nullptr;
}
CBitmap* CDC::SelectObject(CBitmap* bitmap) {
    return bitmap ? CBitmap::FromHandle(SelectObject(bitmap->m_hObject)) : nullptr;
}
int CDC::SelectObject(CRgn* rgn) { return SelectClipRgn(rgn); }
CGdiObject* CDC::SelectObject(CGdiObject* obj) {
    return obj ? CGdiObject::FromHandle(SelectObject(obj->m_hObject)) : nullptr;
}

CGdiObject* CDC::SelectStockObject(int id) {
    HGDIOBJ h = GetStockObject(id);
    return h ? CGdiObject::FromHandle(SelectObject(h)) : nullptr;
}

CPen* CDC::GetCurrentPen() const { return CPen::FromHandle(st_.pen.get()); }
CBrush* CDC::GetCurrentBrush() const { return CBrush::FromHandle(st_.brush.get()); }
CFont* CDC::GetCurrentFont() const { return CFont::FromHandle(st_.font.get()); }
CBitmap* CDC::GetCurrentBitmap() const { return st_.bitmap ? CBitmap::FromHandle(st_.bitmap.get()) : nullptr; }
CPalette* CDC::GetCurrentPalette() const { return CPalette::FromHandle(st_.palette.get()); }

HPALETTE CDC::SelectPalette(HPALETTE pal, BOOL) {
    auto obj = GdiHandles::GetAs<PaletteData>(pal, OBJ_PAL);
    auto g = Log("SelectPalette", GdiLog::Describe(obj.get()));
    if (!obj) return nullptr;
    auto old = SelectAny(obj);
    return old ? old.get() : nullptr;
}

CPalette* CDC::SelectPalette(CPalette* pal, BOOL forceBackground) {
    return pal ? CPalette::FromHandle(SelectPalette(pal->m_hObject, forceBackground)) : nullptr;
}

UINT CDC::RealizePalette() {
    auto g = Log("RealizePalette");
    // True-colour surfaces have nothing to realise; an indexed memory
    // surface takes the selected palette as its colour table.
    auto pal = std::static_pointer_cast<PaletteData>(st_.palette);
    if (!px_ || !px_->IsIndexed() || px_->IsMono() || !pal || kind_ != Kind::Memory || pal->stock) return 0;
    size_t n = std::min(pal->entries.size(), size_t(1) << px_->Bpp());
    px_->palette.resize(n);
    for (size_t i = 0; i < n; ++i) {
        const auto& e = pal->entries[i];
        px_->palette[i] = {e.peBlue, e.peGreen, e.peRed, 0};
    }
    return UINT(n);
}

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

namespace {
int RoundClamp(double v) {
    if (v > 1e9) return 1000000000;
    if (v < -1e9) return -1000000000;
    return int(std::lround(v));
}
}  // namespace

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

// ---- Memory DCs and flat functions -----------------------------------------

std::unique_ptr<CDC> CreateMemoryDC(int width, int height, int bpp, int dpi) {
    auto dc = std::make_unique<CDC>();
    DeviceCaps caps;
    caps.logPixelsX = caps.logPixelsY = dpi;
    dc->SetDeviceCaps(caps);
    dc->CreateCompatibleDC(nullptr);
    dc->SetDeviceCaps(caps);
    CBitmap bm;
    if (!bm.CreateBitmap(width, height, 1, UINT(bpp), nullptr)) return nullptr;
    dc->SelectObject(&bm);
    dc->PatBlt(0, 0, width, height, WHITENESS);
    return dc;  // the DC keeps the bitmap alive
}

HDC CreateCompatibleDC(HDC ref) {
    auto* dc = new CDC;
    dc->CreateCompatibleDC(ref);
    return dc;
}
BOOL DeleteDC(HDC dc) {
    delete dc;
    return dc ? TRUE : FALSE;
}
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
    CBitmap bm;
    return bm.CreateCompatibleBitmap(dc, width, height) ? bm.Detach() : nullptr;
}
HGDIOBJ SelectObject(HDC dc, HGDIOBJ h) { return dc ? dc->SelectObject(h) : nullptr; }
BOOL PatBlt(HDC dc, int x, int y, int w, int h, DWORD rop) { return dc ? dc->PatBlt(x, y, w, h, rop) : FALSE; }
BOOL BitBlt(HDC dc, int x, int y, int w, int h, HDC src, int xSrc, int ySrc, DWORD rop) {
    return dc ? dc->BitBlt(x, y, w, h, src, xSrc, ySrc, rop) : FALSE;
}
BOOL StretchBlt(HDC dc, int x, int y, int w, int h, HDC src, int xSrc, int ySrc, int wSrc, int hSrc, DWORD rop) {
    return dc ? dc->StretchBlt(x, y, w, h, src, xSrc, ySrc, wSrc, hSrc, rop) : FALSE;
}
int FillRect(HDC dc, const RECT* rc, HBRUSH brush) {
    if (!dc || !rc || !GdiHandles::GetAs<BrushData>(brush, OBJ_BRUSH)) return 0;
    dc->FillRect(rc, brush);
    return 1;
}
COLORREF SetBkColor(HDC dc, COLORREF c) { return dc ? dc->SetBkColor(c) : CLR_INVALID; }
int SetROP2(HDC dc, int rop2) { return dc ? dc->SetROP2(rop2) : 0; }
int SetMapMode(HDC dc, int mode) { return dc ? dc->SetMapMode(mode) : 0; }
BOOL GetTextMetrics(HDC dc, TEXTMETRIC* tm) { return dc ? dc->GetTextMetrics(tm) : FALSE; }
HPALETTE SelectPalette(HDC dc, HPALETTE pal, BOOL forceBackground) {
    return dc ? dc->SelectPalette(pal, forceBackground) : nullptr;
}
UINT RealizePalette(HDC dc) { return dc ? dc->RealizePalette() : 0; }
int SelectClipRgn(HDC dc, HRGN rgn) {
    if (!dc) return ERROR;
    return dc->SelectClipRgn(rgn ? CRgn::FromHandle(rgn) : nullptr);
}
int GetDeviceCaps(HDC dc, int index) { return dc ? dc->GetDeviceCaps(index) : 0; }
int SaveDC(HDC dc) { return dc ? dc->SaveDC() : 0; }
BOOL RestoreDC(HDC dc, int saved) { return dc ? dc->RestoreDC(saved) : FALSE; }
COLORREF SetTextColor(HDC dc, COLORREF c) { return dc ? dc->SetTextColor(c) : CLR_INVALID; }
int SetBkMode(HDC dc, int mode) { return dc ? dc->SetBkMode(mode) : 0; }
UINT SetTextAlign(HDC dc, UINT align) { return dc ? dc->SetTextAlign(align) : GDI_ERROR; }
int SetStretchBltMode(HDC dc, int mode) { return dc ? dc->SetStretchBltMode(mode) : 0; }
