#include "viewer/view/ContentsFile.h"

#include <errno.h>
#include <iconv.h>

#include <strings.h>

#include <algorithm>
#include <climits>
#include <fstream>

#include "platform/sys/RegularFile.h"

namespace {

constexpr size_t kLocalFileLimit = size_t(16) << 20;

// What lies after `open` in the text cut at its first `close`; empty when
// `open` is missing.
std::string Extract(const std::string& text, const char* open, const char* close) {
    const size_t end = text.find(close);
    const std::string head = end == std::string::npos ? text : text.substr(0, end);
    const size_t start = head.find(open);
    if (start == std::string::npos) return std::string();
    return head.substr(start + std::char_traits<char>::length(open));
}

bool IsBlank(unsigned char c) { return c <= ' ' || c == 0x7F; }

// Control characters (line ends of web files) become blanks; blanks at
// either end go.
std::string Clean(std::string s) {
    for (char& c : s)
        if (IsBlank(static_cast<unsigned char>(c))) c = ' ';
    const size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos) return std::string();
    const size_t b = s.find_last_not_of(' ');
    return s.substr(a, b - a + 1);
}

// A decimal number at the start of s after blanks, with an optional sign;
// 0 when there is none. Limited to +-limit.
long LeadingNumber(const std::string& s, size_t from, size_t to, long limit) {
    size_t i = from;
    while (i < to && IsBlank(static_cast<unsigned char>(s[i]))) ++i;
    bool negative = false;
    if (i < to && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    long v = 0;
    for (; i < to && s[i] >= '0' && s[i] <= '9'; ++i) v = std::min(limit, v * 10 + (s[i] - '0'));
    return negative ? -v : v;
}

// One "<PAGE ... IMGSTART=n ... <TI>text</TI>" entry in [from, to): false
// when its text element is missing or unclosed.
bool ParseEntry(const std::string& s, size_t from, size_t to, int* page, std::string* text) {
    const size_t ti = s.find("<TI>", from);
    if (ti == std::string::npos || ti >= to) return false;
    const size_t tiEnd = s.find("</TI>", ti + 4);
    if (tiEnd == std::string::npos || tiEnd + 5 > to) return false;
    *page = 0;
    const size_t img = s.find("IMGSTART=", from);
    if (img != std::string::npos && img < ti) {
        size_t at = img + 9;
        if (at < ti && (s[at] == '"' || s[at] == '\'')) ++at;
        *page = int(std::max(0L, LeadingNumber(s, at, ti, kTocMaxPage)));
    }
    *text = Clean(s.substr(ti + 4, tiEnd - ti - 4));
    return true;
}

bool IsUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        size_t n;
        if (c < 0x80) n = 0;
        else if (c >= 0xC2 && c <= 0xDF) n = 1;
        else if (c >= 0xE0 && c <= 0xEF) n = 2;
        else if (c >= 0xF0 && c <= 0xF4) n = 3;
        else return false;
        if (i + n >= s.size() && n > 0) return false;
        for (size_t k = 1; k <= n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n + 1;
    }
    return true;
}

}  // namespace

std::string TocTextToUtf8(const std::string& text) {
    if (IsUtf8(text)) return text;
    iconv_t cd = iconv_open("UTF-8", "CP949");
    if (cd == iconv_t(-1)) return text;
    std::string out;
    out.reserve(text.size() * 3 / 2 + 16);
    char buf[4096];
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    while (inLeft > 0) {
        char* o = buf;
        size_t oLeft = sizeof buf;
        const size_t rc = iconv(cd, &in, &inLeft, &o, &oLeft);
        const int error = errno;
        out.append(buf, size_t(o - buf));
        if (rc != size_t(-1)) break;
        if (error == E2BIG) continue;
        // A byte that is not CP949 (or a lead byte cut off at the end).
        out += '?';
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

std::string UpperCaseTags(const std::string& text) {
    std::string s = text;
    bool inTag = false;
    for (char& c : s) {
        if (c == '<') inTag = true;
        else if (c == '>') inTag = false;
        else if (inTag && c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    }
    return s;
}

TocData ParseToc(const std::string& raw) {
    // Decoded first: every byte of a non-ASCII UTF-8 character is 0x80 or
    // above, so tags and numbers are found on the bytes.
    const std::string text = UpperCaseTags(TocTextToUtf8(raw));
    TocData toc;
    const std::string meta = Extract(text, "<META>", "</META>");
    if (!meta.empty()) {
        toc.title = Clean(Extract(meta, "<TI>", "</TI>"));
        toc.author = Clean(Extract(meta, "<AUTHOR>", "</AUTHOR>"));
        toc.year = Clean(Extract(meta, "<YEAR>", "</YEAR>"));
        toc.org = Clean(Extract(meta, "<ORG>", "</ORG>"));
    }

    std::string body = Extract(text, "<VOLUME>", "</VOLUME>");
    if (body.empty()) {
        const size_t metaEnd = text.find("</META>");
        if (metaEnd != std::string::npos) body = text.substr(metaEnd + 7);
        else if (text.size() > 6) body = text.substr(6);
    }

    // The contents part; a file that breaks off before its end still shows
    // the entries it has.
    const size_t contentEnd = body.find("</CONTENT>");
    const size_t partEnd = contentEnd == std::string::npos ? body.size() : contentEnd;
    int slots[kTocMaxLevel + 1];
    std::fill(slots, slots + kTocMaxLevel + 1, -1);
    size_t at = body.find("<PAGE");
    while (at < partEnd) {
        size_t next = body.find("<PAGE", at + 5);
        if (next > partEnd) next = partEnd;
        // The level in the two characters before the tag.
        const size_t levelFrom = at >= 2 ? at - 2 : 0;
        int level = int(LeadingNumber(body, levelFrom, at, 100));
        level = std::clamp(level, 1, kTocMaxLevel);
        int page = 0;
        std::string entryText;
        if (!ParseEntry(body, at, next, &page, &entryText)) return toc;
        if (!entryText.empty()) {
            int parent = -1;
            for (int k = level - 1; k >= 1 && parent < 0; --k) parent = slots[k];
            TocEntry e;
            e.parent = parent;
            e.level = parent < 0 ? 1 : toc.entries[size_t(parent)].level + 1;
            e.page = page;
            e.text = std::move(entryText);
            slots[level] = int(toc.entries.size());
            std::fill(slots + level + 1, slots + kTocMaxLevel + 1, -1);
            toc.entries.push_back(std::move(e));
        }
        at = next;
    }
    if (contentEnd == std::string::npos) return toc;

    // List groups, each up to its "</LIST>": a heading and its entries.
    size_t from = contentEnd + 10;
    for (size_t end; (end = body.find("</LIST>", from)) != std::string::npos; from = end + 7) {
        const std::string group = body.substr(from, end - from);
        int heading = -1;
        if (std::string title = Clean(Extract(group, "<TI>", "</TI>")); !title.empty()) {
            heading = int(toc.entries.size());
            toc.entries.push_back(TocEntry{1, -1, 0, std::move(title)});
        }
        for (size_t p = group.find("<PAGE"); p != std::string::npos;) {
            const size_t next = group.find("<PAGE", p + 5);
            int page = 0;
            std::string entryText;
            if (!ParseEntry(group, p, next == std::string::npos ? group.size() : next, &page, &entryText)) return toc;
            if (!entryText.empty())
                toc.entries.push_back(TocEntry{heading < 0 ? 1 : 2, heading, page, std::move(entryText)});
            p = next;
        }
    }
    return toc;
}

// ------------------------------------------------------------------ places

bool IsFetchedAddress(const std::string& address) {
    for (const char* scheme : {"http://", "https://", "ftp://"})
        if (address.size() > std::char_traits<char>::length(scheme) &&
            strncasecmp(address.c_str(), scheme, std::char_traits<char>::length(scheme)) == 0)
            return true;
    return false;
}

namespace {

size_t LastSeparator(const std::string& s) { return s.find_last_of("/\\"); }

// The folder part of D without its last component; a root or drive stays.
std::string Up(const std::string& d) {
    const size_t sep = LastSeparator(d);
    if (sep == std::string::npos) return d;
    if (sep == 0) return d.substr(0, 1);
    return d.substr(0, sep);
}

}  // namespace

std::string TocAddressBeside(const std::string& address) {
    const size_t sep = LastSeparator(address);
    const size_t dot = address.rfind('.');
    if (dot != std::string::npos && (sep == std::string::npos || dot > sep)) return address.substr(0, dot) + ".toc";
    return address + ".toc";
}

std::string TocAddressInFolder(const std::string& address, const std::string& folder) {
    if (folder.empty()) return std::string();
    const size_t sep = LastSeparator(address);
    const std::string name = TocAddressBeside(sep == std::string::npos ? address : address.substr(sep + 1));
    std::string d = sep == std::string::npos ? std::string() : address.substr(0, sep);
    const bool windows = folder.find('\\') != std::string::npos;
    const char s = windows ? '\\' : '/';
    const std::string up = windows ? "..\\" : "../";
    const std::string here = windows ? ".\\" : "./";
    std::string f;
    if (windows ? folder.find(':') != std::string::npos : (IsFetchedAddress(folder) || folder[0] == '/')) {
        f = folder;
    } else if (windows && folder[0] == '\\') {
        f = d + folder;
    } else if (folder.compare(0, here.size(), here) == 0) {
        f = d + folder.substr(1);
    } else if (folder.compare(0, up.size(), up) == 0) {
        std::string p = folder;
        for (;;) {
            p.erase(0, p.find_first_not_of('.'));
            d = Up(d);
            if (p.size() >= 3 && p[0] == s && p[1] == '.' && p[2] == '.') {
                p.erase(0, p.find_first_not_of(s));
                continue;
            }
            break;
        }
        f = (d.size() == 1 && d[0] == s ? std::string() : d) + p;
    } else {
        return std::string();
    }
    if (f.empty() || (f.back() != '/' && f.back() != '\\')) f += s;
    return f + name;
}

std::string ReadLocalTocFile(const std::string& path) {
    std::string text, line;
    auto in = sys::OpenRegularFileStream(path);
    if (!in) return text;
    while (text.size() < kLocalFileLimit && std::getline(*in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        text += line;
    }
    return text;
}
