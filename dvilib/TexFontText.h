// The text that search and copying take from the characters of TeX's own
// fonts, apart from how those fonts are drawn: Computer Modern and Latin
// Modern text fonts in OT1 (and its typewriter and italic variants) and the
// math fonts (OML, OMS, OMX, the AMS symbol fonts msam and msbm) are drawn
// by their faces' own glyph codes, while their text is the Unicode character
// each code stands for. Which layout a font has follows from its TeX name.
//
// Accents: TeX sets a letter's accent as a glyph of its own over (or under)
// the letter; JoinAccent gives the one precomposed character of the pair.
#pragma once

#include "dvilib/VrDviApi.h"

namespace vrcodes {

enum class FontText {
    kAsDrawn,       // the character the drawing gives
    kOT1,           // cmr, cmbx, cmsl, cmss, cmcsc, rm-lmr ...
    kOT1Italic,     // OT1 with the sterling sign at the dollar's code: cmti, cmbxti, cmu, rm-lmri
    kOT1Typewriter, // cmtt, cmsltt, cmitt, cmtcsc, rm-lmtt ...
    kOML,           // math italic: cmmi, cmmib, lmmi, lmmib
    kOMS,           // math symbols: cmsy, cmbsy, lmsy, lmbsy
    kOMX,           // math extension: cmex, lmex
    kMsam,
    kMsbm,
};

// The layout of a TeX font by its name (family letters and a design size):
// kAsDrawn for every font not named above.
VRDVI_API FontText FontTextOf(const char* fontName);

// The character of a code in a layout; 0 when the code stands for no
// character (pieces of large delimiters, hooks of arrows). Letters of
// script and blackboard alphabets outside the 16-bit range are the plain
// letters. Two codes are marks that only combine: the slash of the Polish
// L (OT1 32, U+0337) and the negation slash (OMS 54, U+0338).
VRDVI_API unsigned short FontTextChar(FontText layout, unsigned char code);

// A spacing accent TeX sets over or under a letter (grave, acute,
// circumflex, tilde, diaeresis, double acute, ring, caron, breve, macron,
// dot, cedilla, ogonek), or one of the two combining slashes.
VRDVI_API bool IsAccentMark(unsigned short c);
// A mark alone, as text: spacing accents are themselves, the slashes nothing.
VRDVI_API unsigned short LoneMark(unsigned short mark);
// The precomposed character of a mark over a letter (dotless i and j take
// the accent as i and j do), or of the negation slash over a relation
// (= to ≠); 0 when there is none.
VRDVI_API unsigned short JoinAccent(unsigned short mark, unsigned short letter);
// Whether a mark set at (markX, markY) with width markWidth sits over or
// under a letter's box as TeX's \accent places it: the mark's middle within
// the letter's width, its baseline that of the letter or raised (or
// lowered) by no more than the letter's height. Baselines are y values.
VRDVI_API bool MarkCovers(int markX, int markY, int markWidth, int letterX, int letterY, int letterWidth,
                          int letterHeight);

} // namespace vrcodes
