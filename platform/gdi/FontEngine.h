// LOGFONT, TEXTMETRIC, the font constants, and the font engine behind CFont
// and the text calls of CDC: faces found through fontconfig, glyphs from
// FreeType. Every size here is in device pixels; the DC converts logical
// units before it asks.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/core/WinTypes.h"

constexpr int LF_FACESIZE = 32;

struct LOGFONT {
    LONG lfHeight = 0;  // < 0: em height; > 0: cell height (ascent + descent); 0: default size
    LONG lfWidth = 0;   // average character width; 0: the face's own
    LONG lfEscapement = 0;   // tenths of a degree, counter-clockwise
    LONG lfOrientation = 0;
    LONG lfWeight = 0;  // 0 or 100..900
    BYTE lfItalic = 0;
    BYTE lfUnderline = 0;
    BYTE lfStrikeOut = 0;
    BYTE lfCharSet = 0;
    BYTE lfOutPrecision = 0;
    BYTE lfClipPrecision = 0;
    BYTE lfQuality = 0;
    BYTE lfPitchAndFamily = 0;
    char lfFaceName[LF_FACESIZE] = {};
    // This layer's own: the em height in 1/64 unit. When positive it sets the
    // drawn size in place of lfHeight, which keeps the whole-unit value for
    // whoever reads the font back.
    LONG lfEmHeight64 = 0;
};
using LOGFONTA = LOGFONT;

struct TEXTMETRIC {
    LONG tmHeight = 0;
    LONG tmAscent = 0;
    LONG tmDescent = 0;
    LONG tmInternalLeading = 0;
    LONG tmExternalLeading = 0;
    LONG tmAveCharWidth = 0;
    LONG tmMaxCharWidth = 0;
    LONG tmWeight = 0;
    LONG tmOverhang = 0;
    LONG tmDigitizedAspectX = 96;
    LONG tmDigitizedAspectY = 96;
    WCHAR tmFirstChar = 0;
    WCHAR tmLastChar = 0;
    WCHAR tmDefaultChar = 0;
    WCHAR tmBreakChar = 0;
    BYTE tmItalic = 0;
    BYTE tmUnderlined = 0;
    BYTE tmStruckOut = 0;
    BYTE tmPitchAndFamily = 0;
    BYTE tmCharSet = 0;
};

constexpr int FW_DONTCARE = 0;
constexpr int FW_NORMAL = 400;
constexpr int FW_BOLD = 700;

constexpr BYTE ANSI_CHARSET = 0;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE SYMBOL_CHARSET = 2;
constexpr BYTE HANGUL_CHARSET = 129;
constexpr BYTE OEM_CHARSET = 255;

constexpr DWORD RASTER_FONTTYPE = 0x0001;
constexpr DWORD DEVICE_FONTTYPE = 0x0002;
constexpr DWORD TRUETYPE_FONTTYPE = 0x0004;

// Called once per enumerated face; returning 0 stops the enumeration.
using FONTENUMPROC = int (*)(const LOGFONT* lf, const TEXTMETRIC* tm, DWORD fontType, LPARAM data);

// A face at one size, weight, slant and rotation.
class FontInstance {
public:
    virtual ~FontInstance() = default;

    // Metrics in device pixels (unrotated).
    virtual const TEXTMETRIC& Metrics() const = 0;
    // Advance width of one character in device pixels, before rotation.
    virtual int Advance(WCHAR c) const = 0;

    // Antialiased coverage of a run whose reference point (left end of the
    // baseline) is at (0, 0), y growing downwards. Glyph i starts at the sum
    // of the advances before it, or of dx[0..i-1] when dx is given, along the
    // baseline rotated by the escapement. alpha holds width * height bytes,
    // row by row; (left, top) is the mask's top-left relative to the
    // reference point. endX, endY: where the baseline ends (for TA_UPDATECP).
    struct Mask {
        int left = 0;
        int top = 0;
        int width = 0;
        int height = 0;
        std::vector<uint8_t> alpha;
    };
    virtual void Render(const WCHAR* text, int count, const int* dx, Mask& out, int& endX, int& endY) const = 0;
};

namespace FontEngine {
// The installed face that best matches lf (lfHeight and lfWidth in device
// pixels); a face that is not installed falls back to the default face.
// Never null.
std::shared_ptr<const FontInstance> Resolve(const LOGFONT& lf);

// Enumerates installed faces: every family when family is null or empty,
// else the faces of that family (matched case-insensitively, also by
// PostScript name). Outline faces report TRUETYPE_FONTTYPE. Returns the last
// value of the callback, or 0 when nothing was enumerated.
int EnumFontFamilies(const char* family, FONTENUMPROC proc, LPARAM data);

// Faces of a font file, added for the run of this process; the number of
// faces added (0 on failure). RemoveFontResource takes them away again.
int AddFontResource(const char* path);
BOOL RemoveFontResource(const char* path);
}  // namespace FontEngine
