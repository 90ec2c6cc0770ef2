#include "viewer/view/ViewGeometry.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace viewgeo {

int Round(double v) {
    const double r = v >= 0 ? v + 0.5 : v - 0.5;
    if (!(r > double(INT_MIN) && r < double(INT_MAX))) return r > 0 ? INT_MAX : INT_MIN;
    return int(r);
}

int Clamp(int v, int m) { return std::max(0, std::min(v, std::max(m, 0))); }

int ClampDispMag(int dispMag) { return std::max(kMinDispMag, std::min(dispMag, kMaxDispMag)); }

int BitmapSide(int paper, int dispMag, int resolution) {
    const double v = double(paper) * 0.0001 * dispMag * resolution * 3.9370078740157485e-10 + 0.5;
    if (!(v < double(kMaxBitmapSide) + 1)) return -1;
    return std::max(0, int(v));
}

int MarginPixels(int margin, int resolution, int dispMag) {
    const double v = double(margin) * resolution * dispMag * 3.937007874015749e-14;
    return int(v + 0.5);
}

namespace {
int FitRatio(int mode, int current, double widthAt100, double heightAt100, int areaWidth, int usableHeight) {
    if (mode == 1) {
        if (widthAt100 <= 0 || areaWidth <= 0) return ClampDispMag(current);
        return ClampDispMag(Round(areaWidth / widthAt100 * 10000));
    }
    if (mode == 2) {
        if (widthAt100 <= 0 || heightAt100 <= 0 || areaWidth <= 0 || usableHeight <= 0) return ClampDispMag(current);
        const double rw = areaWidth / widthAt100, rh = usableHeight / heightAt100;
        return ClampDispMag(Round((rh <= rw ? rh : rw) * 10000));
    }
    return ClampDispMag(current);
}
}  // namespace

int FitDispMagDvi(int mode, int current, int paperWidth, int paperHeight, int resolutionX, int resolutionY,
                  int areaWidth, int usableHeight) {
    const double w = paperWidth * 0.0001 * resolutionX * 3.937007874015748e-06;
    const double h = paperHeight * 0.0001 * resolutionY * 3.937007874015748e-06;
    return FitRatio(mode, current, w, h, areaWidth, usableHeight);
}

int FitDispMagTiff(int mode, int current, int tiffWidth, int tiffHeight, int areaWidth, int usableHeight) {
    return FitRatio(mode, current, tiffWidth, tiffHeight, areaWidth, usableHeight);
}

Scroll ScrollPosition(int mode, int scrollX, int scrollY, int pageWidth, int pageHeight, int W, int H,
                      int fitWidth, int fitHeight, int marginAdjust, int marginDispMag) {
    Scroll s{scrollX, scrollY};
    if (mode == 3 && fitWidth > 0) {
        s.x = std::max(0, (pageWidth - fitWidth) / 2);
        s.y = Clamp(scrollY, pageHeight - H);
    } else if (mode == 4 && fitHeight > 0) {
        s.x = Clamp(scrollX, pageWidth - W);
        s.y = std::max(0, (pageHeight - fitHeight) / 2);
    } else {
        s.x = Clamp(scrollX, pageWidth - W);
        s.y = Clamp(scrollY, pageHeight - H);
    }
    if (!marginAdjust && marginDispMag > 0) {
        if (mode == 3) s.x = (pageWidth - W) / 2;
        if (mode == 4) s.y = (pageHeight - H) / 2;
    }
    return s;
}

namespace {
int ToInt(int64_t v) { return int(std::max<int64_t>(INT_MIN, std::min<int64_t>(v, INT_MAX))); }
}  // namespace

BarValues VerticalBar(int pageHeight, int pageCount, int areaHeight, int page, int scrollY, int divisor) {
    if (divisor < 1) divisor = 1;
    BarValues b;
    b.max = std::max(0, ToInt(int64_t(pageHeight) * pageCount / divisor));
    b.page = std::max(0, areaHeight / divisor);
    b.pos = std::max(0, ToInt((int64_t(page) * pageHeight + scrollY) / divisor));
    return b;
}

BarValues HorizontalBar(int pageWidth, int areaWidth, int scrollX) {
    return BarValues{std::max(0, pageWidth), std::max(0, areaWidth), std::max(0, scrollX)};
}

int ScrollStepsDivisor(int pageCount, int current) {
    int s = current;
    if (pageCount >= 201) s = 100;
    else if (pageCount >= 101) s = 80;
    else if (pageCount >= 51) s = 30;
    else if (pageCount > 20) s = 10;
    return s;
}

RECT PageAreaRect(const RECT& client, int scrollBarFlags, int showMainToolbar, int topOffset) {
    RECT r = client;
    if (scrollBarFlags & 1) r.bottom = std::max(0, int(r.bottom) - 16);
    if (scrollBarFlags & 2) r.right = std::max(0, int(r.right) - 16);
    if (showMainToolbar) r.top = topOffset;
    return r;
}

PageScroll VScroll(int code, int position, int page, int scrollY, int pageHeight, int pageCount, int H,
                   int originY, int divisor) {
    PageScroll s{page, scrollY};
    switch (code) {
    case kLineUp: s.scrollY -= 20; break;
    case kLineDown: s.scrollY += 20; break;
    case kPageUp: s.scrollY -= 100; break;
    case kPageDown: s.scrollY += 100; break;
    // Home and End: the top and the bottom of the page (SetStatus clamps).
    case kTop: s.scrollY = 0; return s;
    case kBottom: s.scrollY = std::max(0, pageHeight); return s;
    case kThumbPosition:
    case kThumbTrack: {
        if (pageHeight <= 0) return s;
        const int64_t v = int64_t(std::max(1, divisor)) * std::max(0, position);
        s.page = int(std::min<int64_t>(v / pageHeight, std::max(0, pageCount - 1)));
        s.scrollY = s.page == v / pageHeight ? int(v % pageHeight) : pageHeight;
        return s;
    }
    default: return s;
    }
    const bool down = code == kLineDown || code == kPageDown;
    if (down && s.scrollY > pageHeight - H && page < pageCount - 1) {
        s.page = page + 1;
        s.scrollY = originY;
    } else if (!down && s.scrollY < 0 && page > 0) {
        s.page = page - 1;
        s.scrollY = pageHeight;
    }
    return s;
}

int HScroll(int code, int position, int scrollX) {
    switch (code) {
    case kLineUp: return scrollX - 20;
    case kLineDown: return scrollX + 20;
    case kPageUp: return scrollX - 100;
    case kPageDown: return scrollX + 100;
    case kThumbPosition:
    case kThumbTrack: return position;
    default: return scrollX;
    }
}

}  // namespace viewgeo
