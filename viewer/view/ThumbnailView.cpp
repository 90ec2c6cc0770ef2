#include "viewer/view/ThumbnailView.h"

#include "platform/gdi/DC.h"

void CThumbnailView::OnDraw(CDC* pDC) {
    CRect r;
    GetClientRect(&r);
    pDC->FillSolidRect(&r, 0x808080);
}
