// The page view's arithmetic: bitmap sizes, margins, fit zoom, scroll
// positions, the scroll bars' values, the page area and page-crossing
// scrolling. Pure functions of their arguments.
#pragma once

#include <cstdint>

#include "platform/core/Geometry.h"

namespace viewgeo {

constexpr int kMinDispMag = 1000;    // 10 %
constexpr int kMaxDispMag = 30000;   // 300 %
// Largest side of a page bitmap; a larger page is refused like a failed allocation.
constexpr int kMaxBitmapSide = 32767;

// Adds 0.5 to a positive value (subtracts from a negative one) and truncates.
int Round(double v);
// max(0, min(v, max(m, 0))).
int Clamp(int v, int m);
int ClampDispMag(int dispMag);

// Bitmap side in pixels of a paper side (1/10000 mm) at a zoom and a
// resolution (dpi x 10000); -1 when the side exceeds kMaxBitmapSide.
int BitmapSide(int paper, int dispMag, int resolution);
// A margin (1/10000 mm) in drawer pixels.
int MarginPixels(int margin, int resolution, int dispMag);

// Zoom of a fit mode for a page of paper size (1/10000 mm) in an area of
// areaWidth x usableHeight pixels. Modes other than fit width and fit page,
// and a paper or area that gives no ratio, keep current. Clamped.
int FitDispMagDvi(int mode, int current, int paperWidth, int paperHeight, int resolutionX, int resolutionY,
                  int areaWidth, int usableHeight);
// The same for a TIFF image of width x height pixels.
int FitDispMagTiff(int mode, int current, int tiffWidth, int tiffHeight, int areaWidth, int usableHeight);

// Scroll position for a page of pageWidth x pageHeight in an area of W x H.
// fitWidth / fitHeight: the remembered fit sizes of the margin modes (<= 0 none).
struct Scroll {
    int x, y;
};
Scroll ScrollPosition(int mode, int scrollX, int scrollY, int pageWidth, int pageHeight, int W, int H,
                      int fitWidth, int fitHeight, int marginAdjust, int marginDispMag);

// The vertical bar's values: the whole document in units of divisor pixels,
// computed in 64 bits and clamped to int.
struct BarValues {
    int max, page, pos;
};
BarValues VerticalBar(int pageHeight, int pageCount, int areaHeight, int page, int scrollY, int divisor);
BarValues HorizontalBar(int pageWidth, int areaWidth, int scrollX);

// Scroll steps divisor for a page count; below 21 pages the current one stays.
int ScrollStepsDivisor(int pageCount, int current);

// The client rectangle less the shown bars (16 px each) and the band above.
RECT PageAreaRect(const RECT& client, int scrollBarFlags, int showMainToolbar, int topOffset);

// Scroll bar codes.
enum { kLineUp = 0, kLineDown = 1, kPageUp = 2, kPageDown = 3, kThumbPosition = 4, kThumbTrack = 5,
       kTop = 6, kBottom = 7, kEndScroll = 8 };

// A vertical scroll of the view: the page and scrollY to show. Lines and
// pages cross into the neighbour page only in the direction of the scroll;
// the thumb at v shows page v / pageHeight at v mod pageHeight; top and
// bottom go to the ends of the page.
struct PageScroll {
    int page, scrollY;
};
PageScroll VScroll(int code, int position, int page, int scrollY, int pageHeight, int pageCount, int H,
                   int originY, int divisor);
// A horizontal scroll: the new scrollX (SetStatus clamps it).
int HScroll(int code, int position, int scrollX);

}  // namespace viewgeo
