// Virtual fonts: the VF file's font definitions become the font's local
// fonts, and each character's packet is rewritten into the DVI instructions
// the page interpreter plays, with every distance scaled to DVI units.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "dvilib/DviOpcodes.h"
#include "dvilib/VrDviFont.h"

// Bounded big-endian reader over the bytes of a VF file.
struct VrDvi::ItrnFont::Cursor {
    const unsigned char* p;
    uint64_t n;
    uint64_t at = 0;
    bool bad = false;

    uint64_t Left() const { return n - at; }
    uint32_t U(int k) {
        uint32_t v = 0;
        for (int i = 0; i < k; ++i) {
            if (at >= n) {
                bad = true;
                return 0;
            }
            v = v << 8 | p[at++];
        }
        return v;
    }
    int32_t S(int k) {
        uint32_t v = U(k);
        if (k < 4 && (v & (1u << (8 * k - 1)))) v |= ~0u << (8 * k);
        return int32_t(v);
    }
    bool Skip(uint64_t k) {
        if (k > Left()) {
            bad = true;
            at = n;
            return false;
        }
        at += k;
        return true;
    }
    String8 Text(unsigned k) {
        if (k > Left()) {
            bad = true;
            at = n;
            return String8::Null;
        }
        std::string s(reinterpret_cast<const char*>(p + at), k);
        at += k;
        return String8(s.c_str());
    }
};

namespace {
constexpr int kVfId = 202;
// Virtual font files larger than this are not read.
constexpr long kMaxVfFile = 64L << 20;
} // namespace

void VrDvi::ItrnFont::LoadVf(const String8& path) {
    size_t nc = charIndex.size();
    isVirtual = 1;
    packetOffset.assign(nc, -1);
    packetLength.assign(nc, 0);
    packetData.clear();
    localFonts.clear();
    firstLocalFont = -1;
    if (LoadVfFile(path)) {
        packetData.push_back(0);  // an empty last packet still has an address
        return;
    }
    isVirtual = 0;
    packetOffset.clear();
    packetLength.clear();
    packetData.clear();
    packetData.shrink_to_fit();
    localFonts.clear();
    firstLocalFont = -1;
}

int VrDvi::ItrnFont::LoadVfFile(const String8& path) {
    String8 metrics = source;
    source = path;
    Tfmifstream in(path.c_str());
    if (!in.is_open()) return Refuse("the virtual font cannot be opened");
    long size = in.FileSize();
    if (size < 0 || size > kMaxVfFile) return Refuse("the virtual font is too large");
    std::vector<unsigned char> bytes(size_t(size) + 1);
    in.read(reinterpret_cast<char*>(bytes.data()), size);
    if (in.gcount() != size) return Refuse("the virtual font cannot be read");
    Cursor cur{bytes.data(), uint64_t(size)};

    if (cur.U(1) != dviop::Pre || cur.U(1) != kVfId) return Refuse("not a virtual font file");
    cur.Skip(cur.U(1));
    uint32_t cs = cur.U(4);
    cur.U(4);  // design size
    if (cur.bad) return Refuse("the virtual font is cut short");
    if (cs && checksum && cs != checksum) return Refuse("the virtual font's checksum differs from its metrics'");

    for (;;) {
        unsigned op = cur.U(1);
        if (cur.bad) return Refuse("the virtual font is cut short");
        if (op == dviop::Post) break;
        if (op >= dviop::FntDef1 && op <= dviop::FntDef4) {
            unsigned k = cur.U(int(op - dviop::FntDef1 + 1));
            LoadVfFntDef(scaledSize, cur, k);
        } else if (op <= 242) {
            uint32_t length, code;
            if (op < 242) {
                length = op;
                code = cur.U(1);
                cur.U(3);
            } else {
                length = cur.U(4);
                code = cur.U(4);
                cur.U(4);
            }
            if (cur.bad || length > cur.Left()) return Refuse("the virtual font is cut short");
            if (code >= bc && code <= ec) LoadVfCharPacket(scaledSize, cur.p + cur.at, code, length);
            cur.Skip(length);
        } else {
            return Refuse("an undefined command in the virtual font");
        }
        if (cur.bad) return Refuse("the virtual font is cut short");
    }
    source = metrics;
    for (size_t k = 0; k < charIndex.size(); ++k)
        if ((charIndex[k] != 0) != (packetOffset[k] >= 0)) {
            source = path;
            return Refuse("the virtual font's characters differ from its metrics'");
        }
    return 1;
}

void VrDvi::ItrnFont::LoadVfFntDef(int size, Cursor& in, unsigned number) {
    in.U(4);  // checksum
    int32_t s = in.S(4);
    uint32_t d = in.U(4);
    unsigned a = in.U(1), l = in.U(1);
    String8 fontArea = in.Text(a);
    String8 fontName = in.Text(l);
    if (in.bad || number >= unsigned(kLocalFontIndexSize)) return;
    // The design size is a fix_word in points; shifted it is in scaled
    // points, the DVI unit of TeX's files.
    ItrnFont* f = owner->LoadItrnFont(fontArea, fontName, Scaler(size)(s), d >> 4);
    auto it = std::lower_bound(localFonts.begin(), localFonts.end(), number,
                               [](const std::pair<unsigned, ItrnFont*>& e, unsigned key) { return e.first < key; });
    if (it != localFonts.end() && it->first == number) it->second = f;
    else localFonts.insert(it, {number, f});
    if (firstLocalFont < 0) firstLocalFont = int(number);
}

// Rewrites one packet. Instructions the interpreter cannot play (bop, eop,
// definitions, set3/4 and put3/4, fonts numbered 65536 and up) and packets
// that would grow past kMaxPacket bytes leave the character without one.
void VrDvi::ItrnFont::LoadVfCharPacket(int size, const unsigned char* packet, unsigned code, unsigned length) {
    using namespace dviop;
    size_t slot = code - bc;
    packetOffset[slot] = -1;
    packetLength[slot] = 0;
    Scaler scale(size);
    Cursor in{packet, length};
    std::vector<unsigned char> out;
    auto put = [&](unsigned v, int k) {
        for (int i = k - 1; i >= 0; --i) out.push_back((unsigned char)(v >> (8 * i)));
    };
    auto move = [&](uint8_t to, int k) {
        put(to, 1);
        put(uint32_t(scale(in.S(k))), 4);
    };
    while (in.Left() > 0) {
        unsigned op = in.U(1);
        if (op <= SetChar127 || (op >= FntNum0 && op <= FntNum63) || op == Nop || op == Push || op == Pop ||
            op == W0 || op == X0 || op == Y0 || op == Z0) {
            put(op, 1);
        } else if (op == Set1 || op == Put1 || op == Fnt1) {
            put(op, 1);
            put(in.U(1), 1);
        } else if (op == Set2 || op == Put2 || op == Fnt2) {
            put(op, 1);
            put(in.U(2), 2);
        } else if (op == Fnt3 || op == Fnt4) {
            uint32_t k = in.U(op == Fnt3 ? 3 : 4);
            if (k >= 65536) return;
            put(Fnt2, 1);
            put(k, 2);
        } else if (op >= Right1 && op <= Right4) {
            move(Right4, int(op - Right1 + 1));
        } else if (op >= W1 && op <= W4) {
            move(W4, int(op - W1 + 1));
        } else if (op >= X1 && op <= X4) {
            move(X4, int(op - X1 + 1));
        } else if (op >= Down1 && op <= Down4) {
            move(Down4, int(op - Down1 + 1));
        } else if (op >= Y1 && op <= Y4) {
            move(Y4, int(op - Y1 + 1));
        } else if (op >= Z1 && op <= Z4) {
            move(Z4, int(op - Z1 + 1));
        } else if (op == SetRule || op == PutRule) {
            put(op, 1);
            put(uint32_t(scale(in.S(4))), 4);
            put(uint32_t(scale(in.S(4))), 4);
        } else if (op >= Xxx1 && op <= Xxx4) {
            uint32_t k = in.U(int(op - Xxx1 + 1));
            if (in.bad || k > in.Left() || k > unsigned(kMaxPacket)) return;
            put(Xxx4, 1);
            put(k, 4);
            out.insert(out.end(), in.p + in.at, in.p + in.at + k);
            in.Skip(k);
        } else {
            return;  // set3, set4, put3, put4, bop, eop, 243 and up
        }
        if (in.bad || out.size() > size_t(kMaxPacket)) return;
    }
    packetOffset[slot] = int(packetData.size());
    packetLength[slot] = int(out.size());
    packetData.insert(packetData.end(), out.begin(), out.end());
}
