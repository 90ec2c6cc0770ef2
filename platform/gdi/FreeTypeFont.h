// A FontInstance drawn by FreeType: one face at one size, with the LOGFONT's
// horizontal scale, synthetic bold and oblique where the face lacks them, and
// its rotation.
#pragma once

#include <memory>

#include "platform/gdi/FontEngine.h"
#include "platform/gdi/FontFace.h"
#include "platform/gdi/GlyphCache.h"

class FreeTypeFont final : public FontInstance {
public:
    struct Style {
        int faceWeight = FW_NORMAL;  // of the face as designed
        bool faceItalic = false;
        bool faceKorean = false;
    };
    // Needs FontLibrary::Mutex(). Check Valid() afterwards.
    FreeTypeFont(std::shared_ptr<FontFace> face, const LOGFONT& lf, const Style& style);
    ~FreeTypeFont() override;
    FreeTypeFont(const FreeTypeFont&) = delete;
    FreeTypeFont& operator=(const FreeTypeFont&) = delete;

    bool Valid() const { return size_ != nullptr; }
    // A face that draws the characters from U+1100 up that this face lacks
    // (Korean and other East Asian letters in a Latin face).
    void SetLink(std::shared_ptr<const FreeTypeFont> link) { link_ = std::move(link); }
    bool HasGlyph(WCHAR c) const { return face_->GlyphIndex(c) != 0; }

    const TEXTMETRIC& Metrics() const override { return tm_; }
    int Advance(WCHAR c) const override;
    void Render(const WCHAR* text, int count, const int* dx, Mask& out, int& endX, int& endY) const override;

    // Largest em height in pixels; larger requests are drawn at this size.
    static constexpr double kMaxPixels = 2048;

private:
    std::shared_ptr<const CachedGlyph> Glyph(WCHAR c) const;  // needs the mutex
    CachedGlyph Load(WCHAR c) const;

    std::shared_ptr<FontFace> face_;
    std::shared_ptr<const FreeTypeFont> link_;
    FT_Size size_ = nullptr;
    FT_Pos embolden_ = 0;  // 26.6 pixels, 0 without synthetic bold
    bool transform_ = false;
    FT_Matrix matrix_{0x10000, 0, 0, 0x10000};
    double cos_ = 1, sin_ = 0;  // of the escapement
    TEXTMETRIC tm_;
    mutable GlyphCache cache_;
};
