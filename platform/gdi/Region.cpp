#include "platform/gdi/Region.h"

#include <algorithm>

#include "platform/gdi/GdiConstants.h"

namespace {
using Spans = std::vector<Region::Span>;

bool SameSpans(const Spans& a, const Spans& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].x0 != b[i].x0 || a[i].x1 != b[i].x1) return false;
    return true;
}

// Boolean operation on two span lists, by sweeping their edges.
Spans CombineSpans(const Spans& a, const Spans& b, int op) {
    Spans out;
    std::vector<int> xs;
    xs.reserve((a.size() + b.size()) * 2);
    for (auto& s : a) xs.push_back(s.x0), xs.push_back(s.x1);
    for (auto& s : b) xs.push_back(s.x0), xs.push_back(s.x1);
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    size_t ia = 0, ib = 0;
    for (size_t i = 0; i + 1 < xs.size(); ++i) {
        int x = xs[i];
        while (ia < a.size() && a[ia].x1 <= x) ++ia;
        while (ib < b.size() && b[ib].x1 <= x) ++ib;
        bool ina = ia < a.size() && a[ia].x0 <= x;
        bool inb = ib < b.size() && b[ib].x0 <= x;
        bool in = false;
        switch (op) {
        case RGN_AND: in = ina && inb; break;
        case RGN_OR: in = ina || inb; break;
        case RGN_XOR: in = ina != inb; break;
        case RGN_DIFF: in = ina && !inb; break;
        default: in = ina; break;
        }
        if (!in) continue;
        if (!out.empty() && out.back().x1 == x) out.back().x1 = xs[i + 1];
        else out.push_back({x, xs[i + 1]});
    }
    return out;
}
}  // namespace

void Region::SetRect(const RECT& r) {
    bands_.clear();
    if (r.right > r.left && r.bottom > r.top) bands_.push_back({r.top, r.bottom, {{r.left, r.right}}});
}

CRect Region::Bounds() const {
    if (bands_.empty()) return CRect();
    CRect b(bands_.front().spans.front().x0, bands_.front().y0, bands_.front().spans.back().x1, bands_.back().y1);
    for (auto& band : bands_) {
        b.left = std::min(b.left, band.spans.front().x0);
        b.right = std::max(b.right, band.spans.back().x1);
    }
    return b;
}

bool Region::Contains(int x, int y) const {
    auto it = std::upper_bound(bands_.begin(), bands_.end(), y, [](int v, const Band& b) { return v < b.y1; });
    if (it == bands_.end() || y < it->y0) return false;
    for (auto& s : it->spans)
        if (x >= s.x0 && x < s.x1) return true;
    return false;
}

int Region::Kind() const {
    if (bands_.empty()) return NULLREGION;
    if (bands_.size() == 1 && bands_[0].spans.size() == 1) return SIMPLEREGION;
    return COMPLEXREGION;
}

void Region::Offset(int dx, int dy) {
    for (auto& b : bands_) {
        b.y0 += dy, b.y1 += dy;
        for (auto& s : b.spans) s.x0 += dx, s.x1 += dx;
    }
}

bool Region::operator==(const Region& o) const {
    if (bands_.size() != o.bands_.size()) return false;
    for (size_t i = 0; i < bands_.size(); ++i)
        if (bands_[i].y0 != o.bands_[i].y0 || bands_[i].y1 != o.bands_[i].y1 ||
            !SameSpans(bands_[i].spans, o.bands_[i].spans))
            return false;
    return true;
}

void Region::Coalesce() {
    std::vector<Band> out;
    for (auto& b : bands_) {
        if (b.spans.empty() || b.y1 <= b.y0) continue;
        if (!out.empty() && out.back().y1 == b.y0 && SameSpans(out.back().spans, b.spans)) out.back().y1 = b.y1;
        else out.push_back(std::move(b));
    }
    bands_ = std::move(out);
}

Region Region::Combine(const Region& a, const Region& b, int op) {
    if (op == RGN_COPY) return a;
    if (op == RGN_AND && (a.IsEmpty() || b.IsEmpty())) return Region();
    if ((op == RGN_DIFF && b.IsEmpty()) || ((op == RGN_OR || op == RGN_XOR) && b.IsEmpty())) return a;
    if ((op == RGN_OR || op == RGN_XOR) && a.IsEmpty()) return b;
    std::vector<int> ys;
    for (auto& x : a.bands_) ys.push_back(x.y0), ys.push_back(x.y1);
    for (auto& x : b.bands_) ys.push_back(x.y0), ys.push_back(x.y1);
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
    Region r;
    static const Spans none;
    size_t ia = 0, ib = 0;
    for (size_t i = 0; i + 1 < ys.size(); ++i) {
        int y = ys[i];
        while (ia < a.bands_.size() && a.bands_[ia].y1 <= y) ++ia;
        while (ib < b.bands_.size() && b.bands_[ib].y1 <= y) ++ib;
        const Spans& sa = (ia < a.bands_.size() && a.bands_[ia].y0 <= y) ? a.bands_[ia].spans : none;
        const Spans& sb = (ib < b.bands_.size() && b.bands_[ib].y0 <= y) ? b.bands_[ib].spans : none;
        if (sa.empty() && sb.empty()) continue;
        Spans s = CombineSpans(sa, sb, op);
        if (!s.empty()) r.bands_.push_back({y, ys[i + 1], std::move(s)});
    }
    r.Coalesce();
    return r;
}

void Region::Builder::AddSpan(int y, int x0, int x1) {
    if (x1 > x0) spans_.push_back({y, {x0, x1}});
}

Region Region::Builder::Finish() {
    std::stable_sort(spans_.begin(), spans_.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : a.second.x0 < b.second.x0;
    });
    Region r;
    size_t i = 0;
    while (i < spans_.size()) {
        int y = spans_[i].first;
        Band band{y, y + 1, {}};
        for (; i < spans_.size() && spans_[i].first == y; ++i) {
            Span s = spans_[i].second;
            if (!band.spans.empty() && s.x0 <= band.spans.back().x1)
                band.spans.back().x1 = std::max(band.spans.back().x1, s.x1);
            else band.spans.push_back(s);
        }
        r.bands_.push_back(std::move(band));
    }
    spans_.clear();
    r.Coalesce();
    return r;
}
