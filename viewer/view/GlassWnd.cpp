#include "viewer/view/GlassWnd.h"

#include <QWidget>

#include "platform/gdi/GdiObjects.h"
#include "platform/ui/WindowDC.h"
#include "viewer/view/VrViewerView.h"

std::vector<RECT> GlassFillRects(int sourceX, int yOff, int glassWidth, int glassHeight, int pageWidth,
                                 int pageHeight) {
    // The page occupies glass x in [-sourceX, pageWidth - sourceX) and glass
    // y in [-yOff, pageHeight - yOff).
    std::vector<RECT> rects;
    if (sourceX < 0) rects.push_back(RECT{0, 0, 1 - sourceX, glassHeight + 1});
    if (yOff < 0) rects.push_back(RECT{0, 0, glassWidth + 1, 1 - yOff});
    if (pageWidth < glassWidth + sourceX) rects.push_back(RECT{pageWidth - sourceX, 0, glassWidth + 1, glassHeight + 1});
    if (pageHeight < glassHeight + yOff) rects.push_back(RECT{0, pageHeight - yOff, glassWidth + 1, glassHeight + 1});
    return rects;
}

BOOL CGlassWnd::CreateGlass(CWnd* owner) {
    if (!Create(nullptr, "VrViewerGlassWnd", WS_POPUP | WS_BORDER, RECT{0, 0, 0, 0}, owner, 0)) return FALSE;
    // A popup over the owner that takes neither focus nor the mouse: the
    // view keeps the pointer while the glass follows it.
    QWidget* w = GetWidget();
    w->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput);
    w->setAttribute(Qt::WA_ShowWithoutActivating);
    w->setAttribute(Qt::WA_TransparentForMouseEvents);
    w->setFocusPolicy(Qt::NoFocus);
    w->hide();
    return TRUE;
}

void CGlassWnd::OnPaint() {
    if (!IsWindow() || !m_pVrView) return;
    m_pVrView->PrepareGlass();
    CPaintDC dc(this);
    RECT client;
    GetClientRect(&client);
    ViewStatus vs;
    m_pVrView->GetViewStatus(vs);
    const int gw = m_pVrView->GetGlassWidth(), gh = m_pVrView->GetGlassHeight();

    // The border.
    CGdiObject* oldPen = dc.SelectStockObject(BLACK_PEN);
    CGdiObject* oldBrush = dc.SelectStockObject(NULL_BRUSH);
    dc.Rectangle(0, 0, client.right, client.bottom);

    dc.SetViewportOrg(1, 1);
    dc.IntersectClipRect(0, 0, gw, gh);
    const int sourceX = m_pageOrigin + m_xOff;
    m_pVrView->GetGlassSurface().CopyTo(dc, 0, 0, gw, gh, sourceX, m_yOff);

    dc.SelectStockObject(NULL_PEN);
    CBrush workspace(vs.workspaceColor);
    dc.SelectObject(&workspace);
    for (const RECT& r : GlassFillRects(sourceX, m_yOff, gw, gh, vs.glassPageWidth, vs.glassPageHeight))
        dc.Rectangle(&r);
    dc.SelectObject(oldBrush);
    dc.SelectObject(oldPen);
}
