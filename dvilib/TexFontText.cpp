#include "dvilib/TexFontText.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "dvilib/TexTextEncodings.h"

namespace {

using vrcodes::FontText;

constexpr char16_t kPolishSlash = 0x0337, kNegation = 0x0338;

// Math italic: Greek, harpoons, old-style figures, italic letters.
constexpr char16_t kOML[128] = {
    0x0393, 0x0394, 0x0398, 0x039B, 0x039E, 0x03A0, 0x03A3, 0x03A5,
    0x03A6, 0x03A8, 0x03A9, 0x03B1, 0x03B2, 0x03B3, 0x03B4, 0x03F5,
    0x03B6, 0x03B7, 0x03B8, 0x03B9, 0x03BA, 0x03BB, 0x03BC, 0x03BD,
    0x03BE, 0x03C0, 0x03C1, 0x03C3, 0x03C4, 0x03C5, 0x03D5, 0x03C7,
    // 0x20: psi, omega, the variants, harpoons, hooks (pieces), triangles
    0x03C8, 0x03C9, 0x03B5, 0x03D1, 0x03D6, 0x03F1, 0x03C2, 0x03C6,
    0x21BC, 0x21BD, 0x21C0, 0x21C1, 0x0000, 0x0000, 0x25B9, 0x25C3,
    '0', '1', '2', '3', '4', '5', '6', '7',
    '8', '9', '.', ',', '<', '/', '>', 0x22C6,
    0x2202, 'A', 'B', 'C', 'D', 'E', 'F', 'G',
    'H', 'I', 'J', 'K', 'L', 'M', 'N', 'O',
    'P', 'Q', 'R', 'S', 'T', 'U', 'V', 'W',
    'X', 'Y', 'Z', 0x266D, 0x266E, 0x266F, 0x2323, 0x2322,
    0x2113, 'a', 'b', 'c', 'd', 'e', 'f', 'g',
    'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o',
    'p', 'q', 'r', 's', 't', 'u', 'v', 'w',
    // dotless i and j, Weierstrass p; the vector and tie accents are pieces
    'x', 'y', 'z', 0x0131, 0x0237, 0x2118, 0x0000, 0x0000,
};

// Math symbols: operators, relations, arrows, script capitals, delimiters.
constexpr char16_t kOMS[128] = {
    0x2212, 0x22C5, 0x00D7, 0x2217, 0x00F7, 0x22C4, 0x00B1, 0x2213,
    0x2295, 0x2296, 0x2297, 0x2298, 0x2299, 0x25EF, 0x2218, 0x2219,
    0x224D, 0x2261, 0x2286, 0x2287, 0x2264, 0x2265, 0x2AAF, 0x2AB0,
    0x223C, 0x2248, 0x2282, 0x2283, 0x226A, 0x226B, 0x227A, 0x227B,
    0x2190, 0x2192, 0x2191, 0x2193, 0x2194, 0x2197, 0x2198, 0x2243,
    0x21D0, 0x21D2, 0x21D1, 0x21D3, 0x21D4, 0x2196, 0x2199, 0x221D,
    // prime, infinity, element, owns, triangles, negation, the mapsto piece
    0x2032, 0x221E, 0x2208, 0x220B, 0x25B3, 0x25BD, kNegation, 0x0000,
    0x2200, 0x2203, 0x00AC, 0x2205, 0x211C, 0x2111, 0x22A4, 0x22A5,
    0x2135, 'A', 'B', 'C', 'D', 'E', 'F', 'G',
    'H', 'I', 'J', 'K', 'L', 'M', 'N', 'O',
    'P', 'Q', 'R', 'S', 'T', 'U', 'V', 'W',
    'X', 'Y', 'Z', 0x222A, 0x2229, 0x228E, 0x2227, 0x2228,
    0x22A2, 0x22A3, 0x230A, 0x230B, 0x2308, 0x2309, '{', '}',
    0x27E8, 0x27E9, '|', 0x2016, 0x2195, 0x21D5, '\\', 0x2240,
    0x221A, 0x2A3F, 0x2207, 0x222B, 0x2294, 0x2293, 0x2291, 0x2292,
    0x00A7, 0x2020, 0x2021, 0x00B6, 0x2663, 0x2662, 0x2661, 0x2660,
};

// Math extension: delimiters in four sizes, large operators, radicals;
// the pieces that build larger ones are no characters.
constexpr char16_t kOMX[128] = {
    '(', ')', '[', ']', 0x230A, 0x230B, 0x2308, 0x2309,
    '{', '}', 0x27E8, 0x27E9, '|', 0x2016, '/', '\\',
    '(', ')', '(', ')', '[', ']', 0x230A, 0x230B,
    0x2308, 0x2309, '{', '}', 0x27E8, 0x27E9, '/', '\\',
    '(', ')', '[', ']', 0x230A, 0x230B, 0x2308, 0x2309,
    '{', '}', 0x27E8, 0x27E9, '/', '\\', '/', '\\',
    0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0x27E8, 0x27E9, 0x2A06, 0x2A06,
    0x222E, 0x222E, 0x2A00, 0x2A00, 0x2A01, 0x2A01, 0x2A02, 0x2A02,
    0x2211, 0x220F, 0x222B, 0x22C3, 0x22C2, 0x2A04, 0x22C0, 0x22C1,
    0x2211, 0x220F, 0x222B, 0x22C3, 0x22C2, 0x2A04, 0x22C0, 0x22C1,
    // coproducts, wide hats and tildes (accents), brackets, radicals
    0x2210, 0x2210, 0, 0, 0, 0, 0, 0,
    '[', ']', 0x230A, 0x230B, 0x2308, 0x2309, '{', '}',
    0x221A, 0x221A, 0x221A, 0x221A, 0x221A, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0,
};

// AMS symbols, font A.
constexpr char16_t kMsam[128] = {
    0x22A1, 0x229E, 0x22A0, 0x25A1, 0x25A0, 0x25AA, 0x25CA, 0x29EB,
    0x21BB, 0x21BA, 0x21CC, 0x21CB, 0x229F, 0x22A9, 0x22AA, 0x22A8,
    0x21A0, 0x219E, 0x21C7, 0x21C9, 0x21C8, 0x21CA, 0x21BE, 0x21C2,
    0x21BF, 0x21C3, 0x21A3, 0x21A2, 0x21C6, 0x21C4, 0x21B0, 0x21B1,
    0x21DD, 0x21AD, 0x21AB, 0x21AC, 0x2257, 0x227F, 0x2273, 0x2A86,
    0x22B8, 0x2234, 0x2235, 0x2251, 0x225C, 0x227E, 0x2272, 0x2A85,
    // 0x39: a piece of the dashed arrows
    0x2A95, 0x2A96, 0x22DE, 0x22DF, 0x227C, 0x2266, 0x2A7D, 0x2276,
    0x2035, 0x0000, 0x2253, 0x2252, 0x227D, 0x2267, 0x2A7E, 0x2277,
    // 0x4B, 0x4C: heads of the dashed arrows
    0x228F, 0x2290, 0x22B3, 0x22B2, 0x22B5, 0x22B4, 0x2605, 0x226C,
    0x25BC, 0x25B6, 0x25C0, 0x0000, 0x0000, 0x25B3, 0x25B2, 0x25BD,
    0x2256, 0x22DA, 0x22DB, 0x2A8B, 0x2A8C, 0x00A5, 0x21DB, 0x21DA,
    0x2713, 0x22BB, 0x22BC, 0x2A5E, 0x2220, 0x2221, 0x2222, 0x221D,
    0x2323, 0x2322, 0x22D0, 0x22D1, 0x22D3, 0x22D2, 0x22CF, 0x22CE,
    0x22CB, 0x22CC, 0x2AC5, 0x2AC6, 0x224F, 0x224E, 0x22D8, 0x22D9,
    0x231C, 0x231D, 0x00AE, 0x24C8, 0x22D4, 0x2214, 0x223D, 0x22CD,
    0x231E, 0x231F, 0x2720, 0x2201, 0x22BA, 0x229A, 0x229B, 0x229D,
};

// AMS symbols, font B: negated relations, blackboard capitals, Hebrew,
// variants. The negated forms Unicode has no character for give nothing;
// blackboard capitals outside the 16-bit range are the plain letters.
constexpr char16_t kMsbm[128] = {
    0x2268, 0x2269, 0x2270, 0x2271, 0x226E, 0x226F, 0x2280, 0x2281,
    0x2268, 0x2269, 0x0000, 0x0000, 0x2A87, 0x2A88, 0x22E0, 0x22E1,
    0x22E8, 0x22E9, 0x22E6, 0x22E7, 0x0000, 0x0000, 0x2AB5, 0x2AB6,
    0x2AB9, 0x2ABA, 0x2A89, 0x2A8A, 0x2241, 0x2247, 0x2571, 0x2572,
    0x228A, 0x228B, 0x0000, 0x0000, 0x2ACB, 0x2ACC, 0x2ACB, 0x2ACC,
    0x228A, 0x228B, 0x2288, 0x2289, 0x2226, 0x2224, 0x2224, 0x2226,
    0x22AC, 0x22AE, 0x22AD, 0x22AF, 0x22ED, 0x22EC, 0x22EA, 0x22EB,
    0x219A, 0x219B, 0x21CD, 0x21CF, 0x21CE, 0x21AE, 0x22C7, 0x2205,
    0x2204, 'A', 'B', 0x2102, 'D', 'E', 'F', 'G',
    0x210D, 'I', 'J', 'K', 'L', 'M', 0x2115, 'O',
    0x2119, 0x211A, 0x211D, 'S', 'T', 'U', 'V', 'W',
    'X', 'Y', 0x2124, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,
    0x2132, 0x2141, 0x0000, 0x0000, 0x0000, 0x0000, 0x2127, 0x00F0,
    0x2242, 0x2136, 0x2137, 0x2138, 0x22D6, 0x22D7, 0x22C9, 0x22CA,
    0x2223, 0x2225, 0x2216, 0x223C, 0x2248, 0x224A, 0x2AB8, 0x2AB7,
    0x21B6, 0x21B7, 0x03DD, 0x03F0, 'k', 0x210F, 0x210F, 0x03F6,
};

unsigned short OT1Text(unsigned char code) {
    return code == 0x20 ? kPolishSlash : vrcodes::OT1ToUnicode(code);
}

// OT1's typewriter variant: arrows and a straight quote in place of the
// dash ligatures' neighbours, a visible space, and ASCII throughout.
unsigned short OT1TypewriterText(unsigned char code) {
    switch (code) {
    case 11: return 0x2191;
    case 12: return 0x2193;
    case 13: return '\'';
    case 14: return 0x00A1;
    case 15: return 0x00BF;
    case 0x20: return 0x2423;
    case 0x7F: return 0x00A8;
    default: return code < 0x20 ? vrcodes::OT1ToUnicode(code) : code < 0x80 ? code : 0;
    }
}

struct Family {
    const char* name;
    FontText layout;
};

constexpr Family kFamilies[] = {
    {"cmr", FontText::kOT1},       {"cmb", FontText::kOT1},        {"cmbx", FontText::kOT1},
    {"cmbxsl", FontText::kOT1},    {"cmsl", FontText::kOT1},       {"cmss", FontText::kOT1},
    {"cmssbx", FontText::kOT1},    {"cmssi", FontText::kOT1},      {"cmssdc", FontText::kOT1},
    {"cmssq", FontText::kOT1},     {"cmssqi", FontText::kOT1},     {"cmcsc", FontText::kOT1},
    {"cmdunh", FontText::kOT1},    {"cmff", FontText::kOT1},       {"cmfib", FontText::kOT1},
    {"cminch", FontText::kOT1},    {"cmvtt", FontText::kOT1},      {"lcmss", FontText::kOT1},
    {"lcmssb", FontText::kOT1},    {"lcmssi", FontText::kOT1},     {"cmti", FontText::kOT1Italic},
    {"cmbxti", FontText::kOT1Italic}, {"cmu", FontText::kOT1Italic}, {"cmfi", FontText::kOT1Italic},
    {"cmtt", FontText::kOT1Typewriter}, {"cmsltt", FontText::kOT1Typewriter},
    {"cmitt", FontText::kOT1Typewriter}, {"cmtcsc", FontText::kOT1Typewriter},
    {"cmmi", FontText::kOML},      {"cmmib", FontText::kOML},      {"lmmi", FontText::kOML},
    {"lmmib", FontText::kOML},     {"cmsy", FontText::kOMS},       {"cmbsy", FontText::kOMS},
    {"lmsy", FontText::kOMS},      {"lmbsy", FontText::kOMS},      {"cmex", FontText::kOMX},
    {"lmex", FontText::kOMX},      {"msam", FontText::kMsam},      {"msbm", FontText::kMsbm},
};

// Latin Modern's OT1 fonts: "rm-lm" and a Computer Modern-like family.
FontText LatinModernOT1(std::string_view family) {
    if (family.empty()) return FontText::kAsDrawn;
    if (family[0] == 't') return FontText::kOT1Typewriter;
    if (family == "ri" || family == "bxi" || family == "u") return FontText::kOT1Italic;
    return FontText::kOT1;
}

// Pairs of a mark and the letters it combines with, with their results.
struct Joins {
    char16_t mark;
    const char16_t* letters;
    const char16_t* results;
};

constexpr Joins kJoins[] = {
    {0x0060, u"AEIOUaeiouNnWwYy", u"ÀÈÌÒÙàèìòùǸǹẀẁỲỳ"},
    {0x00B4, u"AEIOUYaeiouyCcNnSsZzLlRrGgWw", u"ÁÉÍÓÚÝáéíóúýĆćŃńŚśŹźĹĺŔŕǴǵẂẃ"},
    {0x02C6, u"AEIOUaeiouCcGgHhJjSsWwYy", u"ÂÊÎÔÛâêîôûĈĉĜĝĤĥĴĵŜŝŴŵŶŷ"},
    {0x02DC, u"ANOanoIiUuEeYy", u"ÃÑÕãñõĨĩŨũẼẽỸỹ"},
    {0x00A8, u"AEIOUaeiouyYWwHhtx", u"ÄËÏÖÜäëïöüÿŸẄẅḦḧẗẍ"},
    {0x02DD, u"OoUu", u"ŐőŰű"},
    {0x02DA, u"AaUuwy", u"ÅåŮůẘẙ"},
    {0x02C7, u"CcDdEeNnRrSsTtZzAaIiOoUuGgKkjLlHh", u"ČčĎďĚěŇňŘřŠšŤťŽžǍǎǏǐǑǒǓǔǦǧǨǩǰĽľȞȟ"},
    {0x02D8, u"AaEeGgIiOoUu", u"ĂăĔĕĞğĬĭŎŏŬŭ"},
    {0x00AF, u"AaEeIiOoUuYyGg", u"ĀāĒēĪīŌōŪūȲȳḠḡ"},
    {0x02D9, u"CcEeGgIZzAaOoBbDdFfHhMmNnPpRrSsTtWwXxYy", u"ĊċĖėĠġİŻżȦȧȮȯḂḃḊḋḞḟḢḣṀṁṄṅṖṗṘṙṠṡṪṫẆẇẊẋẎẏ"},
    {0x00B8, u"CcSsTtGgKkLlNnRrEeDdHh", u"ÇçŞşŢţĢģĶķĻļŅņŖŗȨȩḐḑḨḩ"},
    {0x02DB, u"AaEeIiUuOo", u"ĄąĘęĮįŲųǪǫ"},
    {kPolishSlash, u"Ll", u"Łł"},
    {kNegation, u"=<>≤≥∼≃≈≡⊂⊃⊆⊇∈∋≺≻⪯⪰|∥⊢⊨", u"≠≮≯≰≱≁≄≉≢⊄⊅⊈⊉∉∌⊀⊁⋠⋡∤∦⊬⊭"},
};

} // namespace

namespace vrcodes {

FontText FontTextOf(const char* fontName) {
    if (!fontName) return FontText::kAsDrawn;
    std::string_view name(fontName);
    while (!name.empty() && name.back() >= '0' && name.back() <= '9') name.remove_suffix(1);
    if (name.size() == std::strlen(fontName)) return FontText::kAsDrawn;  // no design size
    constexpr std::string_view kLatinModern = "rm-lm";
    if (name.substr(0, kLatinModern.size()) == kLatinModern) return LatinModernOT1(name.substr(kLatinModern.size()));
    for (const Family& f : kFamilies)
        if (name == f.name) return f.layout;
    return FontText::kAsDrawn;
}

unsigned short FontTextChar(FontText layout, unsigned char code) {
    switch (layout) {
    case FontText::kOT1: return OT1Text(code);
    case FontText::kOT1Italic: return code == '$' ? 0x00A3 : OT1Text(code);
    case FontText::kOT1Typewriter: return OT1TypewriterText(code);
    case FontText::kOML: return code < 128 ? kOML[code] : 0;
    case FontText::kOMS: return code < 128 ? kOMS[code] : 0;
    case FontText::kOMX: return code < 128 ? kOMX[code] : 0;
    case FontText::kMsam: return code < 128 ? kMsam[code] : 0;
    case FontText::kMsbm: return code < 128 ? kMsbm[code] : 0;
    case FontText::kAsDrawn: break;
    }
    return code;
}

bool IsAccentMark(unsigned short c) {
    for (const Joins& j : kJoins)
        if (j.mark == c) return true;
    return false;
}

unsigned short LoneMark(unsigned short mark) {
    return mark == kPolishSlash || mark == kNegation ? 0 : mark;
}

unsigned short JoinAccent(unsigned short mark, unsigned short letter) {
    if (mark != kNegation) {
        if (letter == 0x0131) letter = 'i';
        if (letter == 0x0237) letter = 'j';
    }
    for (const Joins& j : kJoins) {
        if (j.mark != mark) continue;
        const std::u16string_view letters(j.letters), results(j.results);
        const size_t k = letters.find(char16_t(letter));
        return k == std::u16string_view::npos || k >= results.size() ? 0 : results[k];
    }
    return 0;
}

bool MarkCovers(int markX, int markY, int markWidth, int letterX, int letterY, int letterWidth, int letterHeight) {
    const int64_t middle = int64_t(markX) + markWidth / 2;
    if (middle < letterX || middle > int64_t(letterX) + letterWidth) return false;
    return std::llabs(int64_t(letterY) - markY) <= std::max<int64_t>(letterHeight, 0);
}

} // namespace vrcodes
