// CChildFrame: the MDI child frame of one document. It opens maximised,
// holds the page view and, once the view asks for it, the layout bar docked
// on the left with the contents and thumbnail tabs, and hands the page
// view's commands to it while a tab view is the active view.
#pragma once

#include "viewer/frames/DocumentFrame.h"

class CChildFrame : public DocumentFrame<CMDIChildWnd> {
public:
    CChildFrame();
    ~CChildFrame() override;

    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    void RecalcLayout(BOOL bNotify = TRUE) override;

    int IsDocumentOpened() const { return m_documentOpened; }

    // The layout bar: made docked on the left with its two tabs; the tab
    // and the width the user picks are stored in the view's layout-bar
    // settings and saved.
    void CreateLayoutBar(int width, CVrViewerView* view) override;
    void SetLayoutBarWidth(int w);
    // Destroys the layout bar (the page view becomes the active view again).
    void DestroyLayoutBar() override;
    bool IsInPlaceFrame() const override { return false; }

    // The active view, the frame's own map, then the page view for the
    // forwarded commands.
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

private:
    int m_documentOpened = 0;
};
