// CDC: PatBlt, BitBlt, StretchBlt, TransparentBlt and the DIB calls, with
// ternary raster operations, stretch modes and GDI's depth conversions.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gdi/DCInternal.h"
#include "platform/gdi/Dib.h"

namespace {
int Clamp(int64_t v) { return int(std::max<int64_t>(-1000000000, std::min<int64_t>(1000000000, v))); }

// A logical rectangle given by origin and size, in device pixels; the sizes
// keep their signs (negative ones mirror).
void DevBox(const CDC& dc, int x, int y, int w, int h, int& X, int& Y, int& W, int& H) {
    POINT p[2] = {{Clamp(x), Clamp(y)}, {Clamp(int64_t(x) + w), Clamp(int64_t(y) + h)}};
    dc.LPtoDP(p, 2);
    X = p[0].x, Y = p[0].y, W = p[1].x - p[0].x, H = p[1].y - p[0].y;
}

// Where a blit reads: a surface or a DIB, its pixels as destination device
// values (value) or as 0x00RRGGBB colours (rgb).
struct BlitSource {
    const PixelBuffer* src;
    const DibView* dib;
    const PixelBuffer& dst;
    bool same;           // src holds the destination's values as they are
    bool dibToMono;      // a DIB onto a mono surface: white 1, all else 0
    uint32_t fg, bg;     // destination values of a mono source's 0 and 1
    uint32_t srcBk;      // a colour source's background, compared by colour

    uint32_t Rgb(int x, int y) const {
        if (dib) return dib->Rgb(x, y);
        uint32_t v = src->Get(x, y);
        if (src->IsMono()) return dst.ToRgb(v ? bg : fg);
        return src->ToRgb(v);
    }

    uint32_t Value(int x, int y) const {
        if (dib) {
            uint32_t rgb = dib->Rgb(x, y);
            if (dst.IsMono() && dibToMono) return rgb == 0xFFFFFF ? 1 : 0;
            return dst.FromRgb(rgb);
        }
        uint32_t v = src->Get(x, y);
        if (same) return v;
        if (src->IsMono()) return v ? bg : fg;
        if (dst.IsMono()) return src->ToRgb(v) == srcBk ? 1 : 0;
        return dst.FromRgb(src->ToRgb(v));
    }

    // The source block [sx0, sx1) x [sy0, sy1) shrunk to one value by the
    // stretch mode: HALFTONE averages, BLACKONWHITE ands, the rest ors.
    uint32_t Combined(int mode, int sx0, int sx1, int sy0, int sy1) const {
        if (mode == HALFTONE) {
            uint64_t r = 0, gg = 0, b = 0, n = 0;
            for (int yy = sy0; yy < sy1; ++yy)
                for (int xx = sx0; xx < sx1; ++xx) {
                    uint32_t c = Rgb(xx, yy);
                    r += c >> 16, gg += (c >> 8) & 0xFF, b += c & 0xFF, ++n;
                }
            uint32_t avg = uint32_t(((r / n) << 16) | ((gg / n) << 8) | (b / n));
            if (dst.IsMono() && !dib) return avg == srcBk ? 1 : 0;
            if (dst.IsMono()) return avg == 0xFFFFFF ? 1 : 0;
            return dst.FromRgb(avg);
        }
        bool andMode = mode == BLACKONWHITE;
        uint32_t sv = andMode ? 0xFFFFFFFFu : 0;
        for (int yy = sy0; yy < sy1; ++yy)
            for (int xx = sx0; xx < sx1; ++xx) {
                uint32_t c = Value(xx, yy);
                sv = andMode ? (sv & c) : (sv | c);
            }
        return sv;
    }
};

// Unstretched, unmirrored blits onto 32-bit pixels from 32-bit or mono
// sources (the page, glass and mask copies): row loops with the operation
// hoisted. fgRgb and bgRgb are a mono source's colours for 0 and 1.
void Blit32(const Region& vis, PixelBuffer& dst, const PixelBuffer& src, int xd, int yd, int xs, int ys,
            uint32_t fgRgb, uint32_t bgRgb, DWORD rop) {
    const int sw = src.Width(), sh = src.Height();
    auto run = [&](auto op) {
        for (auto& band : vis.Bands())
            for (int y = band.y0; y < band.y1; ++y) {
                int64_t sy = int64_t(ys) + (y - yd);
                if (sy < 0 || sy >= sh) continue;
                uint32_t* drow = reinterpret_cast<uint32_t*>(dst.Row(y));
                const uint8_t* srow = src.Row(int(sy));
                for (auto& sp : band.spans) {
                    int x0 = int(std::max<int64_t>(sp.x0, int64_t(xd) - xs));
                    int x1 = int(std::min<int64_t>(sp.x1, int64_t(xd) + sw - xs));
                    int off = xs - xd;
                    if (src.Bpp() == 32) {
                        const uint32_t* s32 = reinterpret_cast<const uint32_t*>(srow);
                        for (int x = x0; x < x1; ++x) drow[x] = op(s32[x + off], drow[x]) | 0xFF000000u;
                    } else {
                        for (int x = x0; x < x1; ++x) {
                            int sx = x + off;
                            uint32_t sv = ((srow[sx >> 3] >> (7 - (sx & 7))) & 1) ? bgRgb : fgRgb;
                            drow[x] = op(sv, drow[x]) | 0xFF000000u;
                        }
                    }
                }
            }
    };
    switch (rop) {
    case SRCCOPY: run([](uint32_t sv, uint32_t) { return sv; }); break;
    case SRCAND: run([](uint32_t sv, uint32_t d) { return sv & d; }); break;
    case SRCPAINT: run([](uint32_t sv, uint32_t d) { return sv | d; }); break;
    case SRCINVERT: run([](uint32_t sv, uint32_t d) { return sv ^ d; }); break;
    case MERGEPAINT: run([](uint32_t sv, uint32_t d) { return ~sv | d; }); break;
    case NOTSRCCOPY: run([](uint32_t sv, uint32_t) { return ~sv; }); break;
    default: run([rop](uint32_t sv, uint32_t d) { return GdiRop::Rop3(rop, 0, sv, d); }); break;
    }
}
}  // namespace

BOOL CDC::PatBlt(int x, int y, int w, int h, DWORD rop) {
    auto g = Log("PatBlt", x, y, w, h, rop);
    if (!px_) return FALSE;
    int X, Y, W, H;
    DevBox(*this, x, y, w, h, X, Y, W, H);
    CRect r(X, Y, X + W, Y + H);
    r.NormalizeRect();
    Region vis = VisibleRegion().Intersect(r);
    Brush brush = GdiRop::UsesPattern(rop) ? MakeBrush(st_.brush) : Brush();
    if (GdiRop::UsesPattern(rop) && brush.kind == Brush::None) return TRUE;  // null brush
    uint32_t mask = px_->ValueMask();
    bool fast = !GdiRop::UsesDest(rop) && (brush.kind == Brush::Solid || !GdiRop::UsesPattern(rop));
    for (auto& band : vis.Bands()) {
        if (fast) {
            uint32_t v = GdiRop::Rop3(rop, brush.value, 0, 0) & mask;
            for (auto& s : band.spans) px_->FillValue(s.x0, band.y0, s.x1, band.y1, v);
            continue;
        }
        for (int yy = band.y0; yy < band.y1; ++yy)
            for (auto& s : band.spans)
                for (int xx = s.x0; xx < s.x1; ++xx) {
                    uint32_t p = 0;
                    if (brush.kind != Brush::None && !brush.At(xx, yy, p)) continue;
                    px_->Set(xx, yy, GdiRop::Rop3(rop, p, 0, px_->Get(xx, yy)) & mask);
                }
    }
    return TRUE;
}

// The copy at the heart of every blit. The destination rectangle is in
// device pixels (negative sizes mirror); the source is a surface (src, with
// srcDc for its background colour) or a DIB, its rectangle in pixels with
// rows counted from the top.
bool CDC::BlitCore(int xd, int yd, int wd, int hd, const PixelBuffer* src, const CDC* srcDc, const DibView* dib,
                   int xs, int ys, int ws, int hs, DWORD rop, bool dibToMono, bool transparent,
                   uint32_t transparentRgb) {
    if (!px_) return false;
    bool useSrc = GdiRop::UsesSource(rop) || transparent;
    if (useSrc && !src && !dib) return false;
    bool mirrorX = (wd < 0) != (ws < 0), mirrorY = (hd < 0) != (hs < 0);
    if (wd < 0) xd += wd + 1, wd = -wd;
    if (hd < 0) yd += hd + 1, hd = -hd;
    if (ws < 0) xs += ws + 1, ws = -ws;
    if (hs < 0) ys += hs + 1, hs = -hs;
    if (wd == 0 || hd == 0 || (useSrc && (ws == 0 || hs == 0))) return true;
    Region vis = VisibleRegion().Intersect(CRect(xd, yd, xd + wd, yd + hd));
    if (vis.IsEmpty()) return true;

    // A blit within one surface reads a copy of its source rows, so
    // overlapping rectangles move as a whole.
    PixelBuffer copy;
    if (src && useSrc && (src == px_ || (src->Row(0) == px_->Row(0)))) {
        int64_t top = std::max<int64_t>(0, ys), bottom = std::min<int64_t>(src->Height(), int64_t(ys) + hs);
        if (bottom <= top) return true;
        if (!copy.Create(src->Width(), int(bottom - top), src->Bpp())) return false;
        copy.palette = src->palette;
        for (int64_t y = top; y < bottom; ++y)
            std::memcpy(copy.Row(int(y - top)), src->Row(int(y)), size_t(std::min(src->Stride(), copy.Stride())));
        ys -= int(top);
        src = &copy;
    }
    int sw = src ? src->Width() : dib ? dib->Width() : 0;
    int sh = src ? src->Height() : dib ? dib->Height() : 0;
    PixelBuffer& dst = *px_;
    uint32_t mask = dst.ValueMask();
    Brush brush = GdiRop::UsesPattern(rop) ? MakeBrush(st_.brush) : Brush();
    if (GdiRop::UsesPattern(rop) && brush.kind == Brush::None) return true;

    // Source pixel to destination device value.
    uint32_t fg = DevValue(st_.textColor), bg = DevValue(st_.bkColor);
    uint32_t srcBk = 0;  // as 0x00RRGGBB: colour sources compare by colour
    if (src && srcDc && !src->IsMono()) srcBk = src->ToRgb(srcDc->DevValueFor(*src, srcDc->st_.bkColor));
    bool same = src && ((src->Bpp() >= 24 && dst.Bpp() >= 24) || (src->IsMono() && dst.IsMono()) ||
                        (src->Bpp() == dst.Bpp() && src->palette.size() == dst.palette.size() &&
                         std::equal(src->palette.begin(), src->palette.end(), dst.palette.begin(),
                                    [](const RGBQUAD& a, const RGBQUAD& b) {
                                        return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
                                    })));
    const BlitSource from{src, dib, dst, same, dibToMono, fg, bg, srcBk};

    if (src && !transparent && ws == wd && hs == hd && !mirrorX && !mirrorY && dst.Bpp() == 32 &&
        (src->IsMono() || (src->Bpp() == 32 && rop != SRCCOPY)) && !GdiRop::UsesPattern(rop)) {
        Blit32(vis, dst, *src, xd, yd, xs, ys, dst.ToRgb(fg), dst.ToRgb(bg), rop);
        return true;
    }

    bool shrinkX = ws > wd, shrinkY = hs > hd;
    int mode = st_.stretchMode;
    bool combine = (shrinkX || shrinkY) && mode != COLORONCOLOR;
    // Fast path: plain copies between surfaces of one format.
    bool plain = src && same && rop == SRCCOPY && !transparent && ws == wd && hs == hd && !mirrorX && !mirrorY &&
                 src->Bpp() == dst.Bpp() && dst.Bpp() >= 8;
    for (auto& band : vis.Bands()) {
        for (int y = band.y0; y < band.y1; ++y) {
            int dy = y - yd;
            if (mirrorY) dy = hd - 1 - dy;
            int64_t sy0l = ys + int64_t(dy) * hs / hd, sy1l = ys + int64_t(dy + 1) * hs / hd;
            if (sy1l <= sy0l || !combine) sy1l = sy0l + 1;
            if (useSrc && (sy0l < 0 || sy0l >= sh)) continue;
            int sy0 = int(sy0l), sy1 = int(std::min<int64_t>(sy1l, sh));
            for (auto& s : band.spans) {
                if (plain) {
                    int x0 = int(std::max<int64_t>(s.x0, int64_t(xd) + std::max(0, -xs)));
                    int x1 = int(std::min<int64_t>(s.x1, int64_t(xd) + sw - xs));
                    if (x1 <= x0) continue;
                    int bpp = dst.Bpp() / 8;
                    std::memcpy(dst.Row(y) + size_t(x0) * bpp, src->Row(sy0) + size_t(xs + x0 - xd) * bpp,
                                size_t(x1 - x0) * bpp);
                    continue;
                }
                for (int x = s.x0; x < s.x1; ++x) {
                    uint32_t sv = 0;
                    if (useSrc) {
                        int dx = x - xd;
                        if (mirrorX) dx = wd - 1 - dx;
                        int64_t sx0l = xs + int64_t(dx) * ws / wd, sx1l = xs + int64_t(dx + 1) * ws / wd;
                        if (sx1l <= sx0l || !combine) sx1l = sx0l + 1;
                        if (sx0l < 0 || sx0l >= sw) continue;
                        int sx0 = int(sx0l), sx1 = int(std::min<int64_t>(sx1l, sw));
                        if (transparent && from.Rgb(sx0, sy0) == transparentRgb) continue;
                        if (!combine || (sx1 - sx0 == 1 && sy1 - sy0 == 1)) sv = from.Value(sx0, sy0);
                        else sv = from.Combined(mode, sx0, sx1, sy0, sy1);
                    }
                    uint32_t p = 0;
                    if (brush.kind != Brush::None && !brush.At(x, y, p)) continue;
                    uint32_t d = GdiRop::UsesDest(rop) ? dst.Get(x, y) : 0;
                    dst.Set(x, y, GdiRop::Rop3(rop, p, sv, d) & mask);
                }
            }
        }
    }
    return true;
}

BOOL CDC::BitBlt(int x, int y, int w, int h, CDC* src, int xSrc, int ySrc, DWORD rop) {
    auto g = Log("BitBlt", x, y, w, h, xSrc, ySrc, rop);
    int X, Y, W, H;
    DevBox(*this, x, y, w, h, X, Y, W, H);
    if (!GdiRop::UsesSource(rop)) return BlitCore(X, Y, W, H, nullptr, nullptr, nullptr, 0, 0, 0, 0, rop, false, false, 0);
    if (!src || !src->px_) return FALSE;
    CPoint sp = src->ToDevPt(xSrc, ySrc);
    return BlitCore(X, Y, W, H, src->px_, src, nullptr, sp.x, sp.y, W, H, rop, false, false, 0);
}

BOOL CDC::StretchBlt(int x, int y, int w, int h, CDC* src, int xSrc, int ySrc, int wSrc, int hSrc, DWORD rop) {
    auto g = Log("StretchBlt", x, y, w, h, xSrc, ySrc, wSrc, hSrc, rop);
    int X, Y, W, H;
    DevBox(*this, x, y, w, h, X, Y, W, H);
    if (!GdiRop::UsesSource(rop)) return BlitCore(X, Y, W, H, nullptr, nullptr, nullptr, 0, 0, 0, 0, rop, false, false, 0);
    if (!src || !src->px_) return FALSE;
    int sx, sy, sw, shh;
    DevBox(*src, xSrc, ySrc, wSrc, hSrc, sx, sy, sw, shh);
    return BlitCore(X, Y, W, H, src->px_, src, nullptr, sx, sy, sw, shh, rop, false, false, 0);
}

BOOL CDC::TransparentBlt(int x, int y, int w, int h, CDC* src, int xSrc, int ySrc, int wSrc, int hSrc,
                         UINT transparent) {
    auto g = Log("TransparentBlt", x, y, w, h, xSrc, ySrc, wSrc, hSrc, transparent);
    if (!src || !src->px_ || w <= 0 || h <= 0 || wSrc <= 0 || hSrc <= 0) return FALSE;
    int X, Y, W, H, sx, sy, sw, shh;
    DevBox(*this, x, y, w, h, X, Y, W, H);
    DevBox(*src, xSrc, ySrc, wSrc, hSrc, sx, sy, sw, shh);
    int oldMode = st_.stretchMode;
    st_.stretchMode = COLORONCOLOR;
    bool ok = BlitCore(X, Y, W, H, src->px_, src, nullptr, sx, sy, sw, shh, SRCCOPY, false, true,
                       ColorRefToRgb(transparent));
    st_.stretchMode = oldMode;
    return ok;
}

namespace {
std::vector<PALETTEENTRY> DcPalette(const std::shared_ptr<GdiObject>& pal) {
    if (!pal || pal->type != OBJ_PAL) return {};
    return static_cast<PaletteData*>(pal.get())->entries;
}
}  // namespace

int CDC::StretchDIBits(int x, int y, int w, int h, int xSrc, int ySrc, int wSrc, int hSrc, const void* bits,
                       const BITMAPINFO* info, UINT usage, DWORD rop) {
    size_t infoSize = DibView::InfoSize(info, usage);
    if (!infoSize) return 0;
    DibView probe;
    probe.Parse(info, infoSize, nullptr, 0, usage);
    // The caller vouches for the pixels the header describes.
    return StretchDIBits(x, y, w, h, xSrc, ySrc, wSrc, hSrc, bits, probe.ImageBytes(), info, infoSize, usage, rop);
}

int CDC::StretchDIBits(int x, int y, int w, int h, int xSrc, int ySrc, int wSrc, int hSrc, const void* bits,
                       size_t bitsSize, const void* info, size_t infoSize, UINT usage, DWORD rop) {
    auto g = Log("StretchDIBits", x, y, w, h, xSrc, ySrc, wSrc, hSrc, usage, rop);
    std::vector<PALETTEENTRY> pal = DcPalette(st_.palette);
    DibView dib;
    if (!dib.Parse(info, infoSize, bits, bitsSize, usage, &pal)) return 0;
    int X, Y, W, H;
    DevBox(*this, x, y, w, h, X, Y, W, H);
    // Source rows: ySrc counts from the bottom of a bottom-up DIB.
    int top = dib.TopDown() ? ySrc : dib.Height() - ySrc - hSrc;
    if (hSrc < 0) top = dib.TopDown() ? ySrc : dib.Height() - ySrc;
    if (!BlitCore(X, Y, W, H, nullptr, nullptr, &dib, xSrc, top, wSrc, hSrc, rop, true, false, 0)) return 0;
    return dib.Height();
}

int CDC::SetDIBitsToDevice(int x, int y, DWORD w, DWORD h, int xSrc, int ySrc, UINT startScan, UINT scanLines,
                           const void* bits, const BITMAPINFO* info, UINT usage) {
    size_t infoSize = DibView::InfoSize(info, usage);
    if (!infoSize) return 0;
    DibView probe;
    probe.Parse(info, infoSize, nullptr, 0, usage);
    size_t rowBytes = probe.Height() ? probe.ImageBytes() / size_t(probe.Height()) : 0;
    return SetDIBitsToDevice(x, y, w, h, xSrc, ySrc, startScan, scanLines, bits, rowBytes * scanLines, info,
                             infoSize, usage);
}

int CDC::SetDIBitsToDevice(int x, int y, DWORD w, DWORD h, int xSrc, int ySrc, UINT startScan, UINT scanLines,
                           const void* bits, size_t bitsSize, const void* info, size_t infoSize, UINT usage) {
    auto g = Log("SetDIBitsToDevice", x, y, w, h, xSrc, ySrc, startScan, scanLines, usage);
    if (!info || infoSize < 12 || scanLines == 0 || w > 0x7FFFFFFF || h > 0x7FFFFFFF || scanLines > 0x7FFFFFFF)
        return 0;
    // The bits hold scanLines rows from startScan: describe just those.
    std::vector<uint8_t> hdr(static_cast<const uint8_t*>(info), static_cast<const uint8_t*>(info) + infoSize);
    uint32_t size = uint32_t(hdr[0]) | (uint32_t(hdr[1]) << 8) | (uint32_t(hdr[2]) << 16) | (uint32_t(hdr[3]) << 24);
    bool topDown = false;
    if (size == 12) {
        hdr[6] = uint8_t(scanLines), hdr[7] = uint8_t(scanLines >> 8);
        if (scanLines > 0xFFFF) return 0;
    } else if (size >= 40 && infoSize >= 12) {
        int32_t fullHeight = int32_t(uint32_t(hdr[8]) | (uint32_t(hdr[9]) << 8) | (uint32_t(hdr[10]) << 16) |
                                     (uint32_t(hdr[11]) << 24));
        topDown = fullHeight < 0;
        int32_t lines = topDown ? -int32_t(scanLines) : int32_t(scanLines);
        for (int i = 0; i < 4; ++i) hdr[8 + i] = uint8_t(uint32_t(lines) >> (8 * i));
    } else {
        return 0;
    }
    std::vector<PALETTEENTRY> pal = DcPalette(st_.palette);
    DibView dib;
    if (!dib.Parse(hdr.data(), hdr.size(), bits, bitsSize, usage, &pal)) return 0;
    CPoint p = ToDevPt(x, y);
    // Destination row r shows DIB row ySrc + h - 1 - r (counted from the
    // bottom); the view holds rows startScan .. startScan + scanLines - 1.
    int top = topDown ? ySrc - int(startScan) : int(startScan) + int(scanLines) - ySrc - int(h);
    if (!BlitCore(p.x, p.y, int(w), int(h), nullptr, nullptr, &dib, xSrc, top, int(w), int(h), SRCCOPY, true, false,
                  0))
        return 0;
    return int(scanLines);
}

int StretchDIBits(HDC dc, int x, int y, int w, int h, int xSrc, int ySrc, int wSrc, int hSrc, const void* bits,
                  const BITMAPINFO* info, UINT usage, DWORD rop) {
    return dc ? dc->StretchDIBits(x, y, w, h, xSrc, ySrc, wSrc, hSrc, bits, info, usage, rop) : 0;
}

int SetDIBitsToDevice(HDC dc, int x, int y, DWORD w, DWORD h, int xSrc, int ySrc, UINT startScan, UINT scanLines,
                      const void* bits, const BITMAPINFO* info, UINT usage) {
    return dc ? dc->SetDIBitsToDevice(x, y, w, h, xSrc, ySrc, startScan, scanLines, bits, info, usage) : 0;
}
