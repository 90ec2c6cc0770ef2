#include "viewer/view/ContentsView.h"

#include "platform/gdi/DC.h"

void CContentsView::OnDraw(CDC* pDC) {
    CRect r;
    GetClientRect(&r);
    pDC->FillSolidRect(&r, 0xFFFFFF);
}
