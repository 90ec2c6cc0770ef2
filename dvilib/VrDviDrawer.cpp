#include "dvilib/VrDviDrawer.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <vector>
#include <algorithm>

#include "dvilib/GdiCommandPlayer.h"
#include "dvilib/VrDviFont.h"

// Links

void VrDviDrawer::HyLinkInfo::AddRect(int x, int y, int w, int h) {
    if (rects.IsEmpty()) {
        rects.AddTail(Rect{x, y, w, h});
        return;
    }
    Rect& r = rects.GetTail()->data;
    const long long left = std::min<long long>(r.x, x), top = std::min<long long>(r.y, y);
    const long long right = std::max<long long>(1LL * r.x + r.width, 1LL * x + w);
    const long long bottom = std::max<long long>(1LL * r.y + r.height, 1LL * y + h);
    r = Rect{int(left), int(top), int(std::min<long long>(right - left, INT_MAX)),
             int(std::min<long long>(bottom - top, INT_MAX))};
}

// Construction

VrDviDrawer::VrDviDrawer() { InitAll(); }

VrDviDrawer::VrDviDrawer(CDC& dc, VrDvi& dvi, int page, const fpreal4& zoom, int originX, int originY) {
    InitAll();
    Open(dc, dvi, page, zoom, originX, originY, 0, String8());
}

VrDviDrawer::~VrDviDrawer() {
    if (IsWorking()) Close();
    watermark_.reset();
    mask_.reset();
    gdiPlayer_.reset();
    ClearPictList();
    hyperlinks_.RemoveAll();
}

void VrDviDrawer::InitAll() {
    dc_ = refDC_ = nullptr;
    palette_.reset();
    selectedFont_ = nullptr;
    charDC_.reset();
    charBitmap_.reset();
    fillBrush_.reset();
    pen_.reset();
    fonts_.reset();
    fontCount_ = 0;
    mask_.reset();
    watermark_.reset();
    gdiPlayer_ = std::make_unique<GdiSpecialPlayer>(this);
}

// Units

int VrDviDrawer::Round(double v) {
    if (!(v == v)) return 0;
    if (v >= double(INT_MAX)) return INT_MAX;
    if (v <= double(INT_MIN)) return INT_MIN;
    return int(std::lround(v));
}

int VrDviDrawer::Ceil(double v) {
    if (!(v == v)) return 0;
    v = std::ceil(v);
    if (v >= double(INT_MAX)) return INT_MAX;
    if (v <= double(INT_MIN)) return INT_MIN;
    return int(v);
}

int VrDviDrawer::grw(int v) const {
    if (!dc_ || !dvi_) return 0;
    const double x = double(v) * dc_->GetDeviceCaps(LOGPIXELSX) * zoom_.Raw() * 0.0001 /
                     GetDrawingResolution(*dvi_);
    if (x >= double(INT_MAX)) return INT_MAX;
    if (x <= double(INT_MIN)) return INT_MIN;
    return int(x);
}

// Open and Close

namespace {

struct EnumResult {
    int found = 0;
    LOGFONT lf;
};

int FirstOutlineFace(const LOGFONT* lf, const TEXTMETRIC*, DWORD type, LPARAM data) {
    if (!(type & TRUETYPE_FONTTYPE)) return 1;
    auto* r = reinterpret_cast<EnumResult*>(data);
    r->found = 1;
    r->lf = *lf;
    return 0;
}

void CopyFaceName(LOGFONT& lf, const char* face) {
    std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    lf.lfFaceName[LF_FACESIZE - 1] = 0;
}

} // namespace

int VrDviDrawer::IsFaceInstalled(const char* face, LOGFONT& lf) const {
    if (!dc_ || !face || !*face) return 0;
    EnumResult r;
    dc_->EnumFontFamilies(face, FirstOutlineFace, reinterpret_cast<LPARAM>(&r));
    if (!r.found) return 0;
    lf = r.lf;
    return 1;
}

int VrDviDrawer::Open(CDC& dc, VrDvi& dvi, int page, const fpreal4& zoom, int originX, int originY,
                      unsigned long linkColour, const String8& tag) {
    if (!VrDviDrawerBase::Open(dvi, page)) return 0;
    dvi_ = &dvi;
    dc_ = refDC_ = &dc;
    zoom_ = zoom;

    // The reader keeps the resolution and zoom of the first two devices
    // (values only: the device may go before the reader).
    for (int i = 0; i < VrDvi::kDeviceSlots; ++i) {
        if (dvi.GetDeviceSlot(i).used) continue;
        VrDvi::DeviceSlot slot;
        slot.used = 1;
        slot.dpiX = dc.GetDeviceCaps(LOGPIXELSX);
        slot.dpiY = dc.GetDeviceCaps(LOGPIXELSY);
        slot.zoom = zoom;
        dvi.SetDeviceSlot(i, slot);
        break;
    }

    dc.SaveDC();
    dc.SetMapMode(MM_TEXT);
    dc.SetTextAlign(TA_BASELINE);
    dc.SetBkMode(TRANSPARENT);

    if (dc.GetDeviceCaps(RASTERCAPS) & RC_PALETTE) {
        PALETTEENTRY entries[256];
        const UINT n = ::GetPaletteEntries(::GetStockObject(DEFAULT_PALETTE), 0, 256, entries);
        if (n > 0) {
            std::vector<unsigned char> buf(sizeof(LOGPALETTE) + n * sizeof(PALETTEENTRY));
            auto* lp = reinterpret_cast<LOGPALETTE*>(buf.data());
            lp->palVersion = 0x300;
            lp->palNumEntries = WORD(n);
            std::memcpy(lp->palPalEntry, entries, n * sizeof(PALETTEENTRY));
            palette_ = std::make_unique<CPalette>();
            if (palette_->CreatePalette(lp)) dc.SelectPalette(palette_.get(), FALSE);
            else palette_.reset();
        }
    }

    originX_ = originX;
    originY_ = originY;

    const double toInch = 3.9370078740157485e-10;
    const double scale = double(dvi.GetDviNum()) * dvi.GetAbsMag().Raw() * toInch / double(dvi.GetDviDen());
    hDotsPerInch_ = double(dc.GetDeviceCaps(LOGPIXELSX)) * zoom.Raw() * 0.0001;
    vDotsPerInch_ = double(dc.GetDeviceCaps(LOGPIXELSY)) * zoom.Raw() * 0.0001;
    hFactor_ = scale * hDotsPerInch_;
    vFactor_ = scale * vDotsPerInch_;
    hInverse_ = hFactor_ != 0.0 ? 1.0 / hFactor_ : 0.0;
    vInverse_ = vFactor_ != 0.0 ? 1.0 / vFactor_ : 0.0;

    selectedFont_ = nullptr;
    lineWidth_ = kDefaultLineWidth;

    colorStackSize_ = std::min(dvi.GetPageColorStackSize(page), int(VrDvi::kColorStackSize));
    if (const COLORREF* stack = dvi.GetPageColorStack(page); stack && colorStackSize_ > 0) {
        std::memcpy(colorStack_, stack, size_t(colorStackSize_) * sizeof(COLORREF));
    } else {
        colorStackSize_ = 1;
        colorStack_[0] = RGB(0, 0, 0);
    }
    currentColour_ = colorStack_[colorStackSize_ - 1];
    dc.SetTextColor(currentColour_);

    // The background covers the whole target, whatever its size.
    {
        RECT all{0, 0, dc.GetDeviceCaps(HORZRES), dc.GetDeviceCaps(VERTRES)};
        dc.DPtoLP(&all);
        CBrush background(dvi.GetPageBackgroundColor(page));
        dc.FillRect(&all, &background);
    }

    fonts_.reset();
    fontCount_ = dvi.GetNItrnFont();
    if (fontCount_ == 0) {
        SetWinFont(1);
        dvi.SetWinFont(1);
    } else {
        SetWinFont(0);
        dvi.SetWinFont(0);
        BuildFonts();
    }

    // Rules start in the page's colour, as characters do.
    SetFillBrush(currentColour_);
    DeleteCharDC();
    SetPen(Ceil(lineWidth_ * hFactor_), currentColour_);

    psBox_[0] = psBox_[1] = 0x480000;
    psBox_[2] = psBox_[3] = 0;
    psBox_[4] = psBox_[5] = 0x480000;
    inLink_ = 0;
    linkColour_ = COLORREF(linkColour);
    tagFound_ = 0;
    tag_ = tag;
    fontState_ = dvi.GetFontSpecialState();
    if (gdiPlayer_) gdiPlayer_->Reset();
    return 1;
}

void VrDviDrawer::Close() {
    if (!IsWorking()) return;
    if (gdiPlayer_) gdiPlayer_->Release();
    if (dc_) dc_->RestoreDC(-1);
    selectedFont_ = nullptr;
    DeleteCharDC();
    fillBrush_.reset();
    pen_.reset();
    fonts_.reset();
    fontCount_ = 0;
    ClearPictList();
    hyperlinks_.RemoveAll();
    inLink_ = 0;
    palette_.reset();
    // The target may go once the page is closed.
    dc_ = refDC_ = nullptr;
    VrDviDrawerBase::Close();
}

void VrDviDrawer::ClearPictList() {
    pictures_.RemoveAll();
}

// Fonts

void VrDviDrawer::BuildFonts() {
    fonts_ = std::make_unique<OSFontInfo[]>(size_t(fontCount_));
    const VrDvi::ItrnFont* fallback = nullptr;  // the first defined of the fonts without a face
    for (VrDvi::ItrnFontItr it(*dvi_); !it.IsFinished(); ++it) {
        const VrDvi::ItrnFont* font = it();
        const int id = font->GetID();
        if (id < 0 || id >= fontCount_) continue;
        const int size = font->GetScaleSize();
        const TTFInfo& sb = font->GetSBCTTFInfo();
        String8 face = !sb.faceName.IsNull() ? sb.faceName : font->GetName();

        LOGFONT lf;
        int height = 0, width = 0, weight = 0, italic = 0;
        bool installed = true;
        if (IsFaceInstalled(face.c_str(), lf)) {
            height = sb.height;
            width = sb.averageWidth;
            weight = sb.weight;
            italic = sb.italic;
        } else {
            lf = LOGFONT();
            if (const BuiltinFace* row = FindBuiltinFace(face.c_str())) {
                if (!IsFaceInstalled(row->face, lf)) {
                    lf = LOGFONT();
                    CopyFaceName(lf, row->face);
                    installed = false;
                }
                height = int(size * row->heightFactor);
                width = int(size * row->widthFactor);
                weight = row->weight;
                italic = row->italic;
            } else {
                installed = false;
            }
        }
        if (!installed && !font->IsVirtual() && (!fallback || id < fallback->GetID())) fallback = font;
        auto finish = [&](LOGFONT& f, int h, int w, int wt, int it) {
            if (h == 0) h = size;
            f.lfHeight = -Ceil(h * vFactor_);
            // The GDI layer draws at the exact em; lfHeight keeps the whole pixels.
            const double em64 = h * vFactor_ * 64;
            f.lfEmHeight64 = em64 >= 1 && em64 < 1e9 ? LONG(std::lround(em64)) : 0;
            f.lfWidth = Ceil(w * hFactor_);
            f.lfEscapement = f.lfOrientation = LONG(font->GetRotate());
            f.lfWeight = wt;
            f.lfItalic = BYTE(it ? 1 : 0);
            f.lfUnderline = f.lfStrikeOut = 0;
        };
        finish(lf, height, width, weight, italic);
        fonts_[size_t(id)].sbFont.CreateFontIndirect(&lf);

        const TTFInfo& db = font->GetDBCTTFInfo();
        if (!db.faceName.IsNull()) {
            LOGFONT dlf;
            if (!IsFaceInstalled(db.faceName.c_str(), dlf)) {
                dlf = LOGFONT();
                CopyFaceName(dlf, db.faceName.c_str());
            }
            finish(dlf, db.height, db.averageWidth, db.weight, db.italic);
            fonts_[size_t(id)].dbFont.CreateFontIndirect(&dlf);
        }
    }
    // Drawn by the layer's fallback face: the document says so once.
    if (fallback) dvi_->NoteFallbackFont(fallback->GetName());
}

VrDviDrawer::OSFontInfo* VrDviDrawer::GetpOSFont(const VrDvi::ItrnFont& font) const {
    const int id = font.GetID();
    return fonts_ && id >= 0 && id < fontCount_ ? &fonts_[size_t(id)] : nullptr;
}

CFont* VrDviDrawer::GetpSBFont(const VrDvi::ItrnFont& font) const {
    OSFontInfo* f = GetpOSFont(font);
    return f ? &f->sbFont : nullptr;
}

CFont* VrDviDrawer::GetpDBFont(const VrDvi::ItrnFont& font) const {
    OSFontInfo* f = GetpOSFont(font);
    return f ? &f->dbFont : nullptr;
}

// Colours

void VrDviDrawer::SetFillBrush(COLORREF c) {
    auto brush = std::make_unique<CBrush>(c);
    if (dc_) dc_->SelectObject(brush.get());
    fillBrush_ = std::move(brush);
}

void VrDviDrawer::SetPen(int width, COLORREF c) {
    auto pen = std::make_unique<CPen>(PS_SOLID, width, c);
    if (dc_) dc_->SelectObject(pen.get());
    pen_ = std::move(pen);
}

void VrDviDrawer::SetPenBrush(unsigned short r, unsigned short g, unsigned short b) {
    currentColour_ = RGB(r & 0xFF, g & 0xFF, b & 0xFF);
    SetFillBrush(currentColour_);
    SetPen(1, currentColour_);
}

// Characters

void VrDviDrawer::PutChar(int h, int v, unsigned short code, int width, int height, int depth) {
    if (!dc_ || !dvi_) return;
    if (IsWinFont()) {
        PutCharWinFont(h, v, code);
        return;
    }
    const VrDvi::ItrnFont* font = GetCurrentFont();
    OSFontInfo* faces = font ? GetpOSFont(*font) : nullptr;
    if (!faces) return;
    const bool doubleByte = GetMultiByteState() == 1 && faces->dbFont.GetSafeHandle();
    CFont* cfont = doubleByte ? &faces->dbFont : &faces->sbFont;
    const TTFInfo& info = doubleByte ? font->GetDBCTTFInfo() : font->GetSBCTTFInfo();

    if (cfont != selectedFont_) {
        dc_->SelectObject(cfont);
        selectedFont_ = cfont;
        // A char DC holds the font it was made with: a slanted face gets a
        // new one, any other face draws directly.
        if (font->GetSBCTTFInfo().slant) CreateCharDC();
        else DeleteCharDC();
    }

    VrDvi::FontSpecialState& st = fontState_;
    if ((st.percent & 0xFF) == 0) st.percent = (st.percent & ~0xFF) | 100;
    const int percent = st.percent & 0xFF;

    const int x = hDot(h);
    const int y = Round((double(v) + info.vAdjustment) * vFactor_) + originY_;
    const WCHAR c = WCHAR(code);

    if (!charDC_) {
        dc_->ExtTextOutW(x, y, 0, nullptr, &c, 1, nullptr);
    } else {
        EraseCharDC();
        charDC_->SetTextColor(dc_->GetTextColor());
        charDC_->ExtTextOutW(0, 0, 0, nullptr, &c, 1, nullptr);
        const int w = percent * maxCharWidth_ * 2 / 100;
        if (!info.slant) {
            dc_->StretchBlt(x, y - ascent_, w, ascent_ + descent_, charDC_.get(), 0, -ascent_, maxCharWidth_ * 2,
                            ascent_ + descent_, SRCAND);
        } else {
            // Sheared row by row: one pixel to the left every four rows down.
            int x0 = x + ascent_ / 4;
            for (int r = -ascent_; r < descent_; ++r) {
                dc_->StretchBlt(x0, y + r, w, 1, charDC_.get(), 0, r, maxCharWidth_ * 2, 1, SRCAND);
                if (r % 4 == 0) {
                    --x0;
                    dc_->StretchBlt(x0, y + r, w, 1, charDC_.get(), 0, r, maxCharWidth_ * 2, 1, SRCAND);
                }
            }
        }
    }

    if (inLink_)
        AddLinkRect(x - 1, vDot(v) - dvDot(height) - 1, dhDot(width) + 2, dvDot(height + depth) + 2);
}

void VrDviDrawer::PutCharWinFont(int h, int v, unsigned short code) {
    const VrDvi::FontSpecialState& st = fontState_;
    dc_->SaveDC();
    dc_->SelectClipRgn(nullptr, RGN_COPY);
    CFont font;
    int index = 0;
    const DList<String8> faces = dvi_->GetFontList();
    for (auto it = faces.Begin(); it; it.Next(), ++index) {
        if (index != st.faceIndex) continue;
        font.CreateFont(st.height, st.width, st.escapement, 0, st.bold ? FW_BOLD : FW_NORMAL, BYTE(st.italic ? 1 : 0),
                        0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, it.Value().c_str());
        break;
    }
    if (font.GetSafeHandle()) dc_->SelectObject(&font);
    const int x = grw(h);
    const int y = grw(v);
    const WCHAR c = WCHAR(code);
    dc_->ExtTextOutW(x, y, 0, nullptr, &c, 1, nullptr);
    // Selects the previous font back before this one is deleted.
    dc_->RestoreDC(-1);
    if (inLink_) AddLinkRect(x, y + 4 - st.height, st.width + 2, st.height + 2);
}

// The char DC: an off-screen copy of the selected font, for characters drawn
// at a width percentage or slanted.

void VrDviDrawer::CreateCharDC() {
    DeleteCharDC();
    TEXTMETRIC tm;
    if (!dc_ || !refDC_ || !dc_->GetTextMetrics(&tm)) return;
    maxCharWidth_ = tm.tmMaxCharWidth;
    ascent_ = tm.tmAscent;
    descent_ = tm.tmDescent;
    if (maxCharWidth_ <= 0 || ascent_ + descent_ <= 0) return;
    auto dc = std::make_unique<CDC>();
    auto bitmap = std::make_unique<CBitmap>();
    if (!dc->CreateCompatibleDC(refDC_) ||
        !bitmap->CreateCompatibleBitmap(refDC_, 3 * maxCharWidth_, 2 * (ascent_ + descent_)))
        return;
    dc->SelectObject(bitmap.get());
    dc->SetViewportOrg(maxCharWidth_, 2 * ascent_);
    dc->SetTextAlign(TA_BASELINE);
    dc->SetBkMode(TRANSPARENT);
    if (selectedFont_) dc->SelectObject(selectedFont_);
    dc->SelectStockObject(WHITE_BRUSH);
    dc->SelectStockObject(NULL_PEN);
    charDC_ = std::move(dc);
    charBitmap_ = std::move(bitmap);
}

void VrDviDrawer::EraseCharDC() {
    charDC_->Rectangle(-maxCharWidth_ - 1, -2 * ascent_ - 1, 2 * maxCharWidth_ + 2, 2 * descent_ + 2);
}

void VrDviDrawer::DeleteCharDC() {
    if (charDC_) charDC_->DeleteDC();
    charDC_.reset();
    charBitmap_.reset();
}

// Rules

void VrDviDrawer::PutRule(int h, int v, int height, int width) {
    if (!dc_ || height <= 0 || width <= 0) return;
    const int left = hDot(h);
    const int bottom = vDot(v);
    const int w = dhDot(width);
    const int hh = dvDot(height);
    RECT r{left, bottom - hh, left + w, bottom};
    dc_->FillRect(&r, fillBrush_.get());
    if (inLink_) AddLinkRect(left, bottom - hh, w, hh);
}

// Specials

void VrDviDrawer::DoSpecial(unsigned int length, InstPtr text) {
    if (text.Left() < length) return;
    if (gdiPlayer_ && gdiPlayer_->Process(text.Pointer(), length)) return;
    if (!gdiPlayer_) VrDviDrawerBase::DoSpecial(length, text);
    DoTextSpecial(length, text.Pointer());
}

// Links

VrDviDrawer::HyLinkInfo* VrDviDrawer::CurrentLink() const {
    auto* tail = hyperlinks_.GetTail();
    return tail ? tail->data.get() : nullptr;
}

void VrDviDrawer::AddLinkRect(int x, int y, int w, int h) {
    if (HyLinkInfo* link = CurrentLink()) link->AddRect(x, y, w, h);
}

void VrDviDrawer::BeginLink(const String8& reference, const String8& target, int kind) {
    hyperlinks_.AddTail(std::make_unique<HyLinkInfo>(reference, target, kind));
    inLink_ = 1;
    if (!dc_) return;
    savedColour_ = dc_->GetTextColor();
    dc_->SetTextColor(linkColour_);
    SetFillBrush(linkColour_);
}

void VrDviDrawer::EndLink() {
    if (!inLink_) return;
    inLink_ = 0;
    if (!dc_) return;
    dc_->SetTextColor(savedColour_);
    SetFillBrush(savedColour_);
}

VrDviDrawer::HyLinkInfo* VrDviDrawer::FindHyLink(int x, int y) const {
    for (auto it = hyperlinks_.Begin(); it; it.Next()) {
        for (auto r = it.Value()->GetRectList().Begin(); r; r.Next()) {
            const HyLinkInfo::Rect& q = r.Value();
            if (x >= q.x && 1LL * x < 1LL * q.x + q.width && y >= q.y && 1LL * y < 1LL * q.y + q.height)
                return it.Value().get();
        }
    }
    return nullptr;
}

void VrDviDrawer::DrawHyperlinkMark(int which) {
    if (!dc_) return;
    CBrush brush(linkColour_);
    dc_->SaveDC();
    dc_->SelectStockObject(NULL_PEN);
    dc_->SelectObject(&brush);
    dc_->SetROP2(R2_MERGEPEN);
    for (auto it = hyperlinks_.Begin(); it; it.Next()) {
        const HyLinkInfo* link = it.Value().get();
        if (!(which == 0 || (which == 1 && link->GetKind() == 0) || (which == 2 && link->GetKind() == 1)))
            continue;
        for (auto r = link->GetRectList().Begin(); r; r.Next()) {
            const HyLinkInfo::Rect& q = r.Value();
            dc_->Rectangle(q.x, q.y, q.x + q.width + 1, q.y + q.height + 1);
        }
    }
    dc_->RestoreDC(-1);
}
