#include "dvilib/DirectiveGrammar.h"

#include <cstring>
#include <string>

#include "dvilib/DirectiveScan.h"

namespace vrspecial {

namespace {

// The text between a pair of double quotes at p; *end is set after the
// closing quote.
bool Quoted(unsigned char* p, String8* value, unsigned char** end) {
    if (*p != '"') return false;
    unsigned char* close = reinterpret_cast<unsigned char*>(std::strchr(reinterpret_cast<char*>(p + 1), '"'));
    if (!close) return false;
    *value = String8(std::string(reinterpret_cast<char*>(p + 1), size_t(close - p - 1)).c_str());
    *end = close + 1;
    return true;
}

// "key" then blanks, "=", blanks: the position after them, or null.
unsigned char* KeyEquals(unsigned char* p, const char* key) {
    if (!IsKeyword(p, key)) return nullptr;
    p = SkipBlanks(p + std::strlen(key));
    if (*p != '=') return nullptr;
    return SkipBlanks(p + 1);
}

} // namespace

std::optional<HtmlSpecial> ParseHtml(unsigned char* p) {
    p = SkipBlanks(p);
    if (*p != '<') return std::nullopt;
    ++p;
    HtmlSpecial s;
    if (p[0] == '/' && (p[1] == 'a' || p[1] == 'A')) return s;
    if (*p != 'a' && *p != 'A') return std::nullopt;
    p = SkipBlanks(p + 1);
    unsigned char* end = nullptr;
    if (unsigned char* q = KeyEquals(p, "href")) {
        if (!Quoted(q, &s.reference, &end)) return std::nullopt;
        s.kind = HtmlSpecial::kLink;
        s.target = String8("_self");
        q = SkipBlanks(end);
        if (unsigned char* r = KeyEquals(q, "target")) {
            String8 target;
            if (Quoted(r, &target, &end)) s.target = target;
        }
        return s;
    }
    unsigned char* q = KeyEquals(p, "name");
    if (!q || !Quoted(q, &s.name, &end)) return std::nullopt;
    s.kind = HtmlSpecial::kAnchor;
    return s;
}

std::optional<HypertextSpecial> ParseHypertext(unsigned char* p) {
    HypertextSpecial s;
    for (int& v : s.box)
        if (!(p = NextInt(p, &v))) return std::nullopt;
    p = SkipBlanks(p);
    if (IsKeyword(p, "name")) {
        p = SkipBlanks(p + 4);
        if (*p != '=' || !NextWordUnquoted(p + 1, &s.name) || s.name.GetLength() == 0) return std::nullopt;
        s.anchor = true;
        return s;
    }
    unsigned char* q = KeyEquals(p, "ref");
    if (!q) return std::nullopt;
    q = NextWordUnquoted(q, &s.reference);
    if (!q || s.reference.GetLength() == 0) return std::nullopt;
    s.target = String8("_self");
    q = SkipBlanks(q);
    if (IsKeyword(q, "target")) {
        q = SkipBlanks(q + 6);
        if (*q != '=' || !NextWordUnquoted(q + 1, &s.target)) return std::nullopt;
    }
    return s;
}

std::optional<GraphicsSpecial> ParseGraphics(unsigned char* args, bool wmfOrEps) {
    static const struct {
        const char* word;
        PictureType type;
    } kTypes[] = {{"WMF", kWmf}, {"EPS", kEps}, {"JPEG", kJpeg}, {"JPG", kJpeg},
                  {"GIF", kGif}, {"PNG", kPng}, {"BMP", kBmp}};
    GraphicsSpecial s;
    unsigned char* p = args;
    for (int& d : s.dimen)
        if (!(p = getdimen(SkipBlanks(p), &d))) return std::nullopt;
    p = SkipBlanks(p);
    size_t n = 0;
    for (const auto& t : kTypes) {
        if (wmfOrEps && t.type != kWmf && t.type != kEps) continue;
        const size_t k = std::strlen(t.word);
        if (IsKeyword(p, t.word) && p[k] <= 32) {
            n = k;
            s.type = t.type;
            break;
        }
    }
    if (n == 0) return std::nullopt;
    p = SkipBlanks(p + n);
    if (!*p) return std::nullopt;
    s.name = String8(reinterpret_cast<char*>(p));
    s.nameAt = size_t(p - args);
    return s;
}

std::optional<String8> ParsePlotFile(unsigned char* args) {
    unsigned char* p = SkipBlanks(args);
    if (!IsKeyword(p, "plotfile")) return std::nullopt;
    String8 name;
    if (!NextWord(p + 8, &name) || name.GetLength() == 0) return std::nullopt;
    return name;
}

std::optional<PsfileSpecial> ParsePsfile(unsigned char* p) {
    PsfileSpecial s;
    bool haveFile = false;
    for (;;) {
        p = SkipBlanks(p);
        unsigned char* key = p;
        while (*p > 32 && *p != '=') ++p;
        if (p == key) break;
        const std::string k(reinterpret_cast<char*>(key), size_t(p - key));
        p = SkipBlanks(p);
        if (*p != '=') break;
        p = SkipBlanks(p + 1);
        unsigned char* value = p;
        if (*p == '"') {
            // A quoted value runs to its closing quote, blanks and all.
            unsigned char* close = reinterpret_cast<unsigned char*>(std::strchr(reinterpret_cast<char*>(p + 1), '"'));
            p = close ? close + 1 : p + std::strlen(reinterpret_cast<char*>(p));
        } else {
            while (*p > 32) ++p;
        }
        std::string v(reinterpret_cast<char*>(value), size_t(p - value));
        auto key_is = [&](const char* name) {
            return k.size() == std::strlen(name) && IsKeyword(reinterpret_cast<const unsigned char*>(k.c_str()), name);
        };
        auto real = [&](double* out) { return NextReal(reinterpret_cast<unsigned char*>(v.data()), out) != nullptr; };
        auto integer = [&](int* out) { return NextInt(reinterpret_cast<unsigned char*>(v.data()), out) != nullptr; };
        if (key_is("psfile")) {
            s.file = String8(v.c_str());
            haveFile = true;
        } else if (key_is("hoffset")) {
            if (!real(&s.hoffset)) s.hoffset = 0;
        } else if (key_is("voffset")) {
            if (!real(&s.voffset)) s.voffset = 0;
        } else if (key_is("hscale")) {
            s.hset = real(&s.hscale);
        } else if (key_is("vscale")) {
            s.vset = real(&s.vscale);
        } else if (key_is("rwi")) {
            if (!integer(&s.rwi)) s.rwi = 0;
        } else if (key_is("rhi")) {
            if (!integer(&s.rhi)) s.rhi = 0;
        } else {
            static const char* const kBox[4] = {"llx", "lly", "urx", "ury"};
            for (int i = 0; i < 4; ++i)
                if (key_is(kBox[i])) s.bbset[i] = integer(&s.bb[i]);
        }
    }
    if (!haveFile) return std::nullopt;
    s.file = Unquote(s.file);
    if (s.file.GetLength() == 0) return std::nullopt;
    return s;
}

std::optional<BinaryPictureSpecial> ParseBinaryPicture(const unsigned char* bytes, size_t length) {
    if (length < 3 || bytes[0] != '#') return std::nullopt;
    BinaryPictureSpecial s;
    s.code = unsigned(bytes[1]) << 8 | bytes[2];
    if (s.code < 0x10 || s.code > 0x13) return std::nullopt;
    s.lengthAt = s.code <= 0x11 ? 23 : s.code == 0x12 ? 11 : 3;
    if (length <= s.lengthAt) return std::nullopt;
    const size_t n = bytes[s.lengthAt];
    const unsigned char* name = bytes + s.lengthAt + 1;
    if (n == 0 || length < s.lengthAt + 1 + n || std::memchr(name, 0, n)) return std::nullopt;
    s.name = String8(std::string(reinterpret_cast<const char*>(name), n).c_str());
    return s;
}

} // namespace vrspecial
