#include "platform/gdi/Raster.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/gdi/GdiConstants.h"

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kLimit = 1e7;  // coordinates beyond this are clamped

double Clamp(double v) { return std::max(-kLimit, std::min(kLimit, v)); }

int Segments(double rx, double ry, double sweep) {
    double r = std::max(std::fabs(rx), std::fabs(ry));
    int n = int(std::ceil(sweep / (2 * kPi) * std::max(8.0, r * 2)));
    return std::max(2, std::min(n, 2048));
}
}  // namespace

namespace Raster {

Region FillPolygons(const std::vector<PointList>& polys, int fillMode, const RECT* clip) {
    struct Edge {
        double x0, y0, x1, y1;
        int dir;
    };
    std::vector<Edge> edges;
    double ymin = kLimit, ymax = -kLimit;
    for (auto& p : polys) {
        size_t n = p.size();
        if (n < 2) continue;
        for (size_t i = 0; i < n; ++i) {
            PointF a = p[i], b = p[(i + 1) % n];
            a.x = Clamp(a.x), a.y = Clamp(a.y), b.x = Clamp(b.x), b.y = Clamp(b.y);
            if (a.y == b.y) continue;
            int dir = 1;
            if (a.y > b.y) std::swap(a, b), dir = -1;
            edges.push_back({a.x, a.y, b.x, b.y, dir});
            ymin = std::min(ymin, a.y), ymax = std::max(ymax, b.y);
        }
    }
    Region::Builder builder;
    if (edges.empty()) return builder.Finish();
    std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.y0 < b.y0; });
    struct Cross {
        double x;
        int dir;
    };
    std::vector<Cross> xs;
    std::vector<const Edge*> active;
    size_t next = 0;
    int yStart = int(std::ceil(ymin)), yEnd = int(std::ceil(ymax));
    double xLo = -kLimit, xHi = kLimit;
    if (clip) {
        yStart = std::max(yStart, int(clip->top)), yEnd = std::min(yEnd, int(clip->bottom));
        xLo = clip->left - 1, xHi = clip->right + 1;
    }
    auto addSpan = [&](int y, double a, double b) {
        a = std::max(a, xLo), b = std::min(b, xHi);
        if (a < b) builder.AddSpan(y, int(std::ceil(a)), int(std::ceil(b)));
    };
    for (int y = yStart; y < yEnd; ++y) {
        while (next < edges.size() && edges[next].y0 <= y) active.push_back(&edges[next++]);
        xs.clear();
        for (size_t i = 0; i < active.size();) {
            const Edge* e = active[i];
            if (e->y1 <= y) {
                active[i] = active.back();
                active.pop_back();
                continue;
            }
            double t = (y - e->y0) / (e->y1 - e->y0);
            xs.push_back({e->x0 + t * (e->x1 - e->x0), e->dir});
            ++i;
        }
        std::sort(xs.begin(), xs.end(), [](const Cross& a, const Cross& b) { return a.x < b.x; });
        if (fillMode == WINDING) {
            int wind = 0;
            for (size_t i = 0; i < xs.size(); ++i) {
                int before = wind;
                wind += xs[i].dir;
                if (before == 0 && wind != 0) {
                    size_t j = i + 1;
                    int w = wind;
                    for (; j < xs.size(); ++j) {
                        w += xs[j].dir;
                        if (w == 0) break;
                    }
                    if (j >= xs.size()) break;
                    addSpan(y, xs[i].x, xs[j].x);
                    wind = 0;
                    i = j;
                }
            }
        } else {
            for (size_t i = 0; i + 1 < xs.size(); i += 2)
                addSpan(y, xs[i].x, xs[i + 1].x);
        }
    }
    return builder.Finish();
}

void Line(int x0, int y0, int x1, int y1, bool withLast, const std::function<void(int, int)>& plot) {
    int64_t dx = std::llabs(int64_t(x1) - x0), dy = std::llabs(int64_t(y1) - y0);
    int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int64_t steps = std::max(dx, dy);
    if (steps > int64_t(1) << 24) return;  // far outside any surface
    int64_t err = (dx > dy ? dx : -dy) / 2;
    int x = x0, y = y0;
    for (int64_t i = 0; i <= steps; ++i) {
        if (i == steps && !withLast) break;
        plot(x, y);
        int64_t e2 = err;
        if (e2 > -dx) err -= dy, x += sx;
        if (e2 < dy) err += dx, y += sy;
    }
}

bool ClipSegment(PointF& a, PointF& b, const RECT& r) {
    double t0 = 0, t1 = 1, dx = b.x - a.x, dy = b.y - a.y;
    auto edge = [&](double p, double q) {
        if (p == 0) return q >= 0;
        double t = q / p;
        if (p < 0) {
            if (t > t1) return false;
            t0 = std::max(t0, t);
        } else {
            if (t < t0) return false;
            t1 = std::min(t1, t);
        }
        return true;
    };
    if (!edge(-dx, a.x - r.left) || !edge(dx, r.right - a.x) || !edge(-dy, a.y - r.top) || !edge(dy, r.bottom - a.y))
        return false;
    PointF na{a.x + t0 * dx, a.y + t0 * dy}, nb{a.x + t1 * dx, a.y + t1 * dy};
    a = na, b = nb;
    return true;
}

Region WideStroke(const PointList& in, bool closed, double width, const RECT* clip) {
    Region::Builder builder;
    double r = width / 2;
    PointList pts;
    for (auto& p : in)
        if (pts.empty() || pts.back().x != p.x || pts.back().y != p.y) pts.push_back({Clamp(p.x), Clamp(p.y)});
    if (closed && pts.size() > 1) pts.push_back(pts.front());
    auto addRegion = [&](const Region& g) {
        for (auto& b : g.Bands())
            for (int y = b.y0; y < b.y1; ++y)
                for (auto& s : b.spans) builder.AddSpan(y, s.x0, s.x1);
    };
    for (size_t i = 0; i + 1 < pts.size(); ++i) {
        PointF a = pts[i], b = pts[i + 1];
        double dx = b.x - a.x, dy = b.y - a.y, len = std::hypot(dx, dy);
        double nx = -dy / len * r, ny = dx / len * r;
        addRegion(FillPolygons({{{a.x + nx, a.y + ny}, {b.x + nx, b.y + ny}, {b.x - nx, b.y - ny}, {a.x - nx, a.y - ny}}},
                               ALTERNATE, clip));
    }
    if (width > 2)
        for (auto& p : pts) addRegion(FillPolygons({Ellipse(p.x - r, p.y - r, p.x + r, p.y + r)}, ALTERNATE, clip));
    return builder.Finish();
}

PointList Ellipse(double l, double t, double r, double b) {
    double cx = (l + r) / 2, cy = (t + b) / 2, rx = (r - l) / 2, ry = (b - t) / 2;
    int n = Segments(rx, ry, 2 * kPi);
    PointList out;
    for (int i = 0; i < n; ++i) {
        double a = 2 * kPi * i / n;
        out.push_back({cx + rx * std::cos(a), cy - ry * std::sin(a)});
    }
    return out;
}

PointList Arc(double l, double t, double r, double b, double x1, double y1, double x2, double y2, bool cw) {
    double cx = (l + r) / 2, cy = (t + b) / 2, rx = (r - l) / 2, ry = (b - t) / 2;
    auto angle = [&](double x, double y) {
        double ux = rx != 0 ? (x - cx) / rx : 0, uy = ry != 0 ? (cy - y) / ry : 0;
        return std::atan2(uy, ux);
    };
    double a0 = angle(x1, y1), a1 = angle(x2, y2);
    double sweep = cw ? a0 - a1 : a1 - a0;
    while (sweep <= 0) sweep += 2 * kPi;
    int n = Segments(rx, ry, sweep);
    PointList out;
    for (int i = 0; i <= n; ++i) {
        double a = a0 + (cw ? -sweep : sweep) * i / n;
        out.push_back({cx + rx * std::cos(a), cy - ry * std::sin(a)});
    }
    return out;
}

PointList RoundRect(double l, double t, double r, double b, double w, double h) {
    w = std::min(std::fabs(w), r - l), h = std::min(std::fabs(h), b - t);
    double ex = w / 2, ey = h / 2;
    PointList out;
    auto corner = [&](double cx, double cy, double from) {
        int n = Segments(ex, ey, kPi / 2);
        for (int i = 0; i <= n; ++i) {
            double a = from + (kPi / 2) * i / n;
            out.push_back({cx + ex * std::cos(a), cy - ey * std::sin(a)});
        }
    };
    corner(r - ex, t + ey, 0);
    corner(l + ex, t + ey, kPi / 2);
    corner(l + ex, b - ey, kPi);
    corner(r - ex, b - ey, 3 * kPi / 2);
    return out;
}

void Bezier(PointF p0, PointF p1, PointF p2, PointF p3, PointList& out) {
    double len = std::hypot(p1.x - p0.x, p1.y - p0.y) + std::hypot(p2.x - p1.x, p2.y - p1.y) +
                 std::hypot(p3.x - p2.x, p3.y - p2.y);
    int n = std::max(1, std::min(1024, int(len / 2)));
    for (int i = 1; i <= n; ++i) {
        double t = double(i) / n, u = 1 - t;
        double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
        out.push_back({a * p0.x + b * p1.x + c * p2.x + d * p3.x, a * p0.y + b * p1.y + c * p2.y + d * p3.y});
    }
}

}  // namespace Raster
