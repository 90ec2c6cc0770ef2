// CDC: construction, state, selected objects, memory DCs and the flat functions.
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
