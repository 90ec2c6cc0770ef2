#include "viewer/frames/VrViewerSrvrItem.h"

#include "platform/gdi/DC.h"
#include "platform/ui/View.h"
#include "viewer/document/VrViewerDoc.h"

namespace {
constexpr int kExtent = 3000;
}

BOOL CVrViewerSrvrItem::OnGetExtent(int nDrawAspect, CSize& rSize) {
    if (nDrawAspect != DVASPECT_CONTENT || !m_pDocument) return FALSE;
    rSize = CSize(kExtent, kExtent);
    return TRUE;
}

BOOL CVrViewerSrvrItem::OnDraw(CDC* pDC, CSize&) {
    if (!m_pDocument || !pDC) return FALSE;
    pDC->SetMapMode(MM_ANISOTROPIC);
    pDC->SetWindowOrg(0, 0);
    pDC->SetWindowExt(kExtent, kExtent);
    return TRUE;
}

void CVrViewerSrvrItem::OnShow() {
    if (!m_pDocument) return;
    m_pDocument->SetModifiedFlag(FALSE);
    for (CView* view : m_pDocument->GetViews()) view->OnInitialUpdate();
}
