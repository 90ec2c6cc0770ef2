#include "platform/gdi/FreeTypeFont.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <utility>
#include <vector>

#include FT_OUTLINE_H
#include FT_SIZES_H

namespace {
// Default cell height for lfHeight 0.
constexpr double kDefaultCell = 16;
// Shear of synthetic oblique (tan 12 degrees).
constexpr double kObliqueShear = 0.2126;
// Bits of tmPitchAndFamily: set for a variable pitch, an outline face, a TrueType-like face.
constexpr BYTE kVariablePitch = 0x01, kVector = 0x02, kTrueType = 0x04;
constexpr BYTE kFamilyModern = 0x30;
// Largest coverage mask one Render call builds.
constexpr size_t kMaxMaskBytes = size_t(256) << 20;
constexpr long kMaxCoordinate = 1L << 30;

FT_Fixed ToFixed(double v) { return FT_Fixed(std::lround(v * 65536.0)); }
}  // namespace

FreeTypeFont::FreeTypeFont(std::shared_ptr<FontFace> face, const LOGFONT& lf, const Style& style)
    : face_(std::move(face)) {
    const FontFace& f = *face_;
    const double cellUnits = f.ascent + f.descent;
    double em;
    if (lf.lfEmHeight64 > 0) em = lf.lfEmHeight64 / 64.0;
    else if (lf.lfHeight < 0) em = -double(lf.lfHeight);
    else if (lf.lfHeight > 0) em = double(lf.lfHeight) * f.unitsPerEm / cellUnits;
    else em = kDefaultCell * f.unitsPerEm / cellUnits;
    // FreeType takes sizes in 1/64 pixel.
    em = std::round(std::clamp(em, 1.0, kMaxPixels) * 64) / 64;
    double emX = em;
    const long width = std::labs(long(lf.lfWidth));
    if (width > 0) emX = std::round(std::clamp(width * double(f.unitsPerEm) / f.avgWidth, 1.0, 2 * kMaxPixels) * 64) / 64;

    FT_Face ft = f.Face();
    if (FT_New_Size(ft, &size_) != 0) {
        size_ = nullptr;
        return;
    }
    FT_Activate_Size(size_);
    if (FT_Set_Char_Size(ft, FT_F26Dot6(std::lround(emX * 64)), FT_F26Dot6(std::lround(em * 64)), 72, 72) != 0) {
        FT_Done_Size(size_);
        size_ = nullptr;
        return;
    }
    const double yScale = em / f.unitsPerEm, xScale = emX / f.unitsPerEm;

    const int wantWeight = lf.lfWeight > 0 ? std::min(int(lf.lfWeight), 1000) : FW_NORMAL;
    const bool bold = wantWeight >= 600 && style.faceWeight < 600;
    const bool oblique = lf.lfItalic && !style.faceItalic;
    // Room for a few hundred glyphs at small sizes, some dozens at large ones.
    cache_.SetBudget(std::clamp(size_t(em * emX * 128), size_t(1) << 20, size_t(16) << 20));
    if (bold) embolden_ = std::max<FT_Pos>(64, std::lround(em * 64 / 24));

    int esc = int(lf.lfEscapement % 3600);
    if (esc < 0) esc += 3600;
    switch (esc) {
    case 0: cos_ = 1, sin_ = 0; break;
    case 900: cos_ = 0, sin_ = 1; break;
    case 1800: cos_ = -1, sin_ = 0; break;
    case 2700: cos_ = 0, sin_ = -1; break;
    default: {
        double a = esc * std::numbers::pi / 1800.0;
        cos_ = std::cos(a);
        sin_ = std::sin(a);
    }
    }
    // Shear first, then rotate (FreeType's y grows upwards).
    const double k = oblique ? kObliqueShear : 0.0;
    transform_ = esc != 0 || oblique;
    matrix_.xx = ToFixed(cos_);
    matrix_.xy = ToFixed(cos_ * k - sin_);
    matrix_.yx = ToFixed(sin_);
    matrix_.yy = ToFixed(sin_ * k + cos_);

    tm_.tmAscent = LONG(std::lround(f.ascent * yScale));
    tm_.tmHeight = LONG(std::lround(cellUnits * yScale));
    tm_.tmDescent = tm_.tmHeight - tm_.tmAscent;
    tm_.tmInternalLeading = std::max<LONG>(0, tm_.tmHeight - LONG(std::lround(em)));
    tm_.tmExternalLeading = LONG(std::lround(f.lineGap * yScale));
    const LONG scaledAverage = std::max<LONG>(1, LONG(std::lround(f.avgWidth * xScale)));
    tm_.tmAveCharWidth = width > 0 && std::abs(width - scaledAverage) <= 1 ? LONG(width) : scaledAverage;
    tm_.tmMaxCharWidth = LONG(std::ceil(f.maxAdvance * xScale + embolden_ / 64.0));
    tm_.tmWeight = bold ? wantWeight : style.faceWeight;
    tm_.tmOverhang = 0;
    tm_.tmItalic = (lf.lfItalic || style.faceItalic) ? 1 : 0;
    tm_.tmUnderlined = lf.lfUnderline ? 1 : 0;
    tm_.tmStruckOut = lf.lfStrikeOut ? 1 : 0;
    tm_.tmFirstChar = f.firstChar;
    tm_.tmLastChar = f.lastChar;
    tm_.tmDefaultChar = f.firstChar;
    tm_.tmBreakChar = std::clamp<WCHAR>(0x20, f.firstChar, f.lastChar);
    tm_.tmPitchAndFamily = BYTE((f.fixedPitch ? kFamilyModern : kVariablePitch) | kVector | kTrueType);
    if (f.symbol) tm_.tmCharSet = SYMBOL_CHARSET;
    else if (lf.lfCharSet == HANGUL_CHARSET && style.faceKorean) tm_.tmCharSet = HANGUL_CHARSET;
    else tm_.tmCharSet = ANSI_CHARSET;
}

FreeTypeFont::~FreeTypeFont() {
    std::lock_guard lock(FontLibrary::Mutex());
    cache_.Clear();  // the shared glyph pool is guarded by the lock
    if (size_) FT_Done_Size(size_);
}

CachedGlyph FreeTypeFont::Load(WCHAR c) const {
    if (link_ && c >= 0x1100 && face_->GlyphIndex(c) == 0 && link_->face_->GlyphIndex(c) != 0) return link_->Load(c);
    CachedGlyph g;
    FT_Face ft = face_->Face();
    FT_Activate_Size(size_);
    const FT_UInt index = face_->GlyphIndex(c);
    if (FT_Load_Glyph(ft, index, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT) != 0 &&
        (index == 0 || FT_Load_Glyph(ft, 0, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT) != 0))
        return g;
    FT_GlyphSlot slot = ft->glyph;
    g.advance = int(std::lround(slot->linearHoriAdvance / 65536.0 + embolden_ / 64.0));
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return g;
    if (embolden_) FT_Outline_EmboldenXY(&slot->outline, embolden_, 0);
    if (transform_) FT_Outline_Transform(&slot->outline, &matrix_);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return g;
    const FT_Bitmap& bm = slot->bitmap;
    if (bm.width == 0 || bm.rows == 0) return g;
    if (bm.pixel_mode != FT_PIXEL_MODE_GRAY && bm.pixel_mode != FT_PIXEL_MODE_MONO) return g;
    g.left = slot->bitmap_left;
    g.top = -slot->bitmap_top;
    g.width = int(bm.width);
    g.height = int(bm.rows);
    g.alpha.resize(size_t(g.width) * size_t(g.height));
    for (int y = 0; y < g.height; ++y) {
        const unsigned char* src = bm.buffer + ptrdiff_t(y) * bm.pitch;
        uint8_t* dst = g.alpha.data() + size_t(y) * size_t(g.width);
        if (bm.pixel_mode == FT_PIXEL_MODE_GRAY) {
            const unsigned levels = bm.num_grays > 1 ? bm.num_grays - 1 : 255;
            for (int x = 0; x < g.width; ++x) dst[x] = uint8_t(levels == 255 ? src[x] : src[x] * 255u / levels);
        } else {
            for (int x = 0; x < g.width; ++x) dst[x] = (src[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
        }
    }
    return g;
}

std::shared_ptr<const CachedGlyph> FreeTypeFont::Glyph(WCHAR c) const {
    if (auto g = cache_.Find(c)) return g;
    return cache_.Insert(c, Load(c));
}

int FreeTypeFont::Advance(WCHAR c) const {
    std::lock_guard lock(FontLibrary::Mutex());
    return Glyph(c)->advance;
}

void FreeTypeFont::Render(const WCHAR* text, int count, const int* dx, Mask& out, int& endX, int& endY) const {
    out = Mask{};
    endX = endY = 0;
    if (!text || count <= 0) return;
    struct Placed {
        std::shared_ptr<const CachedGlyph> glyph;
        long x, y;
    };
    std::vector<Placed> placed;
    placed.reserve(size_t(count));
    long pen = 0;
    {
        std::lock_guard lock(FontLibrary::Mutex());
        for (int i = 0; i < count; ++i) {
            auto g = Glyph(text[i]);
            placed.push_back({g, std::lround(pen * cos_), std::lround(-pen * sin_)});
            pen += dx ? dx[i] : g->advance;
        }
    }
    endX = int(std::clamp<long>(std::lround(pen * cos_), INT_MIN, INT_MAX));
    endY = int(std::clamp<long>(std::lround(-pen * sin_), INT_MIN, INT_MAX));

    long left = 0, top = 0, right = 0, bottom = 0;
    bool any = false;
    for (const Placed& p : placed) {
        const CachedGlyph& g = *p.glyph;
        if (g.width == 0) continue;
        long l = p.x + g.left, t = p.y + g.top, r = l + g.width, b = t + g.height;
        if (!any) left = l, top = t, right = r, bottom = b, any = true;
        else left = std::min(left, l), top = std::min(top, t), right = std::max(right, r), bottom = std::max(bottom, b);
    }
    if (!any) return;
    // Runs placed beyond any surface, or too large to hold, draw nothing.
    if (left < -kMaxCoordinate || top < -kMaxCoordinate || right > kMaxCoordinate || bottom > kMaxCoordinate) return;
    const size_t w = size_t(right - left), h = size_t(bottom - top);
    if (w > kMaxMaskBytes / h) return;
    out.left = int(left);
    out.top = int(top);
    out.width = int(w);
    out.height = int(h);
    out.alpha.assign(w * h, 0);
    for (const Placed& p : placed) {
        const CachedGlyph& g = *p.glyph;
        if (g.width == 0) continue;
        const size_t ox = size_t(p.x + g.left - left), oy = size_t(p.y + g.top - top);
        for (int y = 0; y < g.height; ++y) {
            const uint8_t* src = g.alpha.data() + size_t(y) * size_t(g.width);
            uint8_t* dst = out.alpha.data() + (oy + size_t(y)) * w + ox;
            for (int x = 0; x < g.width; ++x) dst[x] = std::max(dst[x], src[x]);
        }
    }
}
