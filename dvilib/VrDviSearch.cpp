#include "dvilib/VrDviSearch.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

#include "dvilib/TexFontText.h"

namespace {

constexpr int kAllPages = -10000;

// Two's-complement sums of DVI values, as the interpreter's registers wrap.
int WrapAdd(int a, int b) {
    return int32_t(uint32_t(a) + uint32_t(b));
}
int WrapSub(int a, int b) {
    return int32_t(uint32_t(a) - uint32_t(b));
}

// UTF-8 text into UTF-16 with its terminator; false for bytes that are not
// UTF-8, and for characters beyond the 16-bit range or surrogates.
bool Utf8ToWide(const char* text, std::vector<unsigned short>& out) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        unsigned c = *p++;
        int more = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : -1;
        if (more < 0) return false;
        const unsigned least = more == 1 ? 0x80 : 0x800;
        if (more) c &= more == 1 ? 0x1F : 0x0F;
        for (int i = 0; i < more; ++i, ++p) {
            if ((*p & 0xC0) != 0x80) return false;
            c = c << 6 | (*p & 0x3F);
        }
        if (more && c < least) return false;
        if (c >= 0xD800 && c <= 0xDFFF) return false;
        out.push_back((unsigned short)c);
    }
    out.push_back(0);
    return true;
}

bool Touches(const VrDviSearch::Rect& last, const VrDviSearch::Rect& box) {
    const int64_t x = box.x, y = box.y, w = box.width, h = box.height;
    const int64_t left = last.x, top = last.y, right = left + last.width, bottom = top + last.height;
    return left <= x + w + 2 * h && right + 2 * h >= x && top <= y + h && bottom >= y;
}

VrDviSearch::Rect Union(const VrDviSearch::Rect& a, const VrDviSearch::Rect& b) {
    const int64_t left = std::min<int64_t>(a.x, b.x), top = std::min<int64_t>(a.y, b.y);
    const int64_t right = std::max<int64_t>(int64_t(a.x) + a.width, int64_t(b.x) + b.width);
    const int64_t bottom = std::max<int64_t>(int64_t(a.y) + a.height, int64_t(b.y) + b.height);
    auto clamp = [](int64_t v) { return int(std::min<int64_t>(std::max<int64_t>(v, INT32_MIN), INT32_MAX)); };
    return {int(left), int(top), clamp(right - left), clamp(bottom - top)};
}

} // namespace

int VrDviSearch::SearchDrawer::Open(VrDviSearch* owner, VrDvi* dvi, int page) {
    owner_ = owner;
    holding_ = false;
    return dvi ? VrDviDrawerBase::Open(*dvi, page) : 0;
}

void VrDviSearch::SearchDrawer::PutChar(int h, int v, unsigned short code, int width, int height, int depth) {
    if (!owner_) return;
    const Drawn d{TextOf(code), h, v, width, height, depth, GetInstructionOffset(), GetDvi()->GetFontSpecialState()};
    owner_->style_ = d.style;
    // A ligature is matched letter by letter, each with the whole glyph's
    // box, so a hit that begins or ends inside it covers the glyph.
    const Ligature l = TakeLigature();
    if (l.continued) return;
    if (l.letters) {
        Flush();
        for (const char* c = l.letters; *c; ++c)
            owner_->Match((unsigned short)(unsigned char)*c, l.h, WrapSub(l.v, l.height), l.width,
                          WrapAdd(l.height, l.depth), d.position, d.style);
        return;
    }
    if (IsWinFont()) {
        Flush();
        Pass(d);
        return;
    }
    if (holding_) {
        // An accent and its letter, in either order, are one character.
        const bool markFirst = vrcodes::IsAccentMark(held_.code) && !vrcodes::IsAccentMark(d.code);
        const bool markLast = vrcodes::IsAccentMark(d.code) && !vrcodes::IsAccentMark(held_.code);
        if (markFirst || markLast) {
            const Drawn& mark = markFirst ? held_ : d;
            Drawn letter = markFirst ? d : held_;
            const unsigned short joined = vrcodes::JoinAccent(mark.code, letter.code);
            if (joined && vrcodes::MarkCovers(mark.x, mark.baseline, mark.width, letter.x, letter.baseline,
                                              letter.width, letter.height)) {
                letter.code = joined;
                holding_ = false;
                Pass(letter);
                return;
            }
        }
        Flush();
    }
    held_ = d;
    holding_ = true;
}

void VrDviSearch::SearchDrawer::Flush() {
    if (!holding_) return;
    holding_ = false;
    Drawn d = held_;
    if (vrcodes::IsAccentMark(d.code)) d.code = vrcodes::LoneMark(d.code);
    Pass(d);
}

void VrDviSearch::SearchDrawer::Pass(const Drawn& d) {
    // A code that stands for no character is not there.
    if (!d.code) return;
    owner_->Match(d.code, d.x, WrapSub(d.baseline, d.height), d.width, WrapAdd(d.height, d.depth), d.position,
                  d.style);
}

VrDviSearch::VrDviSearch(int recordCharacters) : recordCharacters_(recordCharacters) {}

VrDviSearch::VrDviSearch(const VrDviSearch& other)
    : pattern_(other.pattern_),
      shift_(other.shift_),
      caseSensitive_(other.caseSensitive_),
      matched_(other.matched_),
      page_(other.page_),
      matchStart_(other.matchStart_),
      style_(other.style_),
      partial_(other.partial_),
      results_(other.results_),
      resultCount_(other.resultCount_),
      recordCharacters_(other.recordCharacters_) {}

VrDviSearch& VrDviSearch::operator=(const VrDviSearch& other) {
    if (this == &other) return *this;
    pattern_ = other.pattern_;
    shift_ = other.shift_;
    caseSensitive_ = other.caseSensitive_;
    matched_ = other.matched_;
    page_ = other.page_;
    matchStart_ = other.matchStart_;
    style_ = other.style_;
    partial_ = other.partial_;
    results_ = other.results_;
    resultCount_ = other.resultCount_;
    recordCharacters_ = other.recordCharacters_;
    return *this;
}

VrDviSearch::~VrDviSearch() {
    ClearResultList();
}

void VrDviSearch::ClearResultList() {
    results_.RemoveAll();
    resultCount_ = 0;
}

unsigned short VrDviSearch::FoldCase(unsigned short c) {
    if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 0x20 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
    if (c == 0x130) return 'i';
    // Latin Extended-A: pairs upper, lower, with the runs that start odd.
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c | 1;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return c & 1 ? c + 1 : c;
    if (c == 0x178) return 0xFF;
    // Greek and Cyrillic capitals.
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;
    // Full-width Latin capitals.
    if (c >= 0xFF21 && c <= 0xFF3A) return c + 0x20;
    return c;
}

int VrDviSearch::FindString(const char* text, VrDvi* dvi, int caseSensitive, int first, int last) {
    if (!text) return 0;
    std::vector<unsigned short> wide;
    if (!Utf8ToWide(text, wide)) return 0;
    return FindString(wide.data(), dvi, caseSensitive, first, last);
}

int VrDviSearch::FindString(const unsigned short* text, VrDvi* dvi, int caseSensitive, int first, int last) {
    if (!text || !dvi) return 0;
    const int pages = dvi->GetNPage();
    if (first == kAllPages) first = 0;
    if (last == kAllPages) last = pages - 1;
    if (first < 0 || last >= pages || first > last) return 0;
    ClearResultList();

    struct Cleanup {
        VrDviSearch& s;
        ~Cleanup() {
            s.drawer_.Close();
            s.pattern_.clear();
            s.shift_.clear();
            s.partial_.clear();
            s.matched_ = 0;
        }
    } cleanup{*this};

    caseSensitive_ = caseSensitive;
    pattern_.clear();
    for (const unsigned short* p = text; *p; ++p)
        if (*p > 32) pattern_.push_back(caseSensitive ? *p : FoldCase(*p));
    const int m = int(pattern_.size());
    if (m == 0) return 0;

    // shift[j] = j less the longest proper border of the first j characters.
    std::vector<int> border(size_t(m) + 1, 0);
    for (int j = 1, k = 0; j < m; ++j) {
        while (k > 0 && pattern_[size_t(j)] != pattern_[size_t(k)]) k = border[size_t(k)];
        if (pattern_[size_t(j)] == pattern_[size_t(k)]) ++k;
        border[size_t(j) + 1] = k;
    }
    shift_.assign(size_t(m), 1);
    for (int j = 1; j < m; ++j) shift_[size_t(j)] = j - border[size_t(j)];

    resultCount_ = 0;
    for (int page = first; page <= last; ++page) {
        matched_ = 0;
        partial_.clear();
        page_ = page;
        if (!drawer_.Open(this, dvi, page)) continue;
        drawer_.Draw(-1);
        drawer_.Flush();
        drawer_.Close();
    }
    return !results_.IsEmpty();
}

void VrDviSearch::PutChar(unsigned short code, int x, int y, int width, int height) {
    Match(code, x, y, width, height, drawer_.Position(), style_);
}

void VrDviSearch::Match(unsigned short code, int x, int y, int width, int height, int position,
                        const VrDvi::FontSpecialState& style) {
    if (resultCount_ >= kMaxResults || pattern_.empty()) return;
    unsigned short c = code;
    if (c >= 0xF000 && c <= 0xF0FF) c -= 0xF000;
    if (!caseSensitive_) c = FoldCase(c);

    while (pattern_[size_t(matched_)] != c) {
        const int k = matched_ - shift_[size_t(matched_)];
        if (k < 0) {
            matched_ = 0;
            partial_.clear();
            return;
        }
        // The match goes on from the border: the characters before it
        // belong to no hit.
        while (int(partial_.size()) > k) partial_.pop_front();
        matched_ = k;
    }

    Partial part;
    part.position = position;
    part.box = {x, y, width, height};
    part.record.code = c;
    part.record.x = x;
    part.record.bottom = WrapAdd(y, height);
    const int words[kStyleWords] = {style.faceIndex, style.width, style.height,
                                    style.escapement, style.bold, style.italic};
    for (int i = 0; i < kStyleWords; ++i) part.record.style[i] = words[i];
    if (matched_ == 0) partial_.clear();
    partial_.push_back(part);
    matchStart_ = partial_.front().position;

    if (++matched_ == int(pattern_.size())) {
        AddResult();
        matched_ = 0;
        partial_.clear();
    }
}

void VrDviSearch::AddResult() {
    ++resultCount_;
    Result r;
    r.page = page_;
    r.position = matchStart_;
    r.length = int(pattern_.size());
    for (const Partial& p : partial_) {
        if (recordCharacters_) {
            r.characters.AddTail(p.record);
        } else if (auto* last = r.rectangles.GetTail(); last && Touches(last->data, p.box)) {
            last->data = Union(last->data, p.box);
        } else {
            r.rectangles.AddTail(p.box);
        }
    }
    results_.AddTail(r);
}
