// Scanners of special texts, shared by the reader, the drawer and the
// viewer. A "blank" is any byte from 1 to 32; texts end at their NUL.
// Numbers are read in the C locale's form whatever the process locale.
#pragma once

#include "base/String8.h"
#include "dvilib/VrDviApi.h"
#include "platform/core/WinTypes.h"

namespace vrspecial {

// The first byte that is not a blank (possibly the NUL).
VRDVI_API unsigned char* SkipBlanks(unsigned char* p);
// 1 when text starts with keyword, compared without regard to (ASCII) case.
VRDVI_API int IsKeyword(const unsigned char* text, const char* keyword);
// After blanks, the run of bytes above 32 as *word; the position after it,
// or null when there is no such byte.
VRDVI_API unsigned char* NextWord(unsigned char* p, String8* word);
// NextWord, with one pair of enclosing double quotes removed.
VRDVI_API unsigned char* NextWordUnquoted(unsigned char* p, String8* word);
// A decimal integer (leading blanks allowed); the position after it, or null.
VRDVI_API unsigned char* NextInt(unsigned char* p, int* value);
// A real number: spaces, any run of '+' and '-' signs, digits, an optional
// '.' and fraction digits, at least one digit in all. The position after
// it, or null.
VRDVI_API unsigned char* NextReal(unsigned char* p, double* value);
// 1 when only spaces stand up to the NUL.
VRDVI_API int RestIsBlank(const unsigned char* p);
// The colour of three components from 0 to 1 (clamped), red in the low byte.
VRDVI_API COLORREF ColorFromReals(double r, double g, double b);
// Removes one pair of enclosing double quotes from a word of two or more bytes.
VRDVI_API String8 Unquote(const String8& word);

} // namespace vrspecial

// A TeX dimension (a real number directly followed by one of the units sp,
// cc, dd, cm, mm, bp, in, pc, pt) in scaled points. Returns the position
// after the unit, or null for an unknown unit or a value outside the int
// range.
VRDVI_API unsigned char* getdimen(unsigned char* text, int* result);
