// CGlassWnd: the magnifier glass, a small borderless popup that the page view
// shows under the pointer. It copies its part of the view's magnified page
// bitmap (drawn at the glass zoom) and covers what lies outside the page
// with the workspace colour. The window is the glass size plus a one-pixel
// border on each side; the glass itself starts at (1, 1).
#pragma once

#include <vector>

#include "platform/core/Geometry.h"
#include "platform/ui/Wnd.h"

class CVrViewerView;

// The rectangles (GDI form: a null-pen Rectangle fills left .. right - 2 and
// top .. bottom - 2) that cover the glass outside the magnified page, in
// glass coordinates. sourceX is the page origin plus the x offset, yOff the
// y offset: the glass's top-left corner in the page bitmap. Nothing of the
// page is covered, and every glass pixel outside the page is.
std::vector<RECT> GlassFillRects(int sourceX, int yOff, int glassWidth, int glassHeight, int pageWidth,
                                 int pageHeight);

class CGlassWnd : public CWnd {
public:
    explicit CGlassWnd(CVrViewerView* view) : m_pVrView(view) {}

    // The hidden popup, owned by the view's window.
    BOOL CreateGlass(CWnd* owner);
    // The glass's top-left corner within the magnified page bitmap.
    void SetOffsets(int xOff, int yOff) {
        m_xOff = xOff;
        m_yOff = yOff;
    }
    int GetXOffset() const { return m_xOff; }
    int GetYOffset() const { return m_yOff; }
    // The horizontal shift of the page inside the glass bitmap (the glass
    // moved right of the layout bar keeps it for painting).
    void SetPageOrigin(int origin) { m_pageOrigin = origin; }
    int GetPageOrigin() const { return m_pageOrigin; }

    void OnPaint() override;

private:
    CVrViewerView* m_pVrView;
    int m_xOff = 0, m_yOff = 0;
    int m_pageOrigin = 0;
};
