// Pieces shared by the CDC sources: raster-operation arithmetic, the brush
// sampler and the call log.
#pragma once

#include <cmath>
#include <sstream>
#include <string>
#include <type_traits>

#include "platform/gdi/DC.h"
#include "platform/gdi/GdiObjectData.h"
#include "platform/gdi/PixelBuffer.h"

namespace GdiRop {
// Binary raster operation on device values (ROP2 code 1..16).
inline uint32_t Rop2(int rop2, uint32_t p, uint32_t d) {
    switch (rop2) {
    case R2_BLACK: return 0;
    case R2_NOTMERGEPEN: return ~(p | d);
    case R2_MASKNOTPEN: return ~p & d;
    case R2_NOTCOPYPEN: return ~p;
    case R2_MASKPENNOT: return p & ~d;
    case R2_NOT: return ~d;
    case R2_XORPEN: return p ^ d;
    case R2_NOTMASKPEN: return ~(p & d);
    case R2_MASKPEN: return p & d;
    case R2_NOTXORPEN: return ~(p ^ d);
    case R2_NOP: return d;
    case R2_MERGENOTPEN: return ~p | d;
    case R2_COPYPEN: return p;
    case R2_MERGEPENNOT: return p | ~d;
    case R2_MERGEPEN: return p | d;
    case R2_WHITE: return 0xFFFFFFFFu;
    default: return p;
    }
}

// Ternary raster operation: bit (P << 2 | S << 1 | D) of the table byte.
inline uint32_t Rop3(DWORD rop, uint32_t p, uint32_t s, uint32_t d) {
    uint8_t t = uint8_t(rop >> 16);
    switch (t) {
    case 0x00: return 0;
    case 0xFF: return 0xFFFFFFFFu;
    case 0xCC: return s;
    case 0x88: return s & d;
    case 0xEE: return s | d;
    case 0x66: return s ^ d;
    case 0x44: return s & ~d;
    case 0x33: return ~s;
    case 0x11: return ~(s | d);
    case 0xC0: return p & s;
    case 0xBB: return ~s | d;
    case 0xF0: return p;
    case 0xFB: return p | ~s | d;
    case 0x5A: return p ^ d;
    case 0x55: return ~d;
    case 0xAA: return d;
    case 0xB8: return (p & ~s) | (s & d);
    case 0xE2: return (d & ~s) | (p & s);
    default: {
        uint32_t r = 0;
        for (int i = 0; i < 8; ++i)
            if (t & (1 << i)) r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
        return r;
    }
    }
}
inline bool UsesSource(DWORD rop) { return (((rop >> 2) ^ rop) & 0x330000) != 0; }
inline bool UsesPattern(DWORD rop) { return (((rop >> 4) ^ rop) & 0x0F0000) != 0; }
inline bool UsesDest(DWORD rop) { return (((rop >> 1) ^ rop) & 0x550000) != 0; }
}  // namespace GdiRop

// A brush made ready for one surface: device values per pixel.
struct CDC::Brush {
    enum Kind { None, Solid, Hatch, Pattern } kind = None;
    uint32_t value = 0;     // solid colour, hatch lines
    uint32_t bkValue = 0;   // hatch gaps
    bool opaqueGaps = true;
    int hatch = 0;
    std::vector<uint32_t> pat;  // pattern device values
    int pw = 0, ph = 0;
    int orgX = 0, orgY = 0;

    static bool HatchBit(int hatch, int x, int y) {
        x &= 7, y &= 7;
        switch (hatch) {
        case HS_HORIZONTAL: return y == 7;
        case HS_VERTICAL: return x == 7;
        case HS_FDIAGONAL: return x == y;
        case HS_BDIAGONAL: return x + y == 7;
        case HS_CROSS: return x == 7 || y == 7;
        default: return x == y || x + y == 7;
        }
    }
    // False where the brush leaves the pixel alone.
    bool At(int x, int y, uint32_t& v) const {
        switch (kind) {
        case Solid: v = value; return true;
        case Hatch:
            if (HatchBit(hatch, x - orgX, y - orgY)) {
                v = value;
                return true;
            }
            v = bkValue;
            return opaqueGaps;
        case Pattern: {
            int px = (x - orgX) % pw, py = (y - orgY) % ph;
            if (px < 0) px += pw;
            if (py < 0) py += ph;
            v = pat[size_t(py) * pw + px];
            return true;
        }
        default: return false;
        }
    }
};

namespace GdiLog {
inline void Arg(std::ostringstream& o, const char* s) { o << '"' << (s ? s : "") << '"'; }
inline void Arg(std::ostringstream& o, const std::string& s) { o << '"' << s << '"'; }
inline void Arg(std::ostringstream& o, const RECT& r) {
    o << '{' << r.left << ',' << r.top << ',' << r.right << ',' << r.bottom << '}';
}
inline void Arg(std::ostringstream& o, const POINT& p) { o << '{' << p.x << ',' << p.y << '}'; }
template <class T>
void Arg(std::ostringstream& o, const T& v) {
    if constexpr (std::is_same_v<T, DWORD> || std::is_same_v<T, COLORREF>) {
        o << "0x" << std::hex << v << std::dec;
    } else if constexpr (std::is_arithmetic_v<T>) {
        o << v;
    } else {
        o << "?";
    }
}
std::string Describe(const GdiObject* obj);
}  // namespace GdiLog

template <class... A>
CDC::LogScope CDC::Log(const char* name, const A&... args) const {
    if (!log_) return {nullptr};
    if (logDepth_++ == 0) {
        std::ostringstream o;
        o << name << '(';
        int i = 0;
        ((o << (i++ ? "," : ""), GdiLog::Arg(o, args)), ...);
        o << ')';
        log_->push_back(o.str());
    }
    return {this};
}

// A device coordinate rounded and held within +-1e9.
inline int RoundClamp(double v) {
    if (v > 1e9) return 1000000000;
    if (v < -1e9) return -1000000000;
    return int(std::lround(v));
}
