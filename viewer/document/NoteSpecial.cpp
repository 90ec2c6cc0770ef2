#include "viewer/document/NoteSpecial.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace notespecial {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool Hex(const char* p, int digits, int& out) {
    out = 0;
    for (int i = 0; i < digits; ++i) {
        const int d = HexDigit(p[i]);
        if (d < 0) return false;
        out = out * 16 + d;
    }
    return true;
}

int ToHundred(int v, int z) {
    const double d = std::trunc(double(v) * 100.0 / z + 0.5);
    return int(std::clamp(d, 0.0, double(0xFFFF)));
}

}  // namespace

bool Decode(const char* text, int length, Decoded& out) {
    if (!text || length < 14) return false;
    int n = 0;
    if (!Hex(text + 5, 4, out.x) || !Hex(text + 9, 4, out.y) || !Hex(text + 13, 1, n)) return false;
    if (length < 14 + n + 19) return false;
    out.user.assign(text + 14, size_t(n));
    out.time.assign(text + 14 + n, 19);
    out.time.erase(0, out.time.find_first_not_of(' '));
    out.text.assign(text + 14 + n + 19, size_t(length - 14 - n - 19));
    // Name, time and text are texts: a NUL ends them.
    for (std::string* s : {&out.user, &out.time, &out.text})
        if (size_t z = s->find('\0'); z != std::string::npos) s->resize(z);
    return true;
}

std::string Encode(const NoteRecord& note) {
    int z = note.zoom / 100;
    if (z <= 0) z = 100;
    const int x = ToHundred(note.x, z), y = ToHundred(note.y - note.topOffset, z);
    std::string user = note.user.substr(0, 15);
    std::string time = note.time.substr(0, 19);
    char head[32];
    std::snprintf(head, sizeof head, "note:%04x%04x%x", unsigned(x), unsigned(y), unsigned(user.size()));
    std::string s = head;
    s += user;
    s += std::string(19 - time.size(), ' ');
    s += time;
    s += note.text;
    return s;
}

}  // namespace notespecial
