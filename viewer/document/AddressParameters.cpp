#include "viewer/document/AddressParameters.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include <sys/stat.h>

namespace {

struct Pair {
    std::string name, value;
};

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool EqualsNoCase(const std::string& a, const char* b) {
    const size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (Lower(a[i]) != b[i]) return false;
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Like atoi (leading blanks, a sign, digits; the rest ignored), saturating at
// the int range; false when no digit follows.
bool ParseInt(const std::string& s, int& out) {
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    if (i >= s.size() || s[i] < '0' || s[i] > '9') return false;
    int64_t v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) v = std::min<int64_t>(v * 10 + (s[i] - '0'), INT64_C(1) << 40);
    if (negative) v = -v;
    out = int(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
    return true;
}

// A whole decimal number (C locale); false otherwise.
bool ParseDouble(const std::string& s, double& out) {
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    if (i < s.size() && s[i] == '+') ++i;
    const char* first = s.data() + i;
    const char* last = s.data() + s.size();
    if (first == last) return false;
    auto r = std::from_chars(first, last, out, std::chars_format::fixed);
    return r.ec == std::errc() && r.ptr == last && std::isfinite(out);
}

// One part of an origin: a length with a unit goes to sp, a plain number to
// plain; anything else leaves both.
void ParseOriginPart(const std::string& s, int& plain, int& sp) {
    static const struct {
        const char* unit;
        double sp;
    } units[] = {{"in", 4736286.72}, {"mm", 186467.9811023622}, {"cm", 1864679.8110236218},
                 {"pt", 65536.0},    {"bp", 65781.76}};
    if (s.size() >= 2) {
        const std::string tail = s.substr(s.size() - 2);
        for (auto& u : units) {
            if (!EqualsNoCase(tail, u.unit)) continue;
            double v = 0;
            if (ParseDouble(s.substr(0, s.size() - 2), v))
                sp = int(std::clamp(v * u.sp, -double(kMaxOriginSp), double(kMaxOriginSp)));
            return;
        }
    }
    int v = 0;
    if (ParseInt(s, v)) plain = std::clamp(v, -kMaxPlainOrigin, kMaxPlainOrigin);
}

// A decoded text value of at most kParamTextMax bytes.
bool TextValue(const std::string& raw, std::string& out) {
    std::string decoded;
    if (!PercentDecode(raw, decoded) || decoded.size() > size_t(kParamTextMax)) return false;
    out = std::move(decoded);
    return true;
}

// The slot a highlight name's suffix chooses: "2"/"i2" slot 1, "3"/"i3" slot 2.
int HighlightSlotOf(const std::string& suffix) {
    const size_t i = (!suffix.empty() && suffix[0] == 'i') ? 1 : 0;
    if (i < suffix.size() && suffix[i] == '2') return 1;
    if (i < suffix.size() && suffix[i] == '3') return 2;
    return 0;
}

bool StartsWord(unsigned char c) {
    // ASCII letters and digits, or the lead byte of a UTF-8 character.
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= 0xC2 && c <= 0xF4);
}

void ReadHighlights(const std::vector<Pair>& pairs, AddressParameters& p) {
    for (auto& slot : p.highlights) {
        slot.red = 255;
        slot.green = 0;
        slot.blue = 0;
    }
    // From the last pair to the first: the first of repeated names counts.
    for (auto it = pairs.rbegin(); it != pairs.rend(); ++it) {
        const std::string& name = it->name;
        if (name.rfind("hlcolor", 0) == 0) {
            HighlightSlot& slot = p.highlights[HighlightSlotOf(name.substr(7))];
            const std::string& v = it->value;
            if (v.size() != 6) continue;
            int d[6];
            bool ok = true;
            for (int i = 0; i < 6; ++i) ok = ok && (d[i] = HexDigit(v[i])) >= 0;
            if (!ok) continue;
            slot.red = d[0] * 16 + d[1];
            slot.green = d[2] * 16 + d[3];
            slot.blue = d[4] * 16 + d[5];
        } else if (name.rfind("hltext", 0) == 0) {
            const std::string suffix = name.substr(6);
            HighlightSlot& slot = p.highlights[HighlightSlotOf(suffix)];
            std::string text;
            if (!PercentDecode(it->value, text)) continue;
            if (text.size() > size_t(kHighlightTextMax)) {
                size_t n = kHighlightTextMax;
                // Not inside a UTF-8 character.
                while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
                text.resize(n);
            }
            slot.mode = (!suffix.empty() && suffix[0] == 'i') ? 2 : 1;
            std::memset(slot.text, 0, sizeof slot.text);
            std::memcpy(slot.text, text.data(), text.size());
            if (!text.empty() && StartsWord(static_cast<unsigned char>(text[0]))) {
                slot.length = int(text.size());
                slot.active = 1;
            } else {
                // No word: the slot holds nothing to show.
                slot.length = 0;
                slot.active = 0;
            }
        }
    }
    p.highlightDone = 1;
}

void ReadQuery(const std::string& query, AddressParameters& p) {
    std::vector<Pair> pairs;
    size_t pos = 0;
    while (pos <= query.size() && pairs.size() < size_t(kMaxAddressParameters)) {
        size_t end = query.find('&', pos);
        if (end == std::string::npos) end = query.size();
        const size_t eq = query.find('=', pos);
        // A pair without '=' ends the list.
        if (eq == std::string::npos || eq > end) break;
        pairs.push_back({query.substr(pos, eq - pos), query.substr(eq + 1, end - eq - 1)});
        pos = end + 1;
    }

    bool highlights = false;
    for (const Pair& pr : pairs) {
        const std::string& n = pr.name;
        const std::string& v = pr.value;
        int number = 0;
        if (EqualsNoCase(n, "mag") || EqualsNoCase(n, "dispmag")) {
            if (EqualsNoCase(v, "width")) {
                p.magnification = kMagFitWidth;
            } else if (EqualsNoCase(v, "paper")) {
                p.magnification = kMagFitPage;
            } else if (ParseInt(v, number) && number > 0) {
                p.magnification = std::min(number, kMaxMagPercent) * 100;
            } else {
                continue;
            }
            p.magnificationGiven = 1;
        } else if (n.rfind("hltext", 0) == 0) {
            highlights = true;
        } else if (EqualsNoCase(n, "showscrollbar")) {
            p.scrollBarChoice = (v.size() == 1 && v[0] >= '0' && v[0] <= '3') ? v[0] - '0' : 0;
        } else if (EqualsNoCase(n, "showtoolbar")) {
            p.toolbarChoice = (v.size() == 1 && (v[0] == '0' || v[0] == '1')) ? v[0] - '0' : 0;
        } else if (EqualsNoCase(n, "showmaintoolbar")) {
            p.mainToolbarChoice = (v.size() == 1 && (v[0] == '0' || v[0] == '1')) ? v[0] - '0' : 0;
        } else if (EqualsNoCase(n, "workspacecolor")) {
            size_t i = (v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) ? 2 : 0;
            if (v.size() - i < 1 || v.size() - i > 6) continue;
            int c = 0;
            bool ok = true;
            for (; i < v.size() && ok; ++i) {
                const int d = HexDigit(v[i]);
                ok = d >= 0;
                c = c * 16 + d;
            }
            // Web order RRGGBB, kept as the view's 0x00BBGGRR.
            if (ok) p.workspaceColor = ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
        } else if (EqualsNoCase(n, "goto") || EqualsNoCase(n, "targettag")) {
            TextValue(v, p.targetTag);
        } else if (EqualsNoCase(n, "page")) {
            if (ParseInt(v, number) && number > 0) p.page = number - 1;
        } else if (EqualsNoCase(n, "origin")) {
            p.originX = p.originY = p.originXsp = p.originYsp = kParamNone;
            const size_t comma = v.find(',');
            ParseOriginPart(v.substr(0, comma), p.originX, p.originXsp);
            if (comma != std::string::npos) ParseOriginPart(v.substr(comma + 1), p.originY, p.originYsp);
        } else if (EqualsNoCase(n, "windowname")) {
            TextValue(v, p.windowName);
        }
    }
    if (highlights && !p.highlightDone) ReadHighlights(pairs, p);
}

}  // namespace

bool PercentDecode(const std::string& in, std::string& out) {
    out.clear();
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '\0') return false;
        if (in[i] != '%') {
            out += in[i];
            continue;
        }
        if (i + 2 >= in.size()) return false;
        const int hi = HexDigit(in[i + 1]), lo = HexDigit(in[i + 2]);
        if (hi < 0 || lo < 0 || (hi == 0 && lo == 0)) return false;
        out += char(hi * 16 + lo);
        i += 2;
    }
    return true;
}

AddressParts SplitAddress(const std::string& address) {
    AddressParts parts;
    parts.base = address;
    // A file that exists under the whole name keeps it.
    struct stat st;
    if (address.find("://") == std::string::npos && ::stat(address.c_str(), &st) == 0) return parts;
    // The last '#' or '?' decides; one in the first place does not count.
    const size_t sep = address.find_last_of("#?");
    if (sep == std::string::npos || sep == 0) return parts;
    size_t query = std::string::npos, queryEnd = sep;
    if (address[sep] == '#') {
        parts.hasFragment = true;
        parts.fragment = address.substr(sep + 1);
        const size_t q = address.rfind('?', sep);
        if (q != std::string::npos && q > 0) query = q;
    } else {
        query = sep;
        queryEnd = address.size();
    }
    if (query != std::string::npos) {
        parts.hasQuery = true;
        parts.query = address.substr(query + 1, queryEnd - query - 1);
    }
    parts.base = address.substr(0, query != std::string::npos ? query : sep);
    return parts;
}

void ParseAddressParameters(const std::string& address, AddressParameters& p) {
    p.magnificationGiven = 0;
    p.highlightDone = 0;
    p.targetTag.clear();
    const AddressParts parts = SplitAddress(address);
    p.address = parts.base;
    if (parts.hasQuery) ReadQuery(parts.query, p);
    if (parts.hasFragment) {
        std::string tag;
        if (TextValue(parts.fragment, tag)) p.targetTag = tag;
    }
    if (!p.magnificationGiven && p.toolbarChoice == 0) p.magnification = 10000;
}

std::string LocalPathOfAddress(const std::string& address) {
    if (address.size() < 7 || !EqualsNoCase(address.substr(0, 7), "file://")) return address;
    std::string rest = address.substr(7);
    if (rest.size() >= 10 && EqualsNoCase(rest.substr(0, 10), "localhost/")) rest.erase(0, 9);
    std::string path;
    if (!PercentDecode(rest, path)) return std::string();
    return path;
}
