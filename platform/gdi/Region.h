// An area of device pixels as horizontal bands of half-open spans: the data
// of CRgn, the clip region of a DC and every shape the rasteriser makes.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/core/Geometry.h"

class Region {
public:
    struct Span {
        int x0, x1;
    };
    struct Band {
        int y0, y1;
        std::vector<Span> spans;  // sorted, disjoint, not touching
    };

    Region() = default;
    explicit Region(const RECT& r) { SetRect(r); }

    void SetRect(const RECT& r);
    void Clear() { bands_.clear(); }
    bool IsEmpty() const { return bands_.empty(); }
    const std::vector<Band>& Bands() const { return bands_; }
    CRect Bounds() const;
    bool Contains(int x, int y) const;
    // NULLREGION, SIMPLEREGION or COMPLEXREGION.
    int Kind() const;
    void Offset(int dx, int dy);
    bool operator==(const Region& o) const;

    // op: RGN_AND, RGN_OR, RGN_XOR, RGN_DIFF or RGN_COPY (a).
    static Region Combine(const Region& a, const Region& b, int op);
    Region Intersect(const RECT& r) const { return Combine(*this, Region(r), 1); }

    // Builds a region row by row: call AddSpan with non-decreasing y, any x
    // order and overlap; Finish merges.
    class Builder {
    public:
        void AddSpan(int y, int x0, int x1);
        Region Finish();

    private:
        std::vector<std::pair<int, Span>> spans_;
    };

private:
    std::vector<Band> bands_;
    void Coalesce();
    friend class Builder;
};
