// CPoint, CSize and CRect: integer geometry as the system's code uses it.
#pragma once

#include <algorithm>

struct POINT {
    int x = 0;
    int y = 0;
};
struct SIZE {
    int cx = 0;
    int cy = 0;
};
struct RECT {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

class CSize : public SIZE {
public:
    constexpr CSize() = default;
    constexpr CSize(int w, int h) { cx = w, cy = h; }
    constexpr CSize(const SIZE& s) : SIZE(s) {}
    constexpr bool operator==(const CSize& o) const { return cx == o.cx && cy == o.cy; }
    constexpr CSize operator+(const CSize& o) const { return {cx + o.cx, cy + o.cy}; }
    constexpr CSize operator-(const CSize& o) const { return {cx - o.cx, cy - o.cy}; }
};

class CPoint : public POINT {
public:
    constexpr CPoint() = default;
    constexpr CPoint(int px, int py) { x = px, y = py; }
    constexpr CPoint(const POINT& p) : POINT(p) {}
    constexpr void Offset(int dx, int dy) { x += dx, y += dy; }
    constexpr bool operator==(const CPoint& o) const { return x == o.x && y == o.y; }
    constexpr CPoint operator+(const CSize& s) const { return {x + s.cx, y + s.cy}; }
    constexpr CPoint operator-(const CSize& s) const { return {x - s.cx, y - s.cy}; }
    constexpr CSize operator-(const CPoint& p) const { return {x - p.x, y - p.y}; }
    constexpr CPoint operator+(const CPoint& p) const { return {x + p.x, y + p.y}; }
    constexpr CPoint& operator+=(const CSize& s) { x += s.cx, y += s.cy; return *this; }
    constexpr CPoint& operator-=(const CSize& s) { x -= s.cx, y -= s.cy; return *this; }
};

class CRect : public RECT {
public:
    constexpr CRect() = default;
    constexpr CRect(int l, int t, int r, int b) { left = l, top = t, right = r, bottom = b; }
    constexpr CRect(const RECT& r) : RECT(r) {}
    constexpr CRect(const CPoint& tl, const CSize& s) : CRect(tl.x, tl.y, tl.x + s.cx, tl.y + s.cy) {}
    constexpr CRect(const CPoint& tl, const CPoint& br) : CRect(tl.x, tl.y, br.x, br.y) {}

    constexpr int Width() const { return right - left; }
    constexpr int Height() const { return bottom - top; }
    constexpr CSize Size() const { return {Width(), Height()}; }
    constexpr CPoint TopLeft() const { return {left, top}; }
    constexpr CPoint BottomRight() const { return {right, bottom}; }
    constexpr CPoint CenterPoint() const { return {(left + right) / 2, (top + bottom) / 2}; }
    constexpr bool IsRectEmpty() const { return right <= left || bottom <= top; }
    constexpr bool IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    constexpr bool PtInRect(const POINT& p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    constexpr void SetRect(int l, int t, int r, int b) { left = l, top = t, right = r, bottom = b; }
    constexpr void SetRectEmpty() { left = top = right = bottom = 0; }
    constexpr void OffsetRect(int dx, int dy) { left += dx, right += dx, top += dy, bottom += dy; }
    constexpr void OffsetRect(const CPoint& p) { OffsetRect(p.x, p.y); }
    constexpr void InflateRect(int dx, int dy) { left -= dx, right += dx, top -= dy, bottom += dy; }
    constexpr void DeflateRect(int dx, int dy) { InflateRect(-dx, -dy); }
    constexpr void NormalizeRect() {
        if (left > right) std::swap(left, right);
        if (top > bottom) std::swap(top, bottom);
    }
    // Intersection; empty (all zero) when the two do not overlap. Returns nonzero when not empty.
    constexpr int IntersectRect(const RECT& a, const RECT& b) {
        CRect r(std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom));
        if (r.IsRectEmpty()) r.SetRectEmpty();
        *this = r;
        return !IsRectEmpty();
    }
    // Bounding rectangle; an empty operand does not take part.
    constexpr int UnionRect(const RECT& a, const RECT& b) {
        CRect ra(a), rb(b);
        if (ra.IsRectEmpty()) *this = rb;
        else if (rb.IsRectEmpty()) *this = ra;
        else *this = CRect(std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                           std::max(a.bottom, b.bottom));
        return !IsRectEmpty();
    }
    constexpr bool operator==(const CRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    constexpr bool operator!=(const CRect& o) const { return !(*this == o); }
};
