// CChildFrame: the MDI child frame of one document. It opens maximised,
// holds the page view and, once the view asks for it, the layout bar docked
// on the left with the contents and thumbnail tabs, and hands the page
// view's commands to it while a tab view is the active view.
#pragma once

#include <memory>

#include "platform/ui/FrameWnd.h"

class CVrViewerView;
class SizingTabBar;

class CChildFrame : public CMDIChildWnd {
public:
    CChildFrame();
    ~CChildFrame() override;

    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    void RecalcLayout(BOOL bNotify = TRUE) override;

    int IsDocumentOpened() const { return m_documentOpened; }

    // The layout bar: made docked on the left with its two tabs; the tab
    // and the width the user picks are stored in the view's layout-bar
    // settings and saved.
    void CreateLayoutBar(int width, CVrViewerView* view);
    void SetLayoutBarViewNum(int n);
    void SetLayoutBarWidth(int w);
    SizingTabBar* GetLayoutBar() const { return m_pLayoutBar.get(); }
    // Destroys the layout bar (the page view becomes the active view again).
    void DestroyLayoutBar();

    // The frame's page view (null before it is made and once it is gone).
    CVrViewerView* GetView() const;
    // The page view's document also while a tab view is active.
    CDocument* GetActiveDocument() override;

    // The active view, the frame's own map, then the page view for the
    // forwarded commands.
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

    CVrViewerView* m_pView = nullptr;

protected:
    BOOL OnCreateClient(LPCREATESTRUCT lpcs, CCreateContext* pContext) override;

private:
    int m_documentOpened = 0;
    std::unique_ptr<SizingTabBar> m_pLayoutBar;
    WndGuard m_viewGuard;
};

// Shared by the document frames: makes the layout bar on frame (docked
// left), with the contents tab reading view's contents file and the
// thumbnail tab showing view's pages. Null when the bar cannot be made.
std::unique_ptr<SizingTabBar> MakeLayoutBar(CFrameWnd* frame, int width, CVrViewerView* view, bool dock);
// Stores and saves a layout-bar value of view.
void StoreLayoutBarViewNum(CVrViewerView* view, int n);
void StoreLayoutBarWidth(CVrViewerView* view, int w);
