#include "platform/ui/View.h"

#include "platform/ui/Document.h"
#include "platform/ui/FrameWnd.h"

#include "platform/gdi/DC.h"

CView::CView() = default;

CView::~CView() {
    if (CFrameWnd* f = GetParentFrame(); f && f->GetActiveView() == this) f->SetActiveView(nullptr, FALSE);
    if (m_pDocument) m_pDocument->RemoveView(this);
}

CFrameWnd* CView::GetParentFrame() const {
    for (CWnd* p = GetParent(); p; p = p->GetParent())
        if (auto* f = dynamic_cast<CFrameWnd*>(p)) return f;
    return nullptr;
}

void CView::OnInitialUpdate() { OnUpdate(nullptr, 0, nullptr); }

void CView::OnUpdate(CView*, LPARAM, void*) { Invalidate(TRUE); }

void CView::OnDraw(CDC*) {}

void CView::OnPaint() {
    std::unique_ptr<CDC> dc = CreateSurfaceDC(GetSurface());
    if (dc) OnDraw(dc.get());
}

BOOL CView::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
    if (DispatchOwn(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
    return m_pDocument && m_pDocument->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

void CView::PostNcDestroy() { delete this; }
