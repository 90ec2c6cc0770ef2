// CDC: text output and metrics over the font engine.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gdi/DCInternal.h"

namespace {
constexpr double kPi = 3.14159265358979323846;

std::u16string Utf8ToUtf16(const char* s, size_t n) {
    std::u16string out;
    size_t i = 0;
    while (i < n) {
        uint8_t c = uint8_t(s[i]);
        uint32_t cp;
        int len;
        if (c < 0x80) cp = c, len = 1;
        else if ((c & 0xE0) == 0xC0) cp = c & 0x1F, len = 2;
        else if ((c & 0xF0) == 0xE0) cp = c & 0x0F, len = 3;
        else if ((c & 0xF8) == 0xF0) cp = c & 0x07, len = 4;
        else cp = 0xFFFD, len = 1;
        if (i + size_t(len) > n) {
            cp = 0xFFFD, len = int(n - i);
        } else {
            for (int k = 1; k < len; ++k) {
                uint8_t cc = uint8_t(s[i + size_t(k)]);
                if ((cc & 0xC0) != 0x80) {
                    cp = 0xFFFD, len = k;
                    break;
                }
                cp = (cp << 6) | (cc & 0x3F);
            }
        }
        i += size_t(len);
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            out.push_back(char16_t(0xD800 + (cp >> 10)));
            out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(char16_t(cp > 0x10FFFF ? 0xFFFD : cp));
        }
    }
    return out;
}

std::string Utf16ToUtf8(const WCHAR* s, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        uint32_t cp = s[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[++i] - 0xDC00);
        if (cp < 0x80) out += char(cp);
        else if (cp < 0x800) out += char(0xC0 | (cp >> 6)), out += char(0x80 | (cp & 0x3F));
        else if (cp < 0x10000)
            out += char(0xE0 | (cp >> 12)), out += char(0x80 | ((cp >> 6) & 0x3F)), out += char(0x80 | (cp & 0x3F));
        else
            out += char(0xF0 | (cp >> 18)), out += char(0x80 | ((cp >> 12) & 0x3F)),
                out += char(0x80 | ((cp >> 6) & 0x3F)), out += char(0x80 | (cp & 0x3F));
    }
    return out;
}

int Round(double v) { return int(std::lround(std::max(-1e9, std::min(1e9, v)))); }
}  // namespace

std::shared_ptr<const FontInstance> CDC::CurrentFontInstance() const {
    auto* fd = static_cast<FontData*>(st_.font.get());
    LOGFONT lf = fd ? fd->font : LOGFONT();
    // Logical sizes to device pixels, keeping the sign of the height.
    double sy = std::fabs(ScaleY()), sx = std::fabs(ScaleX());
    lf.lfHeight = lf.lfHeight < 0 ? -std::max(1, Round(-lf.lfHeight * sy)) : Round(lf.lfHeight * sy);
    lf.lfWidth = Round(lf.lfWidth * sx);
    if (lf.lfEmHeight64 > 0) lf.lfEmHeight64 = std::max(1, Round(lf.lfEmHeight64 * sy));
    // Larger than any page needs; keeps glyph masks bounded.
    constexpr LONG kMaxPixels = 16384;
    lf.lfHeight = std::max(-kMaxPixels, std::min(kMaxPixels, lf.lfHeight));
    lf.lfWidth = std::max(LONG(0), std::min(kMaxPixels, lf.lfWidth));
    lf.lfEmHeight64 = std::max(LONG(0), std::min(kMaxPixels * 64, lf.lfEmHeight64));
    if (fontCache_ && fontCacheKey_ == st_.font && std::memcmp(&fontCacheLf_, &lf, sizeof lf) == 0) return fontCache_;
    fontCache_ = FontEngine::Resolve(lf);
    fontCacheKey_ = st_.font;
    fontCacheLf_ = lf;
    return fontCache_;
}

void CDC::DrawMask(int ox, int oy, const FontInstance::Mask& m, uint32_t value, const Region& vis) {
    if (m.width <= 0 || m.height <= 0 || m.alpha.size() < size_t(m.width) * size_t(m.height)) return;
    const int64_t bl = int64_t(ox) + m.left, bt = int64_t(oy) + m.top;
    const int64_t br = bl + m.width, bb = bt + m.height;
    PixelBuffer& dst = *px_;
    uint32_t rgb = dst.ToRgb(value);
    int tr = rgb >> 16, tg = (rgb >> 8) & 0xFF, tb = rgb & 0xFF;
    // The visible bands and spans that meet the mask, without building a region.
    for (auto& band : vis.Bands()) {
        if (band.y1 <= bt || band.y0 >= bb) continue;
        int y0 = int(std::max<int64_t>(band.y0, bt)), y1 = int(std::min<int64_t>(band.y1, bb));
        for (int y = y0; y < y1; ++y) {
            const uint8_t* a = m.alpha.data() + size_t(y - bt) * size_t(m.width);
            for (auto& sp : band.spans) {
                if (sp.x1 <= bl || sp.x0 >= br) continue;
                int x0 = int(std::max<int64_t>(sp.x0, bl)), x1 = int(std::min<int64_t>(sp.x1, br));
                if (dst.Bpp() == 32) {
                    uint32_t* row = reinterpret_cast<uint32_t*>(dst.Row(y));
                    for (int x = x0; x < x1; ++x) {
                        int al = a[x - bl];
                        if (!al) continue;
                        if (al == 255) {
                            row[x] = rgb | 0xFF000000u;
                            continue;
                        }
                        uint32_t d = row[x];
                        int dr = (d >> 16) & 0xFF, dg = (d >> 8) & 0xFF, db = d & 0xFF;
                        dr += (tr - dr) * al / 255, dg += (tg - dg) * al / 255;
                        db += (tb - db) * al / 255;
                        row[x] = 0xFF000000u | (uint32_t(dr) << 16) | (uint32_t(dg) << 8) | uint32_t(db);
                    }
                    continue;
                }
                for (int x = x0; x < x1; ++x) {
                    int al = a[x - bl];
                    if (!al) continue;
                    if (dst.Bpp() < 24 || al == 255) {
                        if (al >= 128) dst.Set(x, y, value);
                        continue;
                    }
                    uint32_t d = dst.Get(x, y);
                    int dr = d >> 16, dg = (d >> 8) & 0xFF, db = d & 0xFF;
                    dr += (tr - dr) * al / 255, dg += (tg - dg) * al / 255;
                    db += (tb - db) * al / 255;
                    dst.Set(x, y, (uint32_t(dr) << 16) | (uint32_t(dg) << 8) | uint32_t(db));
                }
            }
        }
    }
}

BOOL CDC::ExtTextOutW(int x, int y, UINT options, LPCRECT rc, const WCHAR* text, UINT count, const int* dx) {
    auto g = Log("ExtTextOutW", x, y, options, rc ? *rc : RECT{}, Utf16ToUtf8(text ? text : u"", text ? count : 0));
    if (!px_ || (count && !text) || count > 0x10000) return FALSE;
    Region clipped;
    const Region* visp = &VisibleRegion();
    if ((options & ETO_CLIPPED) && rc) {
        CRect r(*rc);
        LPtoDP(&r);
        r.NormalizeRect();
        clipped = visp->Intersect(r);
        visp = &clipped;
    }
    const Region& vis = *visp;
    if ((options & ETO_OPAQUE) && rc) {
        CRect r(*rc);
        LPtoDP(&r);
        r.NormalizeRect();
        Brush b;
        b.kind = Brush::Solid;
        b.value = DevValue(st_.bkColor);
        PaintShape(Region(r).Intersect(vis.Bounds()), b, false);
    }
    auto font = CurrentFontInstance();
    const TEXTMETRIC& tm = font->Metrics();
    auto* fd = static_cast<FontData*>(st_.font.get());
    double esc = fd ? fd->font.lfEscapement / 10.0 * kPi / 180.0 : 0;
    double ux = std::cos(esc), uy = -std::sin(esc);  // along the baseline
    double vx = std::sin(esc), vy = std::cos(esc);   // down from the baseline

    // Advances in device pixels.
    std::vector<int> adv(count);
    int extra = Round(st_.charExtra * std::fabs(ScaleX()));
    bool haveDx = dx != nullptr || extra != 0;
    long total = 0;
    for (UINT i = 0; i < count; ++i) {
        adv[i] = dx ? Round(dx[i] * std::fabs(ScaleX())) : font->Advance(text[i]) + extra;
        total += adv[i];
    }
    CPoint ref = (st_.textAlign & TA_UPDATECP) ? st_.cp : CPoint(x, y);
    PointF o = ToDev(ref.x, ref.y);
    double h = 0, v = 0;
    switch (st_.textAlign & TA_CENTER) {
    case TA_CENTER: h = -total / 2.0; break;
    case TA_RIGHT: h = -double(total); break;
    default: break;
    }
    switch (st_.textAlign & TA_BASELINE) {
    case TA_BASELINE: break;
    case TA_BOTTOM: v = -tm.tmDescent; break;
    default: v = tm.tmAscent; break;
    }
    double bx = o.x + h * ux + v * vx, by = o.y + h * uy + v * vy;  // left end of the baseline
    if (st_.bkMode == OPAQUE && count) {
        auto corner = [&](double along, double down) { return PointF{bx + along * ux + down * vx, by + along * uy + down * vy}; };
        PointList box{corner(0, -tm.tmAscent), corner(total, -tm.tmAscent), corner(total, tm.tmDescent),
                      corner(0, tm.tmDescent)};
        for (auto& p : box) p.x -= 0.5, p.y -= 0.5;  // pixel edges to centres
        Brush b;
        b.kind = Brush::Solid;
        b.value = DevValue(st_.bkColor);
        CRect vb = vis.Bounds();
        PaintShape(Region::Combine(Raster::FillPolygons({box}, ALTERNATE, &vb), vis, RGN_AND), b, false);
    }
    if (count) {
        FontInstance::Mask m;
        int endX = 0, endY = 0;
        font->Render(text, int(count), haveDx ? adv.data() : nullptr, m, endX, endY);
        DrawMask(Round(bx), Round(by), m, DevValue(st_.textColor), vis);
    }
    if (fd && (fd->font.lfUnderline || fd->font.lfStrikeOut) && count) {
        int thick = std::max(1, int(tm.tmHeight / 16));
        Brush b;
        b.kind = Brush::Solid;
        b.value = DevValue(st_.textColor);
        auto line = [&](double down) {
            auto corner = [&](double along, double d) { return PointF{bx + along * ux + d * vx, by + along * uy + d * vy}; };
            PointList q{corner(0, down), corner(total, down), corner(total, down + thick), corner(0, down + thick)};
            for (auto& p : q) p.x -= 0.5, p.y -= 0.5;
            CRect vb = vis.Bounds();
            PaintShape(Region::Combine(Raster::FillPolygons({q}, ALTERNATE, &vb), vis, RGN_AND), b, false);
        };
        if (fd->font.lfUnderline) line(std::max(1, int(tm.tmDescent / 2)));
        if (fd->font.lfStrikeOut) line(-tm.tmAscent / 3.0);
    }
    if (st_.textAlign & TA_UPDATECP) {
        double move = (st_.textAlign & TA_CENTER) == TA_CENTER ? 0 : (st_.textAlign & TA_RIGHT) ? -double(total) : double(total);
        CPoint end(Round(o.x + move * ux), Round(o.y + move * uy));
        DPtoLP(&end);
        st_.cp = end;
    }
    return TRUE;
}

BOOL CDC::ExtTextOut(int x, int y, UINT options, LPCRECT rc, const char* text, UINT count, const int* dx) {
    std::u16string w = Utf8ToUtf16(text ? text : "", text ? count : 0);
    // dx, when given, holds one entry per byte; keep those of each character's first byte.
    std::vector<int> wdx;
    if (dx && text) {
        for (UINT i = 0; i < count;) {
            uint8_t c = uint8_t(text[i]);
            int len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 1;
            int sum = 0;
            for (int k = 0; k < len && i < count; ++k, ++i) sum += dx[i];
            wdx.push_back(sum);
            if (len == 4) wdx.push_back(0);
        }
        wdx.resize(w.size(), 0);
    }
    return ExtTextOutW(x, y, options, rc, w.data(), UINT(w.size()), dx ? wdx.data() : nullptr);
}

BOOL CDC::TextOut(int x, int y, const char* text, int count) {
    if (count < 0) return FALSE;
    return ExtTextOut(x, y, 0, nullptr, text, UINT(count), nullptr);
}

BOOL CDC::TextOut(int x, int y, const CString& text) { return TextOut(x, y, text.c_str(), text.GetLength()); }

BOOL CDC::TextOutW(int x, int y, const WCHAR* text, int count) {
    if (count < 0) return FALSE;
    return ExtTextOutW(x, y, 0, nullptr, text, UINT(count), nullptr);
}

BOOL CDC::GetTextMetrics(TEXTMETRIC* tm) const {
    if (!tm) return FALSE;
    *tm = CurrentFontInstance()->Metrics();
    double sx = std::fabs(ScaleX()), sy = std::fabs(ScaleY());
    auto ly = [&](LONG v) { return LONG(Round(v / sy)); };
    auto lx = [&](LONG v) { return LONG(Round(v / sx)); };
    tm->tmHeight = ly(tm->tmHeight), tm->tmAscent = ly(tm->tmAscent), tm->tmDescent = ly(tm->tmDescent);
    tm->tmInternalLeading = ly(tm->tmInternalLeading), tm->tmExternalLeading = ly(tm->tmExternalLeading);
    tm->tmAveCharWidth = lx(tm->tmAveCharWidth), tm->tmMaxCharWidth = lx(tm->tmMaxCharWidth);
    tm->tmOverhang = lx(tm->tmOverhang);
    tm->tmDigitizedAspectX = caps_.logPixelsX, tm->tmDigitizedAspectY = caps_.logPixelsY;
    return TRUE;
}

CSize CDC::GetTextExtentW(const WCHAR* text, int count) const {
    auto font = CurrentFontInstance();
    long w = 0;
    for (int i = 0; text && i < count; ++i) w += font->Advance(text[i]);
    w += long(count > 0 ? count : 0) * Round(st_.charExtra * std::fabs(ScaleX()));
    return CSize(Round(w / std::fabs(ScaleX())), Round(font->Metrics().tmHeight / std::fabs(ScaleY())));
}

CSize CDC::GetTextExtent(const char* text, int count) const {
    std::u16string w = Utf8ToUtf16(text ? text : "", text && count > 0 ? size_t(count) : 0);
    return GetTextExtentW(w.data(), int(w.size()));
}

CSize CDC::GetTextExtent(const CString& text) const { return GetTextExtent(text.c_str(), text.GetLength()); }

BOOL CDC::GetCharWidth(UINT first, UINT last, int* widths) const {
    if (!widths || last < first || last > 0xFFFF) return FALSE;
    auto font = CurrentFontInstance();
    for (UINT c = first; c <= last; ++c) widths[c - first] = Round(font->Advance(WCHAR(c)) / std::fabs(ScaleX()));
    return TRUE;
}

int CDC::GetTextFace(int count, char* face) const {
    auto* fd = static_cast<FontData*>(st_.font.get());
    const char* name = fd ? fd->font.lfFaceName : "";
    int n = int(std::strlen(name));
    if (!face) return n + 1;
    if (count <= 0) return 0;
    int k = std::min(n, count - 1);
    std::memcpy(face, name, size_t(k));
    face[k] = 0;
    return k;
}

int CDC::EnumFontFamilies(const char* family, FONTENUMPROC proc, LPARAM data) const {
    if (!proc) return 0;
    return FontEngine::EnumFontFamilies(family, proc, data);
}

BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, LPCRECT rc, const WCHAR* text, UINT count, const int* dx) {
    return dc ? dc->ExtTextOutW(x, y, options, rc, text, count, dx) : FALSE;
}

BOOL TextOutA(HDC dc, int x, int y, const char* text, int count) { return dc ? dc->TextOut(x, y, text, count) : FALSE; }

int EnumFontFamiliesA(HDC dc, const char* family, FONTENUMPROC proc, LPARAM data) {
    return dc ? dc->EnumFontFamilies(family, proc, data) : 0;
}
