#include "platform/ui/View.h"

#include "platform/ui/Document.h"
#include "platform/ui/FrameWnd.h"

#if __has_include("platform/gdi/DC.h")
#include "platform/gdi/DC.h"
#endif

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
#if __has_include("platform/gdi/DC.h")
    std::unique_ptr<CDC> dc = CreateSurfaceDC(GetSurface());
    if (dc) OnDraw(dc.get());
#endif
    // Without the GDI layer's device context there is nothing to hand to
    // OnDraw; views then paint into GetSurface() in their own OnPaint.
}

BOOL CView::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
    if (DispatchOwn(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
    return m_pDocument && m_pDocument->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

void CView::PostNcDestroy() { delete this; }
