#include "platform/gdi/GdiObjects.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <mutex>
#include <unordered_map>

#include "platform/gdi/DC.h"
#include "platform/gdi/Dib.h"
#include "platform/gdi/GdiObjectData.h"

GdiObject::~GdiObject() = default;

// ---- Handle table ----------------------------------------------------------

namespace {
std::mutex& TableMutex() {
    static std::mutex m;  // guards Table()
    return m;
}
std::unordered_map<HGDIOBJ, std::shared_ptr<GdiObject>>& Table() {
    static auto* t = new std::unordered_map<HGDIOBJ, std::shared_ptr<GdiObject>>();
    return *t;
}

std::shared_ptr<GdiObject> MakeStock(int id) {
    auto pen = [](int style, COLORREF c) {
        auto p = std::make_shared<PenData>();
        p->pen.lopnStyle = UINT(style), p->pen.lopnColor = c;
        return std::shared_ptr<GdiObject>(p);
    };
    auto brush = [](UINT style, COLORREF c) {
        auto b = std::make_shared<BrushData>();
        b->brush.lbStyle = style, b->brush.lbColor = c;
        return std::shared_ptr<GdiObject>(b);
    };
    auto font = [](int height, bool fixed) {
        auto f = std::make_shared<FontData>();
        f->font.lfHeight = height;
        f->font.lfWeight = FW_NORMAL;
        f->font.lfPitchAndFamily = fixed ? 1 : 0;
        std::strcpy(f->font.lfFaceName, fixed ? "Monospace" : "Sans");
        return std::shared_ptr<GdiObject>(f);
    };
    switch (id) {
    case WHITE_BRUSH: return brush(BS_SOLID, RGB(255, 255, 255));
    case LTGRAY_BRUSH: return brush(BS_SOLID, RGB(192, 192, 192));
    case GRAY_BRUSH: return brush(BS_SOLID, RGB(128, 128, 128));
    case DKGRAY_BRUSH: return brush(BS_SOLID, RGB(64, 64, 64));
    case BLACK_BRUSH: return brush(BS_SOLID, 0);
    case NULL_BRUSH: return brush(BS_NULL, 0);
    case WHITE_PEN: return pen(PS_SOLID, RGB(255, 255, 255));
    case BLACK_PEN: return pen(PS_SOLID, 0);
    case NULL_PEN: return pen(PS_NULL, 0);
    case OEM_FIXED_FONT:
    case ANSI_FIXED_FONT:
    case SYSTEM_FIXED_FONT: return font(16, true);
    case ANSI_VAR_FONT:
    case SYSTEM_FONT:
    case DEVICE_DEFAULT_FONT: return font(16, false);
    case DEFAULT_GUI_FONT: return font(-11, false);
    case DEFAULT_PALETTE: {
        auto p = std::make_shared<PaletteData>();
        for (auto& q : DefaultColorTable(4)) p->entries.push_back({q.rgbRed, q.rgbGreen, q.rgbBlue, 0});
        return p;
    }
    default: return nullptr;
    }
}

// The 1x1 mono bitmap a fresh memory DC holds (not reachable as a stock id).
constexpr int kStockBitmap = 100;

template <class T>
std::shared_ptr<T> Data(const CGdiObject* o, DWORD type) {
    return o ? GdiHandles::GetAs<T>(o->m_hObject, type) : nullptr;
}
}  // namespace

namespace GdiHandles {
HGDIOBJ Add(std::shared_ptr<GdiObject> obj) {
    if (!obj) return nullptr;
    HGDIOBJ h = obj.get();
    std::lock_guard<std::mutex> lock(TableMutex());
    Table()[h] = std::move(obj);
    return h;
}

std::shared_ptr<GdiObject> Get(HGDIOBJ h) {
    if (!h) return nullptr;
    std::lock_guard<std::mutex> lock(TableMutex());
    auto it = Table().find(h);
    return it == Table().end() ? nullptr : it->second;
}

bool Remove(HGDIOBJ h) {
    std::shared_ptr<GdiObject> dying;
    {
        std::lock_guard<std::mutex> lock(TableMutex());
        auto it = Table().find(h);
        if (it == Table().end() || it->second->stock) return false;
        dying = std::move(it->second);
        Table().erase(it);
    }
    dying->owner = nullptr;  // the handle is gone for its CGdiObject too
    return true;  // freed here unless a DC still holds it
}

std::shared_ptr<GdiObject> Stock(int id) {
    static std::mutex m;  // guards stock
    static std::unordered_map<int, std::shared_ptr<GdiObject>> stock;
    std::lock_guard<std::mutex> lock(m);
    auto it = stock.find(id);
    if (it != stock.end()) return it->second;
    std::shared_ptr<GdiObject> o;
    if (id == kStockBitmap) {
        auto b = std::make_shared<BitmapData>();
        b->pixels.Create(1, 1, 1);
        o = b;
    } else {
        o = MakeStock(id);
    }
    if (!o) return nullptr;
    o->stock = true;
    Add(o);
    stock[id] = o;
    return o;
}
}  // namespace GdiHandles

std::shared_ptr<GdiObject> StockMonoBitmap() { return GdiHandles::Stock(kStockBitmap); }

// ---- CGdiObject -------------------------------------------------------------

CGdiObject::~CGdiObject() {
    if (owns_) DeleteObject();
}

BOOL CGdiObject::Attach(HGDIOBJ h) {
    if (m_hObject || !h) return FALSE;
    m_hObject = h;
    if (owns_)
        if (auto o = GdiHandles::Get(h); o && !o->owner) o->owner = this;
    return TRUE;
}

HGDIOBJ CGdiObject::Detach() {
    HGDIOBJ h = m_hObject;
    m_hObject = nullptr;
    if (auto o = GdiHandles::Get(h); o && o->owner == this) o->owner = nullptr;
    return h;
}

BOOL CGdiObject::DeleteObject() {
    if (!m_hObject) return FALSE;
    HGDIOBJ h = Detach();
    return GdiHandles::Remove(h) ? TRUE : FALSE;
}

BOOL CGdiObject::CreateStockObject(int id) {
    auto o = GdiHandles::Stock(id);
    return o ? Attach(o.get()) : FALSE;
}

int CGdiObject::GetObject(int size, void* buf) const { return ::GetObject(m_hObject, size, buf); }

UINT CGdiObject::GetObjectType() const { return ::GetObjectType(m_hObject); }

CGdiObject* CGdiObject::FromHandle(HGDIOBJ h) {
    auto o = GdiHandles::Get(h);
    if (!o) return nullptr;
    static std::mutex m;  // guards the objects' wrappers, made here once each
    std::lock_guard<std::mutex> lock(m);
    if (o->owner) return o->owner;
    if (!o->wrapper) {
        CGdiObject* w = nullptr;
        switch (o->type) {
        case OBJ_PEN: w = new CPen; break;
        case OBJ_BRUSH: w = new CBrush; break;
        case OBJ_FONT: w = new CFont; break;
        case OBJ_BITMAP: w = new CBitmap; break;
        case OBJ_PAL: w = new CPalette; break;
        case OBJ_REGION: w = new CRgn; break;
        default: w = new CGdiObject; break;
        }
        w->owns_ = false;
        w->m_hObject = h;
        o->wrapper.reset(w);
    }
    return o->wrapper.get();
}

// ---- Pens, brushes, fonts ---------------------------------------------------

BOOL CPen::CreatePen(int style, int width, COLORREF color) { return Attach(::CreatePen(style, width, color)); }
BOOL CPen::CreatePenIndirect(const LOGPEN* pen) { return pen ? Attach(::CreatePenIndirect(pen)) : FALSE; }

BOOL CBrush::CreateSolidBrush(COLORREF color) { return Attach(::CreateSolidBrush(color)); }
BOOL CBrush::CreateHatchBrush(int index, COLORREF color) { return Attach(::CreateHatchBrush(index, color)); }
BOOL CBrush::CreateBrushIndirect(const LOGBRUSH* brush) { return brush ? Attach(::CreateBrushIndirect(brush)) : FALSE; }
BOOL CBrush::CreatePatternBrush(const CBitmap* bitmap) {
    return bitmap ? Attach(::CreatePatternBrush(bitmap->m_hObject)) : FALSE;
}

BOOL CBrush::CreateDIBPatternBrush(const void* packedDib, UINT usage, size_t size) {
    if (!packedDib) return FALSE;
    if (size == SIZE_MAX) {
        // The caller vouches for the block: header, table and image.
        size_t info = DibView::InfoSize(packedDib, usage);
        if (!info) return FALSE;
        DibView probe;
        if (!probe.Parse(packedDib, info, nullptr, 0, usage) && probe.ImageBytes() == 0) return FALSE;
        size = info + probe.ImageBytes();
    }
    DibView dib;
    if (!dib.ParsePacked(packedDib, size, usage)) return FALSE;
    auto px = std::make_shared<PixelBuffer>();
    int bpp = dib.Indexed() ? dib.BitCount() : 32;
    if (!px->Create(dib.Width(), dib.Height(), bpp)) return FALSE;
    if (dib.Indexed()) {
        px->palette.clear();
        for (uint32_t c : dib.Colors()) px->palette.push_back({BYTE(c), BYTE(c >> 8), BYTE(c >> 16), 0});
    }
    for (int y = 0; y < dib.Height(); ++y)
        for (int x = 0; x < dib.Width(); ++x) px->Set(x, y, dib.Indexed() ? dib.Index(x, y) : dib.Rgb(x, y));
    auto b = std::make_shared<BrushData>();
    b->brush.lbStyle = BS_DIBPATTERN;
    b->pattern = px;
    b->monoUsesTable = true;
    return Attach(GdiHandles::Add(b));
}

BOOL CFont::CreateFontIndirect(const LOGFONT* lf) { return lf ? Attach(::CreateFontIndirect(lf)) : FALSE; }

BOOL CFont::CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic,
                       BYTE underline, BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision,
                       BYTE quality, BYTE pitchAndFamily, const char* faceName) {
    return Attach(::CreateFontA(height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet,
                                outPrecision, clipPrecision, quality, pitchAndFamily, faceName));
}

BOOL CFont::CreatePointFont(int pointSize, const char* faceName, CDC* dc) {
    LOGFONT lf;
    int dpi = dc ? dc->GetDeviceCaps(LOGPIXELSY) : 96;
    lf.lfHeight = -MulDiv(pointSize, dpi, 720);
    lf.lfWeight = FW_NORMAL;
    if (faceName) std::strncpy(lf.lfFaceName, faceName, LF_FACESIZE - 1);
    return CreateFontIndirect(&lf);
}

// ---- Bitmaps ----------------------------------------------------------------

namespace {
int DdbWidthBytes(int width, int bpp) { return ((width * bpp + 15) / 16) * 2; }
}  // namespace

BOOL CBitmap::CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
    return Attach(::CreateBitmap(width, height, planes, bitsPerPixel, bits));
}

BOOL CBitmap::CreateBitmapIndirect(const BITMAP* bm) {
    if (!bm || bm->bmPlanes != 1) return FALSE;
    int bpp = bm->bmBitsPixel;
    if (!bm->bmBits || bm->bmWidth <= 0 || bm->bmWidthBytes == DdbWidthBytes(bm->bmWidth, bpp))
        return CreateBitmap(bm->bmWidth, bm->bmHeight, 1, UINT(bpp), bm->bmBits);
    // Rows of the given width in bytes, which must hold a row's pixels.
    if (int64_t(bm->bmWidthBytes) * 8 < int64_t(bm->bmWidth) * bpp) return FALSE;
    if (!CreateBitmap(bm->bmWidth, bm->bmHeight, 1, UINT(bpp), nullptr)) return FALSE;
    PixelBuffer* p = Pixels();
    int rowBytes = (bm->bmWidth * bpp + 7) / 8;
    const auto* in = static_cast<const uint8_t*>(bm->bmBits);
    for (int y = 0; y < p->Height(); ++y) {
        std::memcpy(p->Row(y), in + int64_t(y) * bm->bmWidthBytes, size_t(rowBytes));
        if (bpp == 32)
            for (int x = 0; x < p->Width(); ++x) p->Set(x, y, p->Get(x, y));
    }
    return TRUE;
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* dc, int width, int height) {
    int bpp = 32;
    if (dc && dc->IsMemoryDC() && dc->Surface()) bpp = dc->Surface()->Bpp();
    else if (dc) bpp = dc->GetDeviceCaps(BITSPIXEL) == 1 ? 1 : 32;
    if (width == 0 || height == 0) width = height = 1, bpp = 1;
    auto b = std::make_shared<BitmapData>();
    if (!b->pixels.Create(width, height, bpp)) return FALSE;
    if (dc && dc->Surface() && bpp <= 8 && bpp > 1) b->pixels.palette = dc->Surface()->palette;
    return Attach(GdiHandles::Add(b));
}

BOOL CBitmap::CreateFromPackedDib(const void* packedDib, size_t size) {
    DibView dib;
    if (!dib.ParsePacked(packedDib, size)) return FALSE;
    auto b = std::make_shared<BitmapData>();
    int bpp = dib.Indexed() ? dib.BitCount() : (dib.BitCount() == 24 ? 24 : 32);
    if (!b->pixels.Create(dib.Width(), dib.Height(), bpp)) return FALSE;
    if (dib.Indexed()) {
        b->pixels.palette.clear();
        for (uint32_t c : dib.Colors()) b->pixels.palette.push_back({BYTE(c), BYTE(c >> 8), BYTE(c >> 16), 0});
        b->pixels.palette.resize(size_t(1) << bpp, RGBQUAD{0, 0, 0, 0});
    }
    for (int y = 0; y < dib.Height(); ++y)
        for (int x = 0; x < dib.Width(); ++x)
            b->pixels.Set(x, y, dib.Indexed() ? dib.Index(x, y) : dib.Rgb(x, y));
    return Attach(GdiHandles::Add(b));
}

PixelBuffer* CBitmap::Pixels() const {
    auto b = Data<BitmapData>(this, OBJ_BITMAP);
    return b ? &b->pixels : nullptr;
}

CSize CBitmap::GetBitmapDimension() const {
    PixelBuffer* p = Pixels();
    return p ? CSize(p->Width(), p->Height()) : CSize();
}

DWORD CBitmap::GetBitmapBits(DWORD count, void* bits) const {
    PixelBuffer* p = Pixels();
    if (!p || !bits) return 0;
    int wb = DdbWidthBytes(p->Width(), p->Bpp()), rowBytes = (p->Width() * p->Bpp() + 7) / 8;
    DWORD done = 0;
    auto* out = static_cast<uint8_t*>(bits);
    for (int y = 0; y < p->Height() && done + DWORD(wb) <= count; ++y) {
        std::memcpy(out + done, p->Row(y), size_t(rowBytes));
        std::memset(out + done + rowBytes, 0, size_t(wb - rowBytes));
        done += DWORD(wb);
    }
    return done;
}

DWORD CBitmap::SetBitmapBits(DWORD count, const void* bits) {
    PixelBuffer* p = Pixels();
    if (!p || !bits) return 0;
    int wb = DdbWidthBytes(p->Width(), p->Bpp()), rowBytes = (p->Width() * p->Bpp() + 7) / 8;
    DWORD done = 0;
    auto* in = static_cast<const uint8_t*>(bits);
    for (int y = 0; y < p->Height() && done + DWORD(wb) <= count; ++y) {
        std::memcpy(p->Row(y), in + done, size_t(rowBytes));
        if (p->Bpp() == 32)
            for (int x = 0; x < p->Width(); ++x) p->Set(x, y, p->Get(x, y));
        done += DWORD(wb);
    }
    return done;
}

// ---- Palettes ---------------------------------------------------------------

BOOL CPalette::CreatePalette(const LOGPALETTE* lp) { return lp ? Attach(::CreatePalette(lp)) : FALSE; }

UINT CPalette::GetEntryCount() const {
    auto p = Data<PaletteData>(this, OBJ_PAL);
    return p ? UINT(p->entries.size()) : 0;
}

UINT CPalette::GetPaletteEntries(UINT start, UINT count, PALETTEENTRY* out) const {
    return ::GetPaletteEntries(m_hObject, start, count, out);
}

UINT CPalette::SetPaletteEntries(UINT start, UINT count, const PALETTEENTRY* in) {
    auto p = Data<PaletteData>(this, OBJ_PAL);
    if (!p || !in || start >= p->entries.size()) return 0;
    UINT n = std::min<UINT>(count, UINT(p->entries.size()) - start);
    std::copy(in, in + n, p->entries.begin() + start);
    return n;
}

BOOL CPalette::ResizePalette(UINT count) {
    auto p = Data<PaletteData>(this, OBJ_PAL);
    if (!p || count == 0 || count > 4096) return FALSE;
    p->entries.resize(count);
    return TRUE;
}

UINT CPalette::GetNearestPaletteIndex(COLORREF c) const {
    auto p = Data<PaletteData>(this, OBJ_PAL);
    if (!p || p->entries.empty()) return CLR_INVALID;
    UINT best = 0;
    int bestD = std::numeric_limits<int>::max();
    for (UINT i = 0; i < p->entries.size(); ++i) {
        const auto& e = p->entries[i];
        int dr = e.peRed - GetRValue(c), dg = e.peGreen - GetGValue(c), db = e.peBlue - GetBValue(c);
        int d = dr * dr + dg * dg + db * db;
        if (d < bestD) bestD = d, best = i;
    }
    return best;
}

// ---- Regions ----------------------------------------------------------------

namespace {
BOOL AttachRegion(CRgn* r, Region region) {
    auto d = std::make_shared<RegionData>();
    d->region = std::move(region);
    return r->Attach(GdiHandles::Add(d));
}

PointList ToPolyline(const POINT* pts, int n) {
    PointList p;
    for (int i = 0; i < n; ++i) p.push_back({double(pts[i].x), double(pts[i].y)});
    return p;
}
}  // namespace

BOOL CRgn::CreateRectRgn(int l, int t, int r, int b) {
    CRect rc(l, t, r, b);
    rc.NormalizeRect();
    return AttachRegion(this, Region(rc));
}

BOOL CRgn::CreateEllipticRgn(int l, int t, int r, int b) {
    CRect rc(l, t, r, b);
    rc.NormalizeRect();
    return AttachRegion(this, Raster::FillPolygons({Raster::Ellipse(rc.left, rc.top, rc.right, rc.bottom)}, ALTERNATE));
}

BOOL CRgn::CreateRoundRectRgn(int l, int t, int r, int b, int w, int h) {
    CRect rc(l, t, r, b);
    rc.NormalizeRect();
    return AttachRegion(this,
                        Raster::FillPolygons({Raster::RoundRect(rc.left, rc.top, rc.right, rc.bottom, w, h)}, ALTERNATE));
}

BOOL CRgn::CreatePolygonRgn(const POINT* pts, int count, int fillMode) {
    if (!pts || count < 2) return FALSE;
    return AttachRegion(this, Raster::FillPolygons({ToPolyline(pts, count)}, fillMode));
}

BOOL CRgn::CreatePolyPolygonRgn(const POINT* pts, const int* counts, int polys, int fillMode) {
    if (!pts || !counts || polys <= 0) return FALSE;
    std::vector<PointList> list;
    for (int i = 0; i < polys; ++i) {
        if (counts[i] < 0) return FALSE;
        list.push_back(ToPolyline(pts, counts[i]));
        pts += counts[i];
    }
    return AttachRegion(this, Raster::FillPolygons(list, fillMode));
}

Region* CRgn::GetRegion() const {
    auto d = Data<RegionData>(this, OBJ_REGION);
    return d ? &d->region : nullptr;
}

int CRgn::CombineRgn(const CRgn* a, const CRgn* b, int mode) {
    Region* dst = GetRegion();
    Region* ra = a ? a->GetRegion() : nullptr;
    Region* rb = b ? b->GetRegion() : nullptr;
    if (!dst || !ra || (mode != RGN_COPY && !rb) || mode < RGN_AND || mode > RGN_COPY) return ERROR;
    *dst = Region::Combine(*ra, rb ? *rb : Region(), mode);
    return dst->Kind();
}

void CRgn::SetRectRgn(int l, int t, int r, int b) {
    if (Region* d = GetRegion()) {
        CRect rc(l, t, r, b);
        rc.NormalizeRect();
        d->SetRect(rc);
    }
}

int CRgn::OffsetRgn(int dx, int dy) {
    Region* d = GetRegion();
    if (!d) return ERROR;
    d->Offset(dx, dy);
    return d->Kind();
}

int CRgn::GetRgnBox(LPRECT rc) const {
    Region* d = GetRegion();
    if (!d || !rc) return ERROR;
    *rc = d->Bounds();
    return d->Kind();
}

BOOL CRgn::PtInRegion(int x, int y) const {
    Region* d = GetRegion();
    return d && d->Contains(x, y);
}

BOOL CRgn::RectInRegion(LPCRECT rc) const {
    Region* d = GetRegion();
    return d && rc && !d->Intersect(*rc).IsEmpty();
}

BOOL CRgn::EqualRgn(const CRgn* other) const {
    Region* a = GetRegion();
    Region* b = other ? other->GetRegion() : nullptr;
    return a && b && *a == *b;
}

// ---- Flat functions ---------------------------------------------------------

HGDIOBJ GetStockObject(int id) {
    auto o = GdiHandles::Stock(id);
    return o ? o.get() : nullptr;
}

BOOL DeleteObject(HGDIOBJ h) { return GdiHandles::Remove(h) ? TRUE : FALSE; }

DWORD GetObjectType(HGDIOBJ h) {
    auto o = GdiHandles::Get(h);
    return o ? o->type : 0;
}

int GetObject(HGDIOBJ h, int size, void* buf) {
    auto o = GdiHandles::Get(h);
    if (!o) return 0;
    auto copy = [&](const void* src, int n) {
        if (!buf) return n;
        if (size < n) return 0;
        std::memcpy(buf, src, size_t(n));
        return n;
    };
    switch (o->type) {
    case OBJ_PEN: return copy(&static_cast<PenData*>(o.get())->pen, sizeof(LOGPEN));
    case OBJ_BRUSH: return copy(&static_cast<BrushData*>(o.get())->brush, sizeof(LOGBRUSH));
    case OBJ_FONT: return copy(&static_cast<FontData*>(o.get())->font, sizeof(LOGFONT));
    case OBJ_PAL: {
        WORD n = WORD(static_cast<PaletteData*>(o.get())->entries.size());
        return copy(&n, sizeof(WORD));
    }
    case OBJ_BITMAP: {
        const PixelBuffer& p = static_cast<BitmapData*>(o.get())->pixels;
        BITMAP bm;
        bm.bmWidth = p.Width(), bm.bmHeight = p.Height();
        bm.bmWidthBytes = DdbWidthBytes(p.Width(), p.Bpp());
        bm.bmPlanes = 1, bm.bmBitsPixel = WORD(p.Bpp());
        return copy(&bm, sizeof(BITMAP));
    }
    default: return 0;
    }
}

HBRUSH CreateSolidBrush(COLORREF color) {
    LOGBRUSH lb{BS_SOLID, color, 0};
    return CreateBrushIndirect(&lb);
}

HBRUSH CreateHatchBrush(int index, COLORREF color) {
    LOGBRUSH lb{BS_HATCHED, color, uintptr_t(index)};
    return CreateBrushIndirect(&lb);
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* brush) {
    if (!brush) return nullptr;
    if (brush->lbStyle == BS_PATTERN) return CreatePatternBrush(reinterpret_cast<HBITMAP>(brush->lbHatch));
    if (brush->lbStyle != BS_SOLID && brush->lbStyle != BS_NULL && brush->lbStyle != BS_HATCHED) return nullptr;
    if (brush->lbStyle == BS_HATCHED && brush->lbHatch > uintptr_t(HS_DIAGCROSS)) return nullptr;
    auto b = std::make_shared<BrushData>();
    b->brush = *brush;
    return GdiHandles::Add(b);
}

HBRUSH CreatePatternBrush(HBITMAP bitmap) {
    auto bm = GdiHandles::GetAs<BitmapData>(bitmap, OBJ_BITMAP);
    if (!bm || bm->pixels.Empty()) return nullptr;
    auto b = std::make_shared<BrushData>();
    b->brush.lbStyle = BS_PATTERN;
    b->brush.lbHatch = reinterpret_cast<uintptr_t>(bitmap);
    b->pattern = std::make_shared<PixelBuffer>();
    const PixelBuffer& src = bm->pixels;
    if (!b->pattern->Create(src.Width(), src.Height(), src.Bpp())) return nullptr;
    b->pattern->palette = src.palette;
    for (int y = 0; y < src.Height(); ++y)
        std::memcpy(b->pattern->Row(y), src.Row(y), size_t(std::min(src.Stride(), b->pattern->Stride())));
    return GdiHandles::Add(b);
}

HPEN CreatePen(int style, int width, COLORREF color) {
    LOGPEN lp;
    lp.lopnStyle = UINT(style), lp.lopnWidth.x = width, lp.lopnColor = color;
    return CreatePenIndirect(&lp);
}

HPEN CreatePenIndirect(const LOGPEN* pen) {
    if (!pen || (pen->lopnStyle & PS_STYLE_MASK) > PS_INSIDEFRAME) return nullptr;
    auto p = std::make_shared<PenData>();
    p->pen = *pen;
    if (p->pen.lopnWidth.x < 0) p->pen.lopnWidth.x = 0;
    return GdiHandles::Add(p);
}

HFONT CreateFontIndirect(const LOGFONT* lf) {
    if (!lf) return nullptr;
    auto f = std::make_shared<FontData>();
    f->font = *lf;
    f->font.lfFaceName[LF_FACESIZE - 1] = 0;
    return GdiHandles::Add(f);
}

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, const char* faceName) {
    LOGFONT lf;
    lf.lfHeight = height, lf.lfWidth = width, lf.lfEscapement = escapement, lf.lfOrientation = orientation;
    lf.lfWeight = weight, lf.lfItalic = BYTE(italic), lf.lfUnderline = BYTE(underline);
    lf.lfStrikeOut = BYTE(strikeOut), lf.lfCharSet = BYTE(charSet), lf.lfOutPrecision = BYTE(outPrecision);
    lf.lfClipPrecision = BYTE(clipPrecision), lf.lfQuality = BYTE(quality);
    lf.lfPitchAndFamily = BYTE(pitchAndFamily);
    if (faceName) std::strncpy(lf.lfFaceName, faceName, LF_FACESIZE - 1);
    return CreateFontIndirect(&lf);
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
    int bpp = int(planes * bitsPerPixel);
    auto b = std::make_shared<BitmapData>();
    if (!b->pixels.Create(width, height, bpp)) return nullptr;
    if (bits) {
        int wb = DdbWidthBytes(width, bpp), rowBytes = (width * bpp + 7) / 8;
        auto* in = static_cast<const uint8_t*>(bits);
        for (int y = 0; y < height; ++y) {
            std::memcpy(b->pixels.Row(y), in + int64_t(y) * wb, size_t(rowBytes));
            if (bpp == 32)
                for (int x = 0; x < width; ++x) b->pixels.Set(x, y, b->pixels.Get(x, y));
        }
    }
    return GdiHandles::Add(b);
}

HPALETTE CreatePalette(const LOGPALETTE* lp) {
    if (!lp || lp->palNumEntries == 0 || lp->palNumEntries > 4096) return nullptr;
    auto p = std::make_shared<PaletteData>();
    p->entries.assign(lp->palPalEntry, lp->palPalEntry + lp->palNumEntries);
    return GdiHandles::Add(p);
}

HRGN CreateRectRgn(int l, int t, int r, int b) {
    CRgn rgn;
    if (!rgn.CreateRectRgn(l, t, r, b)) return nullptr;
    return rgn.Detach();
}

int CombineRgn(HRGN dst, HRGN a, HRGN b, int mode) {
    auto d = GdiHandles::GetAs<RegionData>(dst, OBJ_REGION);
    auto ra = GdiHandles::GetAs<RegionData>(a, OBJ_REGION);
    auto rb = GdiHandles::GetAs<RegionData>(b, OBJ_REGION);
    if (!d || !ra || (mode != RGN_COPY && !rb) || mode < RGN_AND || mode > RGN_COPY) return ERROR;
    d->region = Region::Combine(ra->region, rb ? rb->region : Region(), mode);
    return d->region.Kind();
}

UINT GetPaletteEntries(HPALETTE pal, UINT start, UINT count, PALETTEENTRY* out) {
    auto p = GdiHandles::GetAs<PaletteData>(pal, OBJ_PAL);
    if (!p) return 0;
    if (!out) return UINT(p->entries.size());
    if (start >= p->entries.size()) return 0;
    UINT n = std::min<UINT>(count, UINT(p->entries.size()) - start);
    std::copy(p->entries.begin() + start, p->entries.begin() + start + n, out);
    return n;
}

int AddFontResourceA(const char* path) { return path ? FontEngine::AddFontResource(path) : 0; }
BOOL RemoveFontResourceA(const char* path) { return path ? FontEngine::RemoveFontResource(path) : FALSE; }
