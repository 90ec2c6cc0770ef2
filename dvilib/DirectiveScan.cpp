#include "dvilib/DirectiveScan.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

namespace vrspecial {

namespace {
bool IsBlank(unsigned char c) { return c >= 1 && c <= 32; }
unsigned char Lower(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }
} // namespace

unsigned char* SkipBlanks(unsigned char* p) {
    while (IsBlank(*p)) ++p;
    return p;
}

int IsKeyword(const unsigned char* text, const char* keyword) {
    for (; *keyword; ++text, ++keyword)
        if (Lower(*text) != Lower((unsigned char)*keyword)) return 0;
    return 1;
}

unsigned char* NextWord(unsigned char* p, String8* word) {
    p = SkipBlanks(p);
    unsigned char* q = p;
    while (*q > 32) ++q;
    if (q == p) return nullptr;
    if (word) *word = String8(std::string(reinterpret_cast<char*>(p), size_t(q - p)).c_str());
    return q;
}

String8 Unquote(const String8& word) {
    int n = word.GetLength();
    if (n >= 2 && word[0] == '"' && word[n - 1] == '"') return word.SubStr(1, n - 2);
    return word;
}

unsigned char* NextWordUnquoted(unsigned char* p, String8* word) {
    String8 w;
    p = NextWord(p, &w);
    if (p && word) *word = Unquote(w);
    return p;
}

unsigned char* NextInt(unsigned char* p, int* value) {
    // strtol would follow the process locale's blanks; the digits are plain.
    unsigned char* q = SkipBlanks(p);
    int sign = 1;
    if (*q == '+' || *q == '-') sign = *q++ == '-' ? -1 : 1;
    if (*q < '0' || *q > '9') return nullptr;
    long long v = 0;
    while (*q >= '0' && *q <= '9') {
        if (v < (long long)INT_MAX + 1) v = v * 10 + (*q - '0');
        ++q;
    }
    v *= sign;
    if (v > INT_MAX) v = INT_MAX;
    if (v < INT_MIN) v = INT_MIN;
    if (value) *value = int(v);
    return q;
}

unsigned char* NextReal(unsigned char* p, double* value) {
    while (*p == ' ') ++p;
    double sign = 1;
    for (; *p == '+' || *p == '-'; ++p)
        if (*p == '-') sign = -sign;
    double v = 0;
    int digits = 0;
    for (; *p >= '0' && *p <= '9'; ++p, ++digits) {
        v = v * 10 + (*p - '0');
        if (v > 1e100) v = 1e100;
    }
    if (*p == '.') {
        unsigned char* q = p + 1;
        double scale = 0.1;
        for (; *q >= '0' && *q <= '9'; ++q, ++digits, scale /= 10) v += (*q - '0') * scale;
        if (digits) p = q;
    }
    if (!digits) return nullptr;
    if (value) *value = sign * v;
    return p;
}

int RestIsBlank(const unsigned char* p) {
    while (*p == ' ') ++p;
    return *p == 0;
}

COLORREF ColorFromReals(double r, double g, double b) {
    auto comp = [](double c) {
        if (!(c > 0)) c = 0;
        if (c > 1) c = 1;
        int v = int(c * 256);
        return v > 255 ? 255 : v;
    };
    return COLORREF(comp(r)) | COLORREF(comp(g)) << 8 | COLORREF(comp(b)) << 16;
}

} // namespace vrspecial

unsigned char* getdimen(unsigned char* text, int* result) {
    static const struct {
        char unit[3];
        double factor;
    } units[] = {
        {"sp", 1},
        {"cc", 841411.9965427831},
        {"dd", 70117.66637856526},
        {"cm", 1864679.8110236218},
        {"mm", 186467.9811023622},
        {"bp", 65781.76},
        {"in", 4736286.72},
        {"pc", 786432.0},
        {"pt", 65536.0},
    };
    double v;
    unsigned char* p = vrspecial::NextReal(text, &v);
    if (!p) return nullptr;
    for (const auto& u : units) {
        if (p[0] != u.unit[0] || p[1] != u.unit[1]) continue;
        double sp = u.factor == 1 ? std::trunc(v) : std::trunc(v * u.factor + 0.5);
        if (!(sp >= double(INT_MIN) && sp <= double(INT_MAX))) return nullptr;
        if (result) *result = int(sp);
        return p + 2;
    }
    return nullptr;
}
