// CView: the window that shows a document. It draws through OnDraw into its
// back buffer whenever a paint is due.
#pragma once

#include "platform/ui/Wnd.h"

class CDocument;
class CFrameWnd;
class CDC;

class CView : public CWnd {
public:
    CView();
    ~CView() override;

    CDocument* GetDocument() const { return m_pDocument; }
    CFrameWnd* GetParentFrame() const;

    virtual void OnInitialUpdate();
    // Default: invalidate the whole window.
    virtual void OnUpdate(CView* pSender, LPARAM lHint, void* pHint);
    // Called for every paint with a device context on the back buffer.
    virtual void OnDraw(CDC* pDC);
    virtual void OnActivateView(BOOL, CView*, CView*) {}

    void OnPaint() override;
    // Own map, then the document.
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

protected:
    void PostNcDestroy() override;

private:
    friend class CDocument;
    CDocument* m_pDocument = nullptr;
};
