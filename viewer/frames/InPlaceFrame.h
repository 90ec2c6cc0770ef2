// CInPlaceFrame: the frame of a document shown in place, as a browser hosts
// it (here a top-level frame of its own). Like the child frame it holds the
// page view and the layout bar and hands the page view's commands to it;
// the document window starts where the layout bar ends.
#pragma once

#include "viewer/frames/DocumentFrame.h"

class CInPlaceFrame : public DocumentFrame<COleDocIPFrameWnd> {
public:
    CInPlaceFrame();
    ~CInPlaceFrame() override;

    int OnCreate(LPCREATESTRUCT lpcs) override;
    void RecalcLayout(BOOL bNotify = TRUE) override;
    // No bars go into the container.
    BOOL OnCreateControlBars(CFrameWnd* pWndFrame, CFrameWnd* pWndDoc) override;
    // The document window's left edge is put at the layout-bar width less 5.
    void RepositionFrame(LPCRECT lpPosRect, LPCRECT lpClipRect) override;

    void CreateLayoutBar(int width, CVrViewerView* view) override;
    // Stores w (when at least 1) in the view's layout-bar settings; keeps it
    // as the bar width (0: no bar) and repositions the document window.
    void SetLayoutBarWidth(int w);
    int GetLayoutBarWidth() const { return m_layoutBarWidth; }
    void DestroyLayoutBar() override;
    bool IsInPlaceFrame() const override { return true; }

    // The active view, the frame's own map, the page view for the forwarded
    // commands, then the application.
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

private:
    friend class InPlaceClientWatch;
    // The bar sits over the left side of the client area, as high as it.
    void PlaceLayoutBar();
    // RepositionFrame with the client area less the bar width.
    void Reposition();

    int m_layoutBarWidth = 0;
};

// The left edge of the in-place document window for a layout bar of width w.
inline int InPlaceDocumentLeft(int layoutBarWidth) { return layoutBarWidth - 5; }
