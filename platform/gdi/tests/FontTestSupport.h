// Helpers of the font engine tests: LOGFONTs, ink boxes of coverage masks,
// temporary folders, and renamed or symbol-mapped copies of installed fonts.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/gdi/FontEngine.h"

namespace fonttest {

inline const char* kDejaVuSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
inline const char* kDejaVuSerif = "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf";

inline LOGFONT Font(const char* face, LONG height, LONG weight = 0, BYTE italic = 0, LONG escapement = 0,
                    LONG width = 0) {
    LOGFONT lf;
    lf.lfHeight = height;
    lf.lfWidth = width;
    lf.lfEscapement = lf.lfOrientation = escapement;
    lf.lfWeight = weight;
    lf.lfItalic = italic;
    lf.lfCharSet = DEFAULT_CHARSET;
    std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return lf;
}

struct TextRun {
    FontInstance::Mask mask;
    int endX = 0, endY = 0;
};

inline TextRun Draw(const FontInstance& font, std::u16string_view text, const std::vector<int>& dx = {}) {
    TextRun r;
    font.Render(text.data(), int(text.size()), dx.empty() ? nullptr : dx.data(), r.mask, r.endX, r.endY);
    return r;
}

inline TextRun Draw(const LOGFONT& lf, std::u16string_view text, const std::vector<int>& dx = {}) {
    return Draw(*FontEngine::Resolve(lf), text, dx);
}

// Box of the pixels at or above the threshold, relative to the reference
// point; right and bottom exclusive.
struct Ink {
    bool any = false;
    int left = 0, top = 0, right = 0, bottom = 0;
    long sum = 0;  // total coverage
};

inline Ink InkOf(const FontInstance::Mask& m, int threshold = 128) {
    Ink ink;
    for (int y = 0; y < m.height; ++y)
        for (int x = 0; x < m.width; ++x) {
            int a = m.alpha[size_t(y) * m.width + x];
            ink.sum += a;
            if (a < threshold) continue;
            int px = m.left + x, py = m.top + y;
            if (!ink.any) {
                ink = Ink{true, px, py, px + 1, py + 1, ink.sum};
            } else {
                ink.left = std::min(ink.left, px);
                ink.top = std::min(ink.top, py);
                ink.right = std::max(ink.right, px + 1);
                ink.bottom = std::max(ink.bottom, py + 1);
            }
        }
    return ink;
}

inline bool SameMask(const FontInstance::Mask& a, const FontInstance::Mask& b) {
    return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height && a.alpha == b.alpha;
}

inline uint8_t At(const FontInstance::Mask& m, int x, int y) {
    x -= m.left;
    y -= m.top;
    if (x < 0 || y < 0 || x >= m.width || y >= m.height) return 0;
    return m.alpha[size_t(y) * m.width + x];
}

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "fonttest-XXXXXX").string();
        if (!mkdtemp(pattern.data())) ADD_FAILURE() << "mkdtemp";
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline uint16_t Get16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b.at(at) << 8 | b.at(at + 1)); }
inline uint32_t Get32(const std::vector<uint8_t>& b, size_t at) { return uint32_t(Get16(b, at)) << 16 | Get16(b, at + 2); }
inline void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b.at(at) = uint8_t(v >> 8);
    b.at(at + 1) = uint8_t(v);
}

// Copies a TrueType file, replacing `from` by `to` (same length, ASCII) in
// its names, in single-byte and UTF-16 form; wideTo, when given, replaces
// the UTF-16 form instead. With symbolMap its Unicode character maps become
// symbol maps (platform 3, encoding 0).
inline bool CopyFont(const std::string& src, const std::string& dst, const std::string& from, const std::string& to,
                     bool symbolMap, const std::u16string& wideTo = {}) {
    if (from.size() != to.size() || (!wideTo.empty() && wideTo.size() != from.size())) return false;
    std::ifstream in(src, std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (b.size() < 12) return false;
    const uint16_t tables = Get16(b, 4);
    for (uint16_t t = 0; t < tables; ++t) {
        const size_t rec = 12 + size_t(t) * 16;
        const std::string tag(b.begin() + rec, b.begin() + rec + 4);
        const size_t off = Get32(b, rec + 8), len = Get32(b, rec + 12);
        if (off + len > b.size()) return false;
        if (tag == "name") {
            std::string wideFrom, wideReplacement;
            for (size_t i = 0; i < from.size(); ++i) {
                const char16_t u = wideTo.empty() ? char16_t(to[i]) : wideTo[i];
                wideFrom += '\0', wideFrom += from[i], wideReplacement += char(u >> 8), wideReplacement += char(u & 0xFF);
            }
            for (const auto& [f, r] : {std::pair{from, to}, std::pair{wideFrom, wideReplacement}}) {
                auto it = b.begin() + off, end = b.begin() + off + len;
                while ((it = std::search(it, end, f.begin(), f.end())) != end) it = std::copy(r.begin(), r.end(), it);
            }
        } else if (tag == "cmap" && symbolMap) {
            const uint16_t n = Get16(b, off + 2);
            for (uint16_t i = 0; i < n; ++i) {
                const size_t e = off + 4 + size_t(i) * 8;
                if (Get16(b, e) == 0 || Get16(b, e) == 3) {
                    Put16(b, e, 3);
                    Put16(b, e + 2, 0);
                }
            }
        }
    }
    std::ofstream out(dst, std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    return bool(out);
}

// Faces an enumeration reports.
struct Seen {
    LOGFONT lf;
    TEXTMETRIC tm;
    DWORD type;
};
struct Collector {
    std::vector<Seen> seen;
    size_t stopAfter = SIZE_MAX;
    static int Proc(const LOGFONT* lf, const TEXTMETRIC* tm, DWORD type, LPARAM data) {
        auto* self = reinterpret_cast<Collector*>(data);
        self->seen.push_back({*lf, *tm, type});
        return self->seen.size() < self->stopAfter ? 1 : 0;
    }
};

inline std::vector<Seen> Enumerate(const char* family, int* result = nullptr) {
    Collector c;
    int r = FontEngine::EnumFontFamilies(family, &Collector::Proc, reinterpret_cast<LPARAM>(&c));
    if (result) *result = r;
    return c.seen;
}

// Path of a TeX file through kpsewhich; empty when it is not found.
inline std::string Kpsewhich(const char* name) {
    std::string cmd = std::string("kpsewhich ") + name;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return {};
    char buf[4096] = {};
    std::string out = fgets(buf, sizeof buf, p) ? buf : "";
    pclose(p);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

}  // namespace fonttest
