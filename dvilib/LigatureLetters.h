// The letters behind a font's ligatures. TeX joins letter pairs into one
// character as the font's lig/kern program says (cmr10: f + i -> code 12,
// code 11 (ff) + i -> code 14). Inverted, the program tells which Latin
// letters a character stands for, so that search and copying see "fi" where
// the page shows one glyph. Only plain ligatures (=:) of pairs whose letters
// are all ASCII letters count: the dashes and quotes fonts also build by
// ligature, and ligatures that keep one of their pair, are not letters.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "dvilib/VrDviApi.h"

namespace ligature {

// One step of a lig/kern program, as the metric file stores it.
struct Step {
    unsigned skip = 0, next = 0, op = 0, rem = 0;
};

// Ligatures of ligatures are followed up to this many letters.
inline constexpr size_t kMaxLetters = 8;

// The characters of a font that stand for letters, sorted by code, each with
// its letters. entry[k] is where the program of character bc + k starts, -1
// for none; entries and steps outside the program are passed over.
VRDVI_API std::vector<std::pair<unsigned, std::string>> InvertProgram(unsigned bc, const std::vector<int>& entry,
                                                                      const std::vector<Step>& program);

} // namespace ligature
