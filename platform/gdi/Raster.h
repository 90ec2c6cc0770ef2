// Scan conversion in device coordinates, where pixel (x, y) has its centre
// at (x, y): filled shapes take the pixels whose centre lies inside
// (half-open on the right and bottom), strokes go through the points.
#pragma once

#include <functional>
#include <vector>

#include "platform/gdi/Region.h"

struct PointF {
    double x = 0, y = 0;
};
using PointList = std::vector<PointF>;

namespace Raster {
// Interior of closed polygons; fillMode ALTERNATE or WINDING. With clip,
// only the part inside it is made.
Region FillPolygons(const std::vector<PointList>& polys, int fillMode, const RECT* clip = nullptr);
// Pixels of a one-pixel line from (x0, y0) to (x1, y1); the end point is
// visited only when withLast is set.
void Line(int x0, int y0, int x1, int y1, bool withLast, const std::function<void(int, int)>& plot);
// Cuts the segment to the rectangle; false when nothing is left.
bool ClipSegment(PointF& a, PointF& b, const RECT& r);
// Area of a wide line through the points (round joins and ends).
Region WideStroke(const PointList& pts, bool closed, double width, const RECT* clip = nullptr);
// Outline of the ellipse inscribed in [l, r] x [t, b] (centre coordinates).
PointList Ellipse(double l, double t, double r, double b);
// Counter-clockwise (as seen on screen) arc of that ellipse from the ray
// through (x1, y1) to the ray through (x2, y2); clockwise when cw is set.
PointList Arc(double l, double t, double r, double b, double x1, double y1, double x2, double y2, bool cw);
// Rounded rectangle with corner ellipses of w x h.
PointList RoundRect(double l, double t, double r, double b, double w, double h);
// Cubic Bezier from p0 to p3 (p0 not included in the output).
void Bezier(PointF p0, PointF p1, PointF p2, PointF p3, PointList& out);
}  // namespace Raster
