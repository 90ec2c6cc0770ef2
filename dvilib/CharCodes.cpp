#include "dvilib/CharCodes.h"

#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

namespace vrcodes {

namespace {

// Code page 949 pairs, lead 0x81..0xFE by trail 0x41..0xFE; 0 where the pair
// is no character.
constexpr int kLeadFirst = 0x81, kLeadLast = 0xFE, kTrailFirst = 0x41, kTrailLast = 0xFE;
constexpr int kTrails = kTrailLast - kTrailFirst + 1;

struct Cp949Table {
    std::vector<uint16_t> chars;
    Cp949Table() : chars(size_t(kLeadLast - kLeadFirst + 1) * kTrails, 0) {
        iconv_t cd = iconv_open("UTF-16LE", "CP949");
        if (cd == iconv_t(-1)) return;
        for (int lead = kLeadFirst; lead <= kLeadLast; ++lead)
            for (int trail = kTrailFirst; trail <= kTrailLast; ++trail) {
                char in[2] = {char(lead), char(trail)};
                unsigned char out[8];
                char* ip = in;
                char* op = reinterpret_cast<char*>(out);
                size_t il = 2, ol = sizeof out;
                iconv(cd, nullptr, nullptr, nullptr, nullptr);
                // One character of two bytes, one UTF-16 unit out.
                if (iconv(cd, &ip, &il, &op, &ol) != size_t(-1) && il == 0 && ol == sizeof out - 2)
                    chars[size_t(lead - kLeadFirst) * kTrails + size_t(trail - kTrailFirst)] =
                        uint16_t(out[0] | out[1] << 8);
            }
        iconv_close(cd);
    }
};

const Cp949Table& Cp949() {
    static const Cp949Table table;
    return table;
}

// 8r rows that do not map codes onto themselves.
constexpr uint16_t k8rLow[32] = {
    0x0000, 0x02D9, 0xFB01, 0xFB02, 0x2215, 0x02DD, 0x0141, 0x0142,
    0x02DB, 0x02DA, 0x0000, 0x02D8, 0x2212, 0x0000, 0x017D, 0x017E,
    0x02C7, 0x0131, 0xFB0F, 0xFB00, 0xFB03, 0xFB04, 0x0000, 0x0000,
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0060, 0x0027,
};
constexpr uint16_t k8rHigh[32] = {
    0x0000, 0x0000, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x0000, 0x0000, 0x0000,
    0x0000, 0x0000, 0x0000, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x0000, 0x0000, 0x0178,
};

struct XHanEntry {
    uint32_t key;
    unsigned char lead, trail;
};

// Loaded tables. Lookups take a snapshot, so a table replaced while a page is
// drawn stays alive for that lookup.
struct Loaded {
    std::shared_ptr<const std::vector<XHanEntry>> xhan[2];
    std::shared_ptr<const std::vector<HLatexRow>> hlatexA;
};

std::mutex& LoadedLock() {
    static std::mutex m;  // guards LoadedTables()
    return m;
}
Loaded& LoadedTables() {
    static Loaded l;
    return l;
}

// Rows of numbers from a table file; false when the file cannot be read or a
// row does not have `columns` numbers in 0..max.
bool ReadRows(const char* file, int columns, const unsigned long* max, std::vector<std::vector<unsigned long>>& rows) {
    std::FILE* f = file ? std::fopen(file, "r") : nullptr;
    if (!f) return false;
    char line[512];
    bool ok = true;
    while (ok && std::fgets(line, sizeof line, f)) {
        if (char* hash = std::strchr(line, '#')) *hash = 0;
        std::vector<unsigned long> row;
        char* p = line;
        for (;;) {
            while (*p && std::isspace(static_cast<unsigned char>(*p))) ++p;
            if (!*p) break;
            if (!std::isdigit(static_cast<unsigned char>(*p))) {
                ok = false;
                break;
            }
            char* end = nullptr;
            unsigned long v = std::strtoul(p, &end, 0);
            if (end == p || (*end && !std::isspace(static_cast<unsigned char>(*end)))) {
                ok = false;
                break;
            }
            row.push_back(v);
            p = end;
        }
        if (!ok || row.empty()) continue;
        if (int(row.size()) != columns) ok = false;
        for (int i = 0; ok && i < columns; ++i)
            if (row[size_t(i)] > max[i]) ok = false;
        if (ok) rows.push_back(std::move(row));
    }
    std::fclose(f);
    return ok;
}

bool IsEucKrPair(unsigned long lead, unsigned long trail) {
    return lead >= 0xA1 && lead <= 0xFE && trail >= 0xA1 && trail <= 0xFE;
}

// Rows for subfonts first..last whose characters run from EUC-KR lead
// leadFirst to leadLast, 94 to a row, 256 codes to a subfont.
std::vector<HLatexRow> MakeRows(int first, int last, int leadFirst, int leadLast) {
    std::vector<HLatexRow> rows;
    for (int k = first; k <= last; ++k)
        for (int code = 0; code < 256; ++code) {
            int n = (k - first) * 256 + code;
            int lead = leadFirst + n / 94;
            if (lead > leadLast) return rows;
            if (code == 0 || n % 94 == 0)
                rows.push_back({(unsigned char)k, (unsigned char)code, (unsigned char)lead,
                                (unsigned char)(0xA1 + n % 94)});
        }
    return rows;
}

const std::vector<HLatexRow>& TableB() {
    static const std::vector<HLatexRow> rows = MakeRows(0, 9, 0xB0, 0xC8);
    return rows;
}
const std::vector<HLatexRow>& TableC() {
    static const std::vector<HLatexRow> rows = MakeRows(10, 29, 0xCA, 0xFE);
    return rows;
}

// The row of `subfont` that holds code: the last of its rows starting at or
// before code. The character is the row's start moved on by the distance;
// a trail byte past the row's end is no character.
int FindInRows(const std::vector<HLatexRow>& rows, unsigned subfont, unsigned char code, unsigned char& lead,
               unsigned char& trail) {
    const HLatexRow* hit = nullptr;
    for (const HLatexRow& r : rows)
        if (r.subfont == subfont && r.first <= code) hit = &r;
    if (!hit) return 1;
    unsigned t = hit->trail + unsigned(code - hit->first);
    if (t < 0xA1 || t > 0xFE) return 1;
    lead = hit->lead;
    trail = (unsigned char)t;
    return 0;
}

// A font series laid out in rows of `perRow` codes: the row, less
// `rowOffset`, gives the lead byte and the place in the row plus `firstTrail`
// the trail byte; the pair must fall in the block [leadMin, leadMax] x
// [0xA1, 0xFE].
struct SeriesLayout {
    unsigned perRow, rowOffset, firstTrail, leadMin, leadMax;
};

int SeriesToEucKr(int series, unsigned char code, const SeriesLayout& s, unsigned char& lead,
                  unsigned char& trail) {
    unsigned n = (unsigned(series - 1) * 256u + code) & 0xFFFFu;
    unsigned l = (n / s.perRow - s.rowOffset) & 0xFFu;
    unsigned t = n % s.perRow + s.firstTrail;
    if (l < s.leadMin || l > s.leadMax || t < 0xA1 || t > 0xFE) return 0;
    lead = (unsigned char)l;
    trail = (unsigned char)t;
    return 1;
}

} // namespace

int IsCp949LeadByte(unsigned code) {
    return code >= unsigned(kLeadFirst) && code <= unsigned(kLeadLast);
}

int Cp949ToUnicode(unsigned char lead, unsigned char trail, unsigned short& out) {
    if (lead < kLeadFirst || lead > kLeadLast || trail < kTrailFirst || trail > kTrailLast) return 0;
    uint16_t c = Cp949().chars[size_t(lead - kLeadFirst) * kTrails + size_t(trail - kTrailFirst)];
    if (!c) return 0;
    out = c;
    return 1;
}

unsigned short Ot1ToSymbol(unsigned char c) {
    unsigned m = c <= 9 ? c + 161u : c <= 32 ? c + 163u : c == 127 ? 196u : c;
    return (unsigned short)(0xF000 + m);
}

unsigned short EightrToUnicode(unsigned char c) {
    if (c < 32) return k8rLow[c];
    if (c >= 128 && c < 160) return k8rHigh[c - 128];
    switch (c) {
    case 39: return 0x2019;
    case 96: return 0x2018;
    case 127: return 0;
    case 160: return 0;
    case 173: return 0x002D;
    default: return c;
    }
}

int XHanToEucKr(int series, unsigned char b1, unsigned char b2, unsigned char b3, unsigned char& lead,
                unsigned char& trail) {
    if (series != 1 && series != 2) return 0;
    std::shared_ptr<const std::vector<XHanEntry>> table;
    {
        std::lock_guard<std::mutex> g(LoadedLock());
        table = LoadedTables().xhan[series - 1];
    }
    if (!table) return 0;
    uint32_t key = uint32_t(b1) << 16 | uint32_t(b2) << 8 | b3;
    auto it = std::lower_bound(table->begin(), table->end(), key,
                               [](const XHanEntry& e, uint32_t k) { return e.key < k; });
    if (it == table->end() || it->key != key) return 0;
    lead = it->lead;
    trail = it->trail;
    return 1;
}

int XHanjaToEucKr(int series, unsigned char code, unsigned char& lead, unsigned char& trail) {
    return SeriesToEucKr(series, code, {94, 54, 0xA1, 0xCA, 0xFE}, lead, trail);
}

int XSymbToEucKr(int series, unsigned char code, unsigned char& lead, unsigned char& trail) {
    return SeriesToEucKr(series, code, {96, 95, 0xA0, 0xA1, 0xAC}, lead, trail);
}

int UnicodeSubfontChar(const char* fontName, unsigned code, unsigned short& out) {
    if (!fontName || code > 0xFF) return 0;
    const size_t n = std::strlen(fontName);
    if (n < 3) return 0;
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        c = char(c | 0x20);  // lower case
        return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    };
    const int hi = hex(fontName[n - 2]), lo = hex(fontName[n - 1]);
    if (hi < 0 || lo < 0) return 0;
    const unsigned value = unsigned(hi * 16 + lo) << 8 | code;
    if (value == 0 || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    out = (unsigned short)value;
    return 1;
}

std::vector<HLatexRow> HLatexTableA() {
    std::lock_guard<std::mutex> g(LoadedLock());
    auto t = LoadedTables().hlatexA;
    return t ? *t : std::vector<HLatexRow>();
}
std::vector<HLatexRow> HLatexTableB() { return TableB(); }
std::vector<HLatexRow> HLatexTableC() { return TableC(); }

int LoadXHanTable(int series, const char* file) {
    if (series != 1 && series != 2) return 0;
    static const unsigned long max[3] = {0xFFFFFF, 0xFF, 0xFF};
    std::vector<std::vector<unsigned long>> rows;
    if (!ReadRows(file, 3, max, rows)) return 0;
    auto table = std::make_shared<std::vector<XHanEntry>>();
    for (const auto& r : rows) {
        if (!IsEucKrPair(r[1], r[2])) return 0;
        table->push_back({uint32_t(r[0]), (unsigned char)r[1], (unsigned char)r[2]});
    }
    std::stable_sort(table->begin(), table->end(), [](const XHanEntry& a, const XHanEntry& b) { return a.key < b.key; });
    // A key given twice keeps its first row.
    table->erase(std::unique(table->begin(), table->end(),
                             [](const XHanEntry& a, const XHanEntry& b) { return a.key == b.key; }),
                 table->end());
    std::lock_guard<std::mutex> g(LoadedLock());
    LoadedTables().xhan[series - 1] = std::move(table);
    return 1;
}

int LoadHLatexTableA(const char* file) {
    static const unsigned long max[4] = {9, 0xFF, 0xFF, 0xFF};
    std::vector<std::vector<unsigned long>> rows;
    if (!ReadRows(file, 4, max, rows)) return 0;
    auto table = std::make_shared<std::vector<HLatexRow>>();
    for (const auto& r : rows) {
        if (r[0] < 1 || !IsEucKrPair(r[2], r[3])) return 0;
        table->push_back({(unsigned char)r[0], (unsigned char)r[1], (unsigned char)r[2], (unsigned char)r[3]});
    }
    std::stable_sort(table->begin(), table->end(), [](const HLatexRow& a, const HLatexRow& b) {
        return a.subfont != b.subfont ? a.subfont < b.subfont : a.first < b.first;
    });
    std::lock_guard<std::mutex> g(LoadedLock());
    LoadedTables().hlatexA = std::move(table);
    return 1;
}

int LoadCodeTables(const char* folder) {
    if (!folder) return 0;
    std::string dir(folder);
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return LoadXHanTable(1, (dir + "xhan1.tab").c_str()) + LoadXHanTable(2, (dir + "xhan2.tab").c_str()) +
           LoadHLatexTableA((dir + "hlatexa.tab").c_str());
}

void ClearCodeTables() {
    std::lock_guard<std::mutex> g(LoadedLock());
    LoadedTables() = Loaded();
}

} // namespace vrcodes

int HLatexToEucKr(const char* fontName, unsigned char code, unsigned char& lead, unsigned char& trail) {
    if (!fontName) return 1;
    const char* p = fontName;
    while (*p && !std::isdigit(static_cast<unsigned char>(*p))) ++p;
    if (!*p) return 1;
    bool leadingZero = *p == '0';
    unsigned number = 0;
    for (; std::isdigit(static_cast<unsigned char>(*p)); ++p) {
        number = number * 10 + unsigned(*p - '0');
        if (number > 255) return 1;
    }
    if (leadingZero && number != 0) {
        auto a = vrcodes::HLatexTableA();
        return vrcodes::FindInRows(a, number, code, lead, trail);
    }
    if (number > 29) return 1;
    return vrcodes::FindInRows(number > 9 ? vrcodes::TableC() : vrcodes::TableB(), number, code, lead, trail);
}
