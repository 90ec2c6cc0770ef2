// Metric files: TeX's TFM and Omega's OFM levels 0 and 1. Each is read whole
// into memory once its length word has been checked against its counts and
// the file's size, then decoded into one set of tables that is checked index
// by index before anything is scaled.
#include <strings.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "dvilib/LigatureLetters.h"
#include "dvilib/VrDviFont.h"

namespace {
struct Buf;
} // namespace

struct VrDvi::ItrnFont::Tables {
    struct Char {
        unsigned width = 0, height = 0, depth = 0, italic = 0, tag = 0, rem = 0;
    };
    using LigKern = ligature::Step;
    std::vector<uint32_t> header;
    unsigned bc = 1, ec = 0;
    std::vector<Char> chars;
    std::vector<int32_t> w, h, d, i;
    // The lig/kern program is checked step by step for TFM files; for OFM
    // files only the characters' entries into it.
    std::vector<LigKern> ligKern;
    uint64_t nl = 0, nk = 0;
    std::vector<std::array<unsigned, 4>> ext;

    // OFM: the character entry at byte `at`.
    static Char OfmChar(const Buf& f, uint64_t at);
    // OFM: the width, height, depth and italic tables, the lig/kern counts
    // and the extensible recipes, one after another from word `at`.
    void ReadOfmRest(const Buf& f, uint64_t at, uint64_t nw, uint64_t nh, uint64_t nd, uint64_t ni,
                     uint64_t nl, uint64_t nk, uint64_t ne);
};

namespace {

enum Tag { NoTag = 0, LigTag = 1, ListTag = 2, ExtTag = 3 };

// Big-endian reads from a buffer whose length the caller has checked.
struct Buf {
    std::vector<unsigned char> b;
    unsigned U8(uint64_t at) const { return b[at]; }
    unsigned U16(uint64_t at) const { return unsigned(b[at]) << 8 | b[at + 1]; }
    uint32_t U32(uint64_t at) const { return uint32_t(U16(at)) << 16 | U16(at + 2); }
    std::vector<int32_t> Words(uint64_t word, uint64_t n) const {
        std::vector<int32_t> v(n);
        for (uint64_t k = 0; k < n; ++k) v[k] = int32_t(U32(4 * (word + k)));
        return v;
    }
};

// Reads the first len bytes of the file; false when it holds fewer.
bool ReadAll(VrDvi::Tfmifstream& in, uint64_t len, Buf& out) {
    in.clear();
    in.seekg(0);
    out.b.resize(len);
    in.read(reinterpret_cast<char*>(out.b.data()), std::streamsize(len));
    return uint64_t(in.gcount()) == len;
}

bool EndsWithOfm(const String8& path) {
    int n = path.GetLength();
    return n >= 4 && strcasecmp(path.c_str() + n - 4, ".ofm") == 0;
}

} // namespace

VrDvi::ItrnFont::Tables::Char VrDvi::ItrnFont::Tables::OfmChar(const Buf& f, uint64_t at) {
    Char c;
    c.width = f.U16(at);
    c.height = f.U8(at + 2);
    c.depth = f.U8(at + 3);
    c.italic = f.U8(at + 4);
    c.tag = f.U8(at + 5) & 3;
    c.rem = f.U16(at + 6);
    return c;
}

void VrDvi::ItrnFont::Tables::ReadOfmRest(const Buf& f, uint64_t at, uint64_t nw, uint64_t nh, uint64_t nd,
                                          uint64_t ni, uint64_t nl, uint64_t nk, uint64_t ne) {
    w = f.Words(at, nw);
    h = f.Words(at += nw, nh);
    d = f.Words(at += nh, nd);
    i = f.Words(at += nd, ni);
    at += ni;
    this->nl = nl;
    this->nk = nk;
    at += 2 * nl + nk;
    for (uint64_t k = 0; k < ne; ++k) {
        uint64_t p = 4 * (at + 2 * k);
        ext.push_back({f.U16(p), f.U16(p + 2), f.U16(p + 4), f.U16(p + 6)});
    }
}

int VrDvi::ItrnFont::LoadTfm(const String8& path) {
    if (EndsWithOfm(path)) return LoadOfm(path);
    source = path;
    Tfmifstream in(path.c_str());
    if (!in.is_open()) return Refuse("the metric file cannot be opened");
    long size = in.FileSize();
    Buf head;
    if (!ReadAll(in, 24, head)) return Refuse("the metric file is too short");
    unsigned lf = head.U16(0), lh = head.U16(2), bc = head.U16(4), ec = head.U16(6);
    unsigned nw = head.U16(8), nh = head.U16(10), nd = head.U16(12), ni = head.U16(14);
    unsigned nl = head.U16(16), nk = head.U16(18), ne = head.U16(20), np = head.U16(22);
    if (bc > ec + 1 || ec > 255) return Refuse("the character range is invalid");
    if (nw > 256) return Refuse("the width table is too long");
    if (long(lf) != 6 + long(lh) + (long(ec) - long(bc) + 1) + nw + nh + nd + ni + nl + nk + ne + np)
        return Refuse("the file length does not match the table sizes");
    if (long(lf) * 4 > size) return Refuse("the metric file is cut short");
    Buf f;
    if (!ReadAll(in, uint64_t(lf) * 4, f)) return Refuse("the metric file cannot be read");

    Tables t;
    t.bc = bc;
    t.ec = ec;
    uint64_t at = 6;
    for (unsigned k = 0; k < lh; ++k) t.header.push_back(f.U32(4 * (at + k)));
    at += lh;
    unsigned nc = ec + 1 - bc;
    t.chars.resize(nc);
    for (unsigned k = 0; k < nc; ++k) {
        uint64_t p = 4 * (at + k);
        Tables::Char& c = t.chars[k];
        c.width = f.U8(p);
        c.height = f.U8(p + 1) >> 4;
        c.depth = f.U8(p + 1) & 15;
        c.italic = f.U8(p + 2) >> 2;
        c.tag = f.U8(p + 2) & 3;
        c.rem = f.U8(p + 3);
    }
    at += nc;
    t.w = f.Words(at, nw);
    t.h = f.Words(at += nw, nh);
    t.d = f.Words(at += nh, nd);
    t.i = f.Words(at += nd, ni);
    at += ni;
    for (unsigned k = 0; k < nl; ++k) {
        uint64_t p = 4 * (at + k);
        t.ligKern.push_back({f.U8(p), f.U8(p + 1), f.U8(p + 2), f.U8(p + 3)});
    }
    t.nl = nl;
    t.nk = nk;
    at += nl + nk;
    for (unsigned k = 0; k < ne; ++k) {
        uint64_t p = 4 * (at + k);
        t.ext.push_back({f.U8(p), f.U8(p + 1), f.U8(p + 2), f.U8(p + 3)});
    }
    if (!ReadTables(t)) return 0;
    ReadTTFHeader(t.header);
    return 1;
}

int VrDvi::ItrnFont::LoadOfm(const String8& path) {
    source = path;
    Tfmifstream in(path.c_str());
    if (!in.is_open()) return Refuse("the metric file cannot be opened");
    uint32_t level = uint32_t(in.ReadUInt32());
    if (!in.Good()) return Refuse("the metric file is too short");
    if (level == 0) return LoadOfmLevel0(in);
    if (level == 1) return LoadOfmLevel1(in);
    return Refuse("unknown OFM level");
}

int VrDvi::ItrnFont::LoadOfmLevel0(Tfmifstream& in) {
    long size = in.FileSize();
    Buf head;
    if (!ReadAll(in, 14 * 4, head)) return Refuse("the metric file is too short");
    uint64_t v[14];
    for (int k = 0; k < 14; ++k) v[k] = head.U32(4 * uint64_t(k));
    uint64_t lf = v[1], lh = v[2], bc = v[3], ec = v[4], nw = v[5], nh = v[6], nd = v[7], ni = v[8];
    uint64_t nl = v[9], nk = v[10], ne = v[11], np = v[12];
    if (bc > ec + 1 || ec >= 65536) return Refuse("the character range is invalid");
    if (nw >= 65536) return Refuse("the width table is too long");
    uint64_t nc = ec + 1 - bc;
    // 64-bit sums of 32-bit counts cannot wrap.
    if (lf != 14 + lh + 2 * nc + nw + nh + nd + ni + 2 * nl + nk + 2 * ne + np)
        return Refuse("the file length does not match the table sizes");
    if (size < 0 || lf * 4 > uint64_t(size)) return Refuse("the metric file is cut short");
    Buf f;
    if (!ReadAll(in, lf * 4, f)) return Refuse("the metric file cannot be read");

    Tables t;
    t.bc = unsigned(bc);
    t.ec = unsigned(ec);
    uint64_t at = 14;
    for (uint64_t k = 0; k < lh; ++k) t.header.push_back(f.U32(4 * (at + k)));
    at += lh;
    t.chars.resize(nc);
    for (uint64_t k = 0; k < nc; ++k)
        t.chars[k] = Tables::OfmChar(f, 4 * (at + 2 * k));
    t.ReadOfmRest(f, at + 2 * nc, nw, nh, nd, ni, nl, nk, ne);
    return ReadTables(t);
}

int VrDvi::ItrnFont::LoadOfmLevel1(Tfmifstream& in) {
    // The header has 29 words: the level, lf, lh, bc, ec, nw, nh, nd, ni,
    // nl, nk, ne, np, the font direction, nco (first word of the character
    // table), ncw (its words), npc (parameters per character) and the sizes
    // of the tables that follow the parameters.
    long size = in.FileSize();
    Buf head;
    if (!ReadAll(in, 29 * 4, head)) return Refuse("the metric file is too short");
    uint64_t v[29];
    for (int k = 0; k < 29; ++k) v[k] = head.U32(4 * uint64_t(k));
    uint64_t lf = v[1], lh = v[2], bc = v[3], ec = v[4], nw = v[5], nh = v[6], nd = v[7], ni = v[8];
    uint64_t nl = v[9], nk = v[10], ne = v[11], np = v[12], nco = v[14], ncw = v[15], npc = v[16];
    if (bc > ec + 1 || ec >= 65536) return Refuse("the character range is invalid");
    if (nw >= 65536) return Refuse("the width table is too long");
    // The tables of the remaining header counts follow the parameters and
    // are not read; the length word must cover everything before them.
    if (nco != 29 + lh || lf < nco + ncw + nw + nh + nd + ni + 2 * nl + nk + 2 * ne + np)
        return Refuse("the file length does not match the table sizes");
    if (size < 0 || lf * 4 > uint64_t(size)) return Refuse("the metric file is cut short");
    if (npc >= 65536) return Refuse("the character table is invalid");
    Buf f;
    if (!ReadAll(in, lf * 4, f)) return Refuse("the metric file cannot be read");

    Tables t;
    t.bc = unsigned(bc);
    t.ec = unsigned(ec);
    for (uint64_t k = 0; k < lh; ++k) t.header.push_back(f.U32(4 * (29 + k)));
    uint64_t nc = ec + 1 - bc;
    t.chars.resize(nc);
    // Entries of width, height, depth, italic, tag, remainder, a repeat
    // count and npc parameters of two bytes, padded to whole words; each
    // stands for itself and the next `repeat` characters.
    uint64_t entry = (10 + 2 * npc + 3) / 4;
    uint64_t p = nco, end = nco + ncw, c = 0;
    for (; p + entry <= end; p += entry) {
        uint64_t b = 4 * p;
        Tables::Char ci = Tables::OfmChar(f, b);
        uint64_t repeat = f.U16(b + 8);
        if (c + repeat >= nc) return Refuse("the character table runs past the last character");
        for (uint64_t k = 0; k <= repeat; ++k) t.chars[c + k] = ci;
        c += repeat + 1;
    }
    if (p != end) return Refuse("the character table is invalid");
    t.ReadOfmRest(f, end, nw, nh, nd, ni, nl, nk, ne);
    return ReadTables(t);
}

// Checks every index of the tables as TeX does when it loads a font, then
// scales them into the font.
int VrDvi::ItrnFont::ReadTables(Tables& t) {
    if (t.header.size() < 2) return Refuse("the header is too short");
    if (t.header[1] >= 0x80000000u) return Refuse("the design size is out of range");
    if (t.w.empty() || t.h.empty() || t.d.empty() || t.i.empty())
        return Refuse("a metric table is empty");
    for (const auto* table : {&t.w, &t.h, &t.d, &t.i}) {
        if ((*table)[0] != 0) return Refuse("a metric table does not begin with 0");
        for (int32_t v : *table) {
            unsigned b0 = uint32_t(v) >> 24;
            if (b0 != 0 && b0 != 255) return Refuse("a metric value is out of range");
        }
    }
    uint64_t nc = t.chars.size();
    auto exists = [&](unsigned c) { return c >= t.bc && c <= t.ec && t.chars[c - t.bc].width != 0; };
    for (uint64_t k = 0; k < nc; ++k) {
        const Tables::Char& c = t.chars[k];
        if (c.width >= t.w.size() || c.height >= t.h.size() || c.depth >= t.d.size() || c.italic >= t.i.size())
            return Refuse("a character's metric index is out of range");
        if (c.tag == LigTag && c.rem >= t.nl) return Refuse("a character's lig/kern index is out of range");
        if (c.tag == ListTag && !exists(c.rem)) return Refuse("a character's successor does not exist");
        if (c.tag == ExtTag && c.rem >= t.ext.size()) return Refuse("a character's extensible index is out of range");
    }
    for (size_t k = 0; k < t.ligKern.size(); ++k) {
        const Tables::LigKern& l = t.ligKern[k];
        if (l.skip > 128) {
            if (256 * uint64_t(l.op) + l.rem >= t.nl) return Refuse("a lig/kern restart is out of range");
        } else {
            if (l.op >= 128 && 256 * uint64_t(l.op - 128) + l.rem >= t.nk)
                return Refuse("a kern index is out of range");
            if (l.skip < 128 && k + l.skip + 1 >= t.nl) return Refuse("a lig/kern skip is out of range");
        }
    }
    for (const auto& e : t.ext) {
        for (int k = 0; k < 3; ++k)
            if (e[size_t(k)] && !exists(e[size_t(k)])) return Refuse("an extensible piece does not exist");
        if (!exists(e[3])) return Refuse("an extensible piece does not exist");
    }

    checksum = t.header[0];
    designSize = t.header[1] >> 4;
    bc = t.bc;
    ec = t.ec;
    charIndex.resize(nc);
    heightIndex.resize(nc);
    depthIndex.resize(nc);
    italicIndex.resize(nc);
    for (uint64_t k = 0; k < nc; ++k) {
        charIndex[k] = uint16_t(t.chars[k].width);
        heightIndex[k] = uint8_t(t.chars[k].height);
        depthIndex[k] = uint8_t(t.chars[k].depth);
        italicIndex[k] = uint8_t(t.chars[k].italic);
    }
    Scaler scale(scaledSize);
    auto scaled = [&](const std::vector<int32_t>& in, std::vector<int>& out) {
        out.resize(in.size());
        for (size_t k = 0; k < in.size(); ++k) out[k] = scale(in[k]);
    };
    // Height, depth and italic indexes are single bytes; a table beyond
    // 256 entries is never reached.
    if (t.h.size() > 256) t.h.resize(256);
    if (t.d.size() > 256) t.d.resize(256);
    if (t.i.size() > 256) t.i.resize(256);
    scaled(t.w, widths);
    scaled(t.h, heights);
    scaled(t.d, depths);
    scaled(t.i, italics);
    std::vector<int> ligEntry(nc, -1);
    for (uint64_t k = 0; k < nc; ++k)
        if (t.chars[k].tag == LigTag) ligEntry[k] = int(t.chars[k].rem);
    ligatureLetters = ligature::InvertProgram(t.bc, ligEntry, t.ligKern);
    return 1;
}

// The TrueType extension of the TFM header (words 18 and up): sizes, flags
// and names of the faces that draw the font.
void VrDvi::ItrnFont::ReadTTFHeader(const std::vector<uint32_t>& h) {
    uint64_t lh = h.size();
    if (!sbcInfo.faceName.IsNull() || lh < 27 || h[18] != 1 || h[26] == 0) return;
    uint64_t n = h[26];
    uint64_t j = 27 + (n - 1) / 4;  // last word of the name
    if (lh <= j) return;
    Scaler scale(scaledSize);
    auto text = [&](uint64_t word, uint64_t len) {
        std::string s;
        for (uint64_t k = 0; k < len; ++k) {
            char c = char(h[word + k / 4] >> (24 - 8 * (k % 4)));
            if (c == 0) break;
            s.push_back(c);
        }
        return String8(s.c_str());
    };
    auto flags = [](TTFInfo& info, uint32_t w) {
        info.weight = int(w >> 16);
        info.italic = int((w >> 15) & 1);
        info.slant = int((w >> 14) & 1);
    };
    sbcInfo.height = scale(int32_t(h[22]));
    sbcInfo.averageWidth = scale(int32_t(h[23]));
    sbcInfo.vAdjustment = scale(int32_t(h[24]));
    unsigned enc = h[25] & 0xff;
    if (enc <= VrDviTTFMap::EncLast) encoding = VrDviTTFMap::EncodingName(enc);
    flags(sbcInfo, h[25]);
    sbcInfo.faceName = text(27, n);

    if (lh <= j + 5 || h[j + 5] == 0) return;
    uint64_t m = h[j + 5];
    if (lh <= j + 6 + (m - 1) / 4) return;
    dbcInfo.height = scale(int32_t(h[j + 1]));
    dbcInfo.averageWidth = scale(int32_t(h[j + 2]));
    dbcInfo.vAdjustment = scale(int32_t(h[j + 3]));
    flags(dbcInfo, h[j + 4]);
    dbcInfo.faceName = text(j + 6, m);
}
