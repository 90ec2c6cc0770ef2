// Fixtures of the page interpreter tests: metric files made in memory, a
// folder of fonts with a map file, and one-page documents built byte by byte.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "DviTestSupport.h"
#include "RecordingDrawer.h"
#include "dvilib/VrDviFont.h"
#include "dvilib/VrDviTTFMap.h"

namespace dvitest {

// Fix words of the metric files below, of a 10 pt design size.
constexpr int32_t kWideFix = 0x80000;    // 0.5
constexpr int32_t kHeightFix = 0x70000;  // 0.4375
constexpr int32_t kDepthFix = 0x10000;   // 0.0625

// A TFM file for characters bc..ec. widthOf(c) picks the width of each: 0 no
// character, 1 a character of width 0, 2 a character of width kWideFix.
// Every character has height kHeightFix and depth kDepthFix.
inline std::vector<unsigned char> MakeTfm(int bc, int ec, const std::function<int(int)>& widthOf,
                                          unsigned checksum = 0x12345678) {
    const int n = ec - bc + 1;
    const int nw = 3, nh = 2, nd = 2, ni = 1, lh = 2;
    const unsigned counts[12] = {unsigned(6 + lh + n + nw + nh + nd + ni), unsigned(lh), unsigned(bc), unsigned(ec),
                                 unsigned(nw), unsigned(nh), unsigned(nd), unsigned(ni), 0, 0, 0, 0};
    std::vector<unsigned char> b = TfmCounts(counts);
    auto word = [&](uint32_t v) { PutWord(b, v); };
    word(checksum);
    word(10u << 20);
    for (int c = bc; c <= ec; ++c) {
        int w = widthOf(c);
        word(w == 0 ? 0 : uint32_t(w) << 24 | 0x110000);
    }
    word(0), word(0), word(uint32_t(kWideFix));  // widths: 0, 0, wide
    word(0), word(uint32_t(kHeightFix));
    word(0), word(uint32_t(kDepthFix));
    word(0);  // italic
    return b;
}

inline std::vector<unsigned char> FullTfm() {
    return MakeTfm(0, 255, [](int) { return 2; });
}

// FullTfm with the ligatures of Computer Modern's f (f i -> 12, f f -> 11,
// f l -> 13, then 11 i -> 14, 11 l -> 15) and its dash (- - -> 123).
inline std::vector<unsigned char> LigatureTfm() {
    const uint32_t program[][4] = {{0, 'i', 0, 12}, {0, 'f', 0, 11}, {128, 'l', 0, 13},
                                   {0, 'i', 0, 14}, {128, 'l', 0, 15}, {128, '-', 0, 123}};
    const unsigned nl = 6, lh = 2, n = 256;
    const unsigned counts[12] = {6 + lh + n + 3 + 2 + 2 + 1 + nl, lh, 0, 255, 3, 2, 2, 1, nl, 0, 0, 0};
    std::vector<unsigned char> b = TfmCounts(counts);
    auto word = [&](uint32_t v) { PutWord(b, v); };
    word(0x12345678);
    word(10u << 20);
    for (unsigned c = 0; c < n; ++c) {
        const uint32_t start = c == 'f' ? 0 : c == 11 ? 3 : c == '-' ? 5 : 256;
        word(2u << 24 | 0x110000 | (start < 256 ? 0x100 | start : 0));
    }
    word(0), word(0), word(uint32_t(kWideFix));
    word(0), word(uint32_t(kHeightFix));
    word(0), word(uint32_t(kDepthFix));
    word(0);
    for (const auto& s : program) word(s[0] << 24 | s[1] << 16 | s[2] << 8 | s[3]);
    return b;
}

// A folder of fonts (TFM and VF files) and a map file, the reader's TFM and
// VF path, and the map loaded from it.
class FontFolder {
public:
    void Tfm(const std::string& name, const std::vector<unsigned char>& bytes) {
        WriteFile(dir.File(name + ".tfm"), bytes);
    }
    void Vf(const std::string& name, const std::vector<unsigned char>& bytes) {
        WriteFile(dir.File(name + ".vf"), bytes);
    }
    void MapLine(const std::string& line) { map += line + "\n"; }
    DList<String8> Paths() const {
        DList<String8> p;
        p.AddTail(String8(dir.Path().string().c_str()));
        return p;
    }
    // Opens a document on this folder; the map is written and loaded first.
    void Attach(VrDvi& dvi, const std::string& file) {
        WriteFile(dir.File("fonts.map"), std::vector<unsigned char>(map.begin(), map.end()));
        ttfMap.OpenTTFMapFile(dir.File("fonts.map").c_str());
        dvi.SetDviTTFMap(&ttfMap);
        dvi.Open(file.c_str(), Paths(), Paths());
        dvi.NewPageWritten(0);
    }

    TempDir dir;
    std::string map;
    VrDviTTFMap ttfMap;
};

// Bytes of a page body, big-endian operands.
class Bytes {
public:
    Bytes& Op(int op) { return U(op, 1); }
    Bytes& U(uint32_t v, int n) {
        for (int i = n - 1; i >= 0; --i) b.push_back((unsigned char)(v >> (8 * i)));
        return *this;
    }
    Bytes& S(int32_t v, int n) { return U(uint32_t(v), n); }
    Bytes& Text(const std::string& t) {
        b.insert(b.end(), t.begin(), t.end());
        return *this;
    }
    Bytes& Special(const std::string& t) { return Op(dviop::Xxx1).U(uint32_t(t.size()), 1).Text(t); }
    Bytes& Fnt(int k) { return Op(dviop::Fnt2).U(uint32_t(k), 2); }
    Bytes& Rule(int h, int w, bool set = false) { return Op(set ? dviop::SetRule : dviop::PutRule).S(h, 4).S(w, 4); }
    Bytes& Append(const std::vector<unsigned char>& more) {
        b.insert(b.end(), more.begin(), more.end());
        return *this;
    }
    std::vector<unsigned char> b;
};

// A document of one page whose body is given, with fonts defined before it
// (number, name at 10 pt).
inline void WriteDocument(const std::string& path, const std::vector<std::pair<int, std::string>>& fonts,
                          const std::vector<unsigned char>& body) {
    DviBuilder d(path);
    for (const auto& [k, name] : fonts) d.FontDef(dviop::FntDef2, unsigned(k), name, 655360, 655360, 0);
    d.Bop(1);
    for (unsigned char c : body) d.Byte(c);
    d.Eop();
    d.w.WritePostamble(100, 1000000, 1000000);
    for (const auto& [k, name] : fonts) d.FontDef(dviop::FntDef2, unsigned(k), name, 655360, 655360, 0);
    d.w.WritePostPostamble();
    d.Close();
}

// TeX's scaling of a fix word at 10 pt.
inline int Scaled10pt(int32_t fix) {
    VrDvi::ItrnFont::Scaler s(655360);
    return s(fix);
}

} // namespace dvitest
