// DocumentFrame: what both frames of a document (the MDI child frame and the
// in-place frame) do alike: they hold the page view, made as the client or
// handed over with the layout bar, answer its document also while a tab view
// is active, and own the layout bar with its contents and thumbnail tabs.
#pragma once

#include <memory>

#include "platform/ui/FrameWnd.h"
#include "viewer/frames/SizingTabBar.h"
#include "viewer/view/LayoutBarHost.h"
#include "viewer/view/VrViewerView.h"

// Shared by the document frames: makes the layout bar on frame (docked
// left), with the contents tab reading view's contents file and the
// thumbnail tab showing view's pages. Null when the bar cannot be made.
std::unique_ptr<SizingTabBar> MakeLayoutBar(CFrameWnd* frame, int width, CVrViewerView* view, bool dock);
// Stores and saves a layout-bar value of view.
void StoreLayoutBarViewNum(CVrViewerView* view, int n);
void StoreLayoutBarWidth(CVrViewerView* view, int w);

template <class Base>
class DocumentFrame : public Base, public LayoutBarHost {
public:
    // The frame's page view (null before it is made and once it is gone).
    CVrViewerView* GetView() const { return m_viewGuard.expired() ? nullptr : m_pView; }
    // The page view's document also while a tab view is active.
    CDocument* GetActiveDocument() override {
        if (CDocument* doc = Base::GetActiveDocument()) return doc;
        CVrViewerView* view = GetView();
        return view ? view->GetDocument() : nullptr;
    }
    SizingTabBar* GetLayoutBar() const { return m_pLayoutBar.get(); }
    bool HasLayoutBar() const override { return m_pLayoutBar != nullptr; }
    bool SelectLayoutBarTab(int n) override {
        if (!m_pLayoutBar) return false;
        m_pLayoutBar->SelectTab(n);
        return true;
    }
    void SetLayoutBarViewNum(int n) { StoreLayoutBarViewNum(GetView(), n); }

    CVrViewerView* m_pView = nullptr;

protected:
    BOOL OnCreateClient(LPCREATESTRUCT, CCreateContext* pContext) override {
        if (!pContext || !pContext->m_pNewViewClass) return TRUE;
        CView* view = this->CreateView(pContext);
        if (!view) return FALSE;
        TakeView(dynamic_cast<CVrViewerView*>(view));
        return TRUE;
    }
    // A new layout bar (an old one goes first) for view, which becomes the
    // frame's page view.
    void MakeLayoutBar(int width, CVrViewerView* view, bool dock) {
        if (m_pLayoutBar) RemoveLayoutBar();
        m_pLayoutBar = ::MakeLayoutBar(this, width, view, dock);
        if (view) TakeView(view);
    }
    // The bar goes and the page view is the active view again; false when
    // there was no bar.
    bool RemoveLayoutBar() {
        if (!m_pLayoutBar) return false;
        m_pLayoutBar->DestroyWindow();
        m_pLayoutBar.reset();
        if (CVrViewerView* view = GetView()) this->SetActiveView(view);
        return true;
    }

    std::unique_ptr<SizingTabBar> m_pLayoutBar;

private:
    void TakeView(CVrViewerView* view) {
        m_pView = view;
        if (view) m_viewGuard = view->GetGuard();
    }

    WndGuard m_viewGuard;
};
