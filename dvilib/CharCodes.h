// Character codes of TeX fonts turned into the characters that outline faces
// understand: the 8r table, the symbol range U+F000-U+F0FF, and the Korean
// encodings, which yield EUC-KR pairs decoded as code page 949.
//
// Code page 949 is decoded through iconv, once, into a table; the process
// locale plays no part. Every function here is pure over constant tables,
// except that the xHan tables and the HLaTeX symbol table are data files
// that the application loads at start-up (LoadCodeTables); until they are
// loaded, characters that need them are not converted.
#pragma once

#include <cstdint>
#include <vector>

#include "dvilib/VrDviApi.h"

namespace vrcodes {

// Code page 949 (a superset of EUC-KR). A lead byte is 0x81..0xFE; codes
// above 0xFF are never lead bytes.
VRDVI_API int IsCp949LeadByte(unsigned code);
// The UTF-16 character of a double-byte pair; 0 (and out untouched) when the
// pair is not a character of the code page.
VRDVI_API int Cp949ToUnicode(unsigned char lead, unsigned char trail, unsigned short& out);

// OT1 positions in the symbol range: 0xF000 + the code shifted past the
// control area (0-9 by 161, 10-32 by 163, 127 to 196).
VRDVI_API unsigned short Ot1ToSymbol(unsigned char code);
// The Unicode value of an 8r code; 0 for the codes 8r leaves empty.
VRDVI_API unsigned short EightrToUnicode(unsigned char code);

// xHan fonts: three DVI bytes b1 b2 b3 of a Hangul syllable of subfont
// series 1 or 2, found by key b1 << 16 | b2 << 8 | b3. 1 and the EUC-KR pair
// when the loaded table holds the key, else 0.
VRDVI_API int XHanToEucKr(int series, unsigned char b1, unsigned char b2, unsigned char b3,
                          unsigned char& lead, unsigned char& trail);
// xHanja and xSymb fonts: the code of subfont `series` (from 1) counted in
// rows of 94 (Hanja, leads 0xCA-0xFE) or 96 (symbols, leads 0xA1-0xAC).
// 1 and the pair when it is a valid pair of that range, else 0.
VRDVI_API int XHanjaToEucKr(int series, unsigned char code, unsigned char& lead, unsigned char& trail);
VRDVI_API int XSymbToEucKr(int series, unsigned char code, unsigned char& lead, unsigned char& trail);

// Unicode subfonts: a font name that ends in two hexadecimal digits after
// at least one other character names the high byte of its characters, the
// code (0-255) the low byte. 1 and the character, else 0 (no suffix, a code
// above 255, or a value that is no character: 0 or a surrogate).
VRDVI_API int UnicodeSubfontChar(const char* fontName, unsigned code, unsigned short& out);

// Rows of the HLaTeX subfont tables: codes from `first` on, up to the next
// row of the same subfont, are consecutive characters of one 94-character
// row of EUC-KR starting at (lead, trail).
struct HLatexRow {
    unsigned char subfont;
    unsigned char first;
    unsigned char lead;
    unsigned char trail;
};
// Table A (symbol subfonts, names with a leading zero "01".."09"), as loaded;
// table B (Hangul, subfonts 0..9) and table C (Hanja, subfonts 10..29).
VRDVI_API std::vector<HLatexRow> HLatexTableA();
VRDVI_API std::vector<HLatexRow> HLatexTableB();
VRDVI_API std::vector<HLatexRow> HLatexTableC();

// Data files of the tables, each a text file of rows of numbers (C syntax:
// decimal, or hexadecimal with 0x), '#' starting a comment:
//   xhan1.tab, xhan2.tab   key lead trail        e.g. 0x0E2200 0xB0 0xA1
//   hlatexa.tab            subfont first lead trail   e.g. 4 0x5D 0xA8 0xB0
// LoadCodeTables reads those present in folder and returns how many it
// read; a file with a bad row is refused whole. A table that was loaded
// stays until another file of its name is read.
VRDVI_API int LoadCodeTables(const char* folder);
// The folder of the installation that holds them.
inline constexpr const char kCodeTableFolder[] = "codetab";
VRDVI_API int LoadXHanTable(int series, const char* file);
VRDVI_API int LoadHLatexTableA(const char* file);
// Drops the loaded tables (tests).
VRDVI_API void ClearCodeTables();

} // namespace vrcodes

// The HLaTeX subfont converter: the subfont number is the run of decimal
// digits that starts at the first digit of the font name. 0 and the EUC-KR
// pair on success; 1 when the name has no digits, the number no table, or the
// code no character in its subfont.
VRDVI_API int HLatexToEucKr(const char* fontName, unsigned char code, unsigned char& lead,
                            unsigned char& trail);
