// PageSurface: one target the page view draws a DVI page into, the page
// itself or the magnifier's enlarged copy. Each has its memory DC with its
// bitmap, its drawer, its zoom and bitmap size, the Ghostscript depth of its
// pictures and the progress of its parts (text, pictures tried, pictures
// done), whose flags live in the view's part-flag array.
#pragma once

#include "platform/gdi/DC.h"
#include "viewer/document/ViewerDvi.h"

class PageSurface {
public:
    // flags: the view's part-flag array; text, picturesTried, picturesDone:
    // this surface's indices in it. sliceLength: drawing instructions per
    // text slice.
    PageSurface(int* flags, int text, int picturesTried, int picturesDone, int sliceLength, int dispMag,
                int gsBitsPerPixel)
        : dispMag(dispMag), gsBitsPerPixel(gsBitsPerPixel), sliceLength(sliceLength), textDone(flags[text]),
          picturesTried(flags[picturesTried]), picturesDone(flags[picturesDone]) {}
    PageSurface(const PageSurface&) = delete;
    PageSurface& operator=(const PageSurface&) = delete;

    CDC dc;
    CBitmap bitmap;
    ViewerDviDrawer drawer;
    int dispMag;             // DispMag units (10000 = 100 %)
    int width = 0, height = 0;
    int gsBitsPerPixel;
    int textPassEnded = 0;   // the last text pass ran to its end
    int marksInverted = 0;   // the highlight boxes are inverted (once a drawing)
    const int sliceLength;

    int& textDone;
    int& picturesTried;
    int& picturesDone;

    // Nothing left to draw.
    void SetPartsDone() { textDone = picturesTried = picturesDone = 1; }
    // True when every part is drawn or given up.
    bool PartsDone() const { return textDone && picturesTried && picturesDone; }
    // Copies the part of the bitmap at (srcX, srcY) to (x, y) of dc, w by h,
    // clipped to the bitmap's extent.
    void CopyTo(CDC& target, int x, int y, int w, int h, int srcX, int srcY);
};
