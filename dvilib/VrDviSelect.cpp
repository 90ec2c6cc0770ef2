#include "dvilib/VrDviSelect.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "dvilib/TexFontText.h"
#include "dvilib/VrDviFont.h"

namespace {

int Clamp(int64_t v) {
    return int(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// Device pixels of the page drawer: value x LOGPIXELSX x zoom / resolution,
// evaluated as the drawer does, truncated.
int Scaled(int value, const int (&scale)[3]) {
    if (!scale[0]) return value;
    const double v = std::trunc(double(value) * scale[0] * scale[1] * 0.0001 / scale[2]);
    return int(std::clamp(v, double(INT32_MIN), double(INT32_MAX)));
}

bool IsHangulSyllable(unsigned code) {
    return code >= 0xAC00 && code <= 0xD7AF;
}

// Hangul syllables and Hanja (unified and compatibility ideographs): wide
// characters set with a word space between words.
bool IsWideWordChar(unsigned code) {
    return IsHangulSyllable(code) || (code >= 0x4E00 && code <= 0x9FFF) || (code >= 0xF900 && code <= 0xFAFF);
}

// A UTF-16 character (no surrogate) appended as UTF-8.
void AppendUtf8(std::string& out, unsigned short c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | c >> 6);
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xE0 | c >> 12);
        out += char(0x80 | (c >> 6 & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

bool IsSurrogate(unsigned short c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

// The characters after which a WinFont gap a little over one width is a
// space.
bool IsNarrow(unsigned code) {
    return code < 128 && std::string("fijlIJ,.!()/tr").find(char(code)) != std::string::npos;
}

} // namespace

// ---- the inner drawer

int VrDviSelect::SelectDrawer::Draw(int count) {
    if (drawn_) return 1;
    if (!IsWorking()) return 0;
    scale_[0] = 0;
    if (IsWinFont()) {
        const VrDvi::DeviceSlot slot = GetDvi()->GetDeviceSlot(0);
        if (slot.used && slot.dpiX > 0 && int32_t(slot.zoom) > 0)
            scale_[0] = slot.dpiX, scale_[1] = int32_t(slot.zoom), scale_[2] = GetDrawingResolution(*GetDvi());
    }
    int ended = 0;
    try {
        ended = VrDviDrawerBase::Draw(count);
    } catch (...) {
        owner_->chars_.clear();
        throw;
    }
    if (!ended) {
        owner_->chars_.clear();
        return 0;
    }
    if (IsWinFont()) Reorder();
    else JoinAccents();
    drawn_ = 1;
    return 1;
}

void VrDviSelect::SelectDrawer::PutChar(int h, int v, unsigned short code, int width, int height, int depth) {
    CharRecord c;
    // A ligature that a virtual font draws in pieces is spaced by its whole
    // box, as its font sets it.
    const Ligature ligature = TakeLigature();
    if (ligature.letters) {
        h = ligature.h, v = ligature.v;
        width = ligature.width, height = ligature.height, depth = ligature.depth;
    }
    const unsigned short text = TextOf(code);
    c.code = text >= 0xF000 && text <= 0xF0FF ? text - 0xF000 : text;
    if (IsWinFont()) {
        if (c.code > 0xD7AF) c.code = 32;
        h = Scaled(h, scale_), v = Scaled(v, scale_);
        width = Scaled(width, scale_), height = Scaled(height, scale_), depth = Scaled(depth, scale_);
    }
    c.x = h, c.y = v, c.width = width, c.height = height, c.depth = depth;
    if (!IsWinFont())
        if (const VrDvi::ItrnFont* font = GetCurrentFont()) c.em = font->GetScaleSize();
    c.position = GetInstructionOffset();
    if (ligature.letters) c.letters = ligature.letters;
    c.continued = ligature.continued;
    owner_->chars_.push_back(std::move(c));
}

// An accent mark and the letter it is set over (before the letter, as
// TeX's \accent sets it, or after it, as an overlay) become the letter's
// precomposed character; the mark then has no text of its own. A mark over
// no letter it combines with is its spacing form.
void VrDviSelect::SelectDrawer::JoinAccents() {
    auto& chars = owner_->chars_;
    auto isLetter = [](const CharRecord& r) {
        return !r.joined && !r.continued && r.letters.empty() && r.code && !vrcodes::IsAccentMark(r.code);
    };
    auto join = [](CharRecord& mark, CharRecord& letter) {
        if (!vrcodes::MarkCovers(mark.x, mark.y, mark.width, letter.x, letter.y, letter.width, letter.height))
            return false;
        const unsigned short joined = vrcodes::JoinAccent(mark.code, letter.code);
        if (!joined) return false;
        letter.code = joined;
        mark.joined = true;
        return true;
    };
    for (size_t i = 0; i < chars.size(); ++i) {
        CharRecord& mark = chars[i];
        if (!vrcodes::IsAccentMark(mark.code) || !mark.letters.empty()) continue;
        if (i + 1 < chars.size() && isLetter(chars[i + 1]) && join(mark, chars[i + 1])) continue;
        if (i > 0 && isLetter(chars[i - 1]) && join(mark, chars[i - 1])) continue;
        mark.code = vrcodes::LoneMark(mark.code);
    }
}

// WinFont pages: rows are runs of one baseline; within a row the characters
// go by x (stably) unless the drawing order is kept, and the positions are
// renumbered.
void VrDviSelect::SelectDrawer::Reorder() {
    auto& chars = owner_->chars_;
    size_t rowStart = 0;
    for (size_t i = 1; i <= chars.size(); ++i) {
        if (i < chars.size() && chars[i].y == chars[rowStart].y) continue;
        if (!owner_->keepDrawingOrder_)
            std::stable_sort(chars.begin() + long(rowStart), chars.begin() + long(i),
                             [](const CharRecord& a, const CharRecord& b) { return a.x < b.x; });
        rowStart = i;
    }
    if (!owner_->keepDrawingOrder_) {
        int n = 0;
        for (CharRecord& c : chars) c.position = ++n;
        return;
    }
    int64_t rowKey = 0;
    int index = 0;
    for (size_t i = 0; i < chars.size(); ++i) {
        const int64_t key = Scaled(chars[i].y, scale_);
        index = i == 0 || key != rowKey ? 1 : index + 1;
        rowKey = key;
        chars[i].position = Clamp(index + 10000 * key);
    }
}

// ---- the selection

VrDviSelect::VrDviSelect() = default;

VrDviSelect::VrDviSelect(const VrDviSelect& other) {
    CopyFrom(other);
}

VrDviSelect& VrDviSelect::operator=(const VrDviSelect& other) {
    if (this != &other) CopyFrom(other);
    return *this;
}

VrDviSelect::~VrDviSelect() = default;

void VrDviSelect::CopyFrom(const VrDviSelect& other) {
    // The copy holds the page's characters; its own drawer stays closed.
    drawer_.Close();
    drawer_.SetDrawn(other.drawer_.IsDrawn());
    page_ = other.page_;
    start_ = other.start_, end_ = other.end_;
    anchorX_ = other.anchorX_, anchorY_ = other.anchorY_;
    curX_ = other.curX_, curY_ = other.curY_;
    rects_ = other.rects_;
    winFont_ = other.winFont_;
    frozen_ = other.frozen_;
    keepDrawingOrder_ = other.keepDrawingOrder_;
    chars_ = other.chars_;
    lines_ = other.lines_;
}

int VrDviSelect::Open(VrDvi& dvi, int page) {
    start_ = end_ = -1;
    page_ = page;
    winFont_ = dvi.GetWinFont() ? 1 : 0;
    chars_.clear();
    lines_.clear();
    rects_.RemoveAll();
    drawer_.Reset();
    if (!drawer_.Open(dvi, page)) return 0;
    int ended = 0;
    try {
        ended = drawer_.Draw(-1);
    } catch (...) {
        drawer_.Close();
        throw;
    }
    drawer_.Close();
    BuildLines();
    return ended;
}

void VrDviSelect::BuildLines() {
    lines_.clear();
    for (const CharRecord& c : chars_) {
        // An accent raised over its letter is no line of its own.
        if (c.joined) continue;
        if (!lines_.empty() && lines_.back().baseline == c.y) {
            Line& l = lines_.back();
            if (c.position <= l.last) continue;
            l.last = c.position;
            l.right = Clamp(int64_t(c.x) + c.width);
            l.height = std::max(l.height, c.height);
            l.depth = std::max(l.depth, c.depth);
            continue;
        }
        lines_.push_back({c.x, Clamp(int64_t(c.x) + c.width), c.y, c.height, c.depth, c.position, c.position});
    }
}

void VrDviSelect::BeginSelect(int x, int y) {
    anchorX_ = curX_ = x;
    anchorY_ = curY_ = y;
}

int VrDviSelect::UpdateSelect(int x, int y) {
    curX_ = x, curY_ = y;
    if (frozen_) return 0;
    const Near a = NearestLine(anchorX_, anchorY_);
    const Near c = NearestLine(curX_, curY_);
    bool forward;
    if (a.line == c.line) forward = anchorX_ < curX_;
    else forward = a.line >= 0 && c.line >= 0 && lines_[size_t(a.line)].first < lines_[size_t(c.line)].first;
    start_ = PositionAt(anchorX_, anchorY_, forward);
    end_ = PositionAt(curX_, curY_, !forward);
    return 0;
}

void VrDviSelect::SetRange(int start, int end) {
    start_ = start, end_ = end;
}

void VrDviSelect::Empty() {
    start_ = end_ = -1;
    anchorX_ = anchorY_ = curX_ = curY_ = -1;
}

int VrDviSelect::IsEmpty() const {
    return start_ == end_ || start_ < 0 || end_ < 0;
}

VrDviSelect::Near VrDviSelect::NearestLine(int x, int y) const {
    Near best;
    int64_t bestDistance = 0;
    for (size_t i = 0; i < lines_.size(); ++i) {
        const Line& l = lines_[i];
        const int64_t top = int64_t(l.baseline) - l.height, bottom = int64_t(l.baseline) + l.depth;
        const bool inV = top <= y && y <= bottom;
        if (inV && l.left <= x && x <= l.right) return {int(i), kInside};
        NearKind kind;
        int64_t d;
        if (inV && x < l.left) kind = kPointLeft, d = int64_t(l.left) - x + 1;
        else if (inV) kind = kPointRight, d = int64_t(x) - l.right + 1;
        else if (y < top) kind = kLineBelow, d = top - y + 1;
        else kind = kLineAbove, d = y - bottom + 1;

        const bool horizontal = kind == kPointLeft || kind == kPointRight;
        const bool bestHorizontal = best.kind == kPointLeft || best.kind == kPointRight;
        bool take;
        if (best.kind == kNone) take = true;
        else if (horizontal) take = !bestHorizontal || d < bestDistance;
        else if (bestHorizontal) take = false;
        else if (kind == kLineBelow) take = best.kind == kLineAbove || d < bestDistance;
        else take = best.kind == kLineAbove && d <= bestDistance;
        if (take) best = {int(i), kind}, bestDistance = d;
    }
    return best;
}

int VrDviSelect::PositionAt(int x, int y, bool forward) const {
    const Near n = NearestLine(x, y);
    if (n.line < 0) return -1;
    const Line& l = lines_[size_t(n.line)];
    const Line* next = size_t(n.line) + 1 < lines_.size() ? &lines_[size_t(n.line) + 1] : nullptr;
    const Line* prev = n.line > 0 ? &lines_[size_t(n.line) - 1] : nullptr;
    auto afterLine = [&] { return forward ? (next ? next->first : -1) : l.last; };
    auto beforeLine = [&] { return forward ? l.first : (prev ? prev->last : -1); };

    if (n.kind == kPointRight) return afterLine();
    if (n.kind == kPointLeft) return beforeLine();
    const CharRecord* passed = nullptr;
    for (const CharRecord& c : chars_) {
        if (c.y != l.baseline || c.position < l.first || c.position > l.last) continue;
        const int64_t right = int64_t(c.x) + c.width;
        if (c.x <= x && x <= right && int64_t(c.y) - c.height <= y && y <= int64_t(c.y) + c.depth)
            return c.position;
        if (right - 1 > x) {
            if (forward) return c.position;
            return passed ? passed->position : beforeLine();
        }
        passed = &c;
    }
    // Beyond every character of the line.
    return afterLine();
}

const VrDviSelect::CharRecord* VrDviSelect::CharAt(int position) const {
    for (const CharRecord& c : chars_)
        if (c.position == position) return &c;
    return nullptr;
}

int VrDviSelect::GetCharUnderPos(int x, int y) {
    if (!drawer_.IsDrawn() && drawer_.IsWorking()) {
        drawer_.Draw(-1);
        drawer_.Close();
        BuildLines();
    }
    for (const CharRecord& c : chars_)
        if (c.x <= x && x <= int64_t(c.x) + c.width && int64_t(c.y) - c.height <= y && y <= int64_t(c.y) + c.depth)
            return c.position;
    return -1;
}

unsigned short VrDviSelect::GetCharInCommand(int position) const {
    const CharRecord* c = CharAt(position);
    return c ? c->code : 0;
}

int VrDviSelect::GetNextCharPos(int from, int n) const {
    if (chars_.empty()) return n < 0 ? n : -1;
    int count = 0;
    for (const CharRecord& c : chars_) {
        if (c.position < from) continue;
        if (count == n) return c.position;
        ++count;
    }
    return -1;
}

DList<VrDviSelect::Rectangle>* VrDviSelect::GetSelRect() {
    rects_.RemoveAll();
    if (start_ < 0 || end_ < 0) return &rects_;
    const int lo = std::min(start_, end_), hi = std::max(start_, end_);
    for (const Line& l : lines_) {
        if (l.last < lo || l.first > hi) continue;
        Rectangle r;
        r.left = l.left;
        r.right = l.right;
        if (l.first < lo)
            if (const CharRecord* c = CharAt(lo)) r.left = c->x;
        if (l.last > hi)
            if (const CharRecord* c = CharAt(hi)) r.right = Clamp(int64_t(c->x) + c->width - 1);
        r.top = Clamp(int64_t(l.baseline) - l.height);
        r.bottom = Clamp(int64_t(l.baseline) + l.depth);
        rects_.AddTail(r);
    }
    return &rects_;
}

String8 VrDviSelect::GetSelectedString() {
    if (IsEmpty()) return String8("");
    if (start_ > end_) std::swap(start_, end_);
    std::string out;
    const CharRecord* prev = nullptr;
    for (const CharRecord& c : chars_) {
        if (c.position < start_ || c.position > end_ || c.continued || c.joined) continue;
        // A ligature is spaced as its first letter.
        const unsigned short code = c.letters.empty() ? c.code : (unsigned char)c.letters[0];
        if (!code || IsSurrogate(code)) continue;
        if (prev && c.y != prev->y) {
            if (int64_t(c.y) > int64_t(prev->y) + prev->height) out += "\r\n";
        } else if (prev && prev->width != 0) {
            const double x = c.x, px = prev->x, w = prev->width;
            bool space = false;
            if (!winFont_) {
                if (IsWideWordChar(code) || IsWideWordChar(prev->code)) space = x >= px + 1.25 * w;
                else {
                    // A third of the character before, but no more than a
                    // fifth of an em: a word space after a dash is narrower
                    // than a third of the dash.
                    double gap = double(prev->width / 3);
                    if (prev->em > 0) gap = std::min(gap, 0.2 * prev->em);
                    space = x >= px + w + gap;
                }
            } else if (IsHangulSyllable(code)) {
                space = x > px + 2.5 * w;
            } else if (code < 128 && code != 32) {
                if (prev->code == 'W') space = x > px + 3 * w;
                else space = x > px + 2 * w || (IsNarrow(prev->code) && px + w < x && x <= px + 2 * w);
            }
            if (space) out += ' ';
        }
        if (!c.letters.empty()) out += c.letters;
        else AppendUtf8(out, code);
        prev = &c;
    }
    return String8(out.c_str());
}
