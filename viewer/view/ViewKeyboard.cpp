// CVrViewerView: keys of the page view. Page Up and Page Down move by a
// screenful and cross into the neighbour page with a history entry; Home and
// End go to the top and bottom of the page; the arrows scroll as the scroll
// bars do; Ctrl+Page Up/Down turn pages; F3 searches.
#include <QCursor>
#include <QWidget>
#include <algorithm>

#include "platform/ui/VirtualKeys.h"
#include "viewer/view/ViewGeometry.h"
#include "viewer/view/VrViewerView.h"

using namespace viewgeo;

void CVrViewerView::MapKeyboardCommands() {}

void CVrViewerView::OnKeyDown(UINT nChar, UINT, UINT) {
    m_lastKeyDown = nChar;
    ViewStatus vs;
    GetViewStatus(vs);
    RECT area;
    GetPageAreaRect(&area);
    // B: the bottom of the page area, band included. Paging by it skips the
    // last topOffset pixels of a page on purpose.
    const int B = area.bottom;
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    if (nChar != VK_SHIFT && nChar != VK_CONTROL) HideMagnifierGlass();
    switch (nChar) {
    case VK_SHIFT:
        if (!m_buttonDown) SetViewCursor(m_glassEnabled > 0 ? IDC_VIEW_GLASS : IDC_VIEW_PAGE);
        break;
    case VK_PRIOR:
        if (ctrl) {
            OnPrevPage();
        } else if (vs.page == 0 || vs.scrollY > 0) {
            vs.scrollY -= std::max(0, B - 30);
            SetStatus(vs);
        } else {
            UpdateHistoryEntry();
            PushHistoryEntry();
            vs.page -= 1;
            vs.scrollY = vs.pageHeight;
            SetStatus(vs);
            UpdateToolbarStatus();
        }
        break;
    case VK_NEXT:
        if (ctrl) {
            OnNextPage();
        } else if (GetDocument()) {
            if (vs.page < m_pageCount - 1 && vs.scrollY >= vs.pageHeight - B) {
                UpdateHistoryEntry();
                PushHistoryEntry();
                vs.page += 1;
                vs.scrollY = vs.originY;
                SetStatus(vs);
                UpdateToolbarStatus();
            } else {
                vs.scrollY += std::max(0, B - 30);
                SetStatus(vs);
            }
        }
        break;
    case VK_END: OnVScroll(kBottom, 0); break;
    case VK_HOME: OnVScroll(kTop, 0); break;
    case VK_LEFT: OnHScroll(kLineUp, 0); break;
    case VK_UP: OnVScroll(ctrl ? kPageUp : kLineUp, 0); break;
    case VK_RIGHT: OnHScroll(kLineDown, 0); break;
    case VK_DOWN: OnVScroll(ctrl ? kPageDown : kLineDown, 0); break;
    case VK_F1 + 2: OnSearch(); break;  // F3
    default: break;
    }
}

void CVrViewerView::OnKeyUp(UINT nChar, UINT, UINT) {
    if (nChar != VK_SHIFT || m_buttonDown || !m_pages->HasText() || !m_pageSurface.drawer.IsWorking()) return;
    QWidget* w = GetWidget();
    if (!w) return;
    const QPoint p = w->mapFromGlobal(QCursor::pos());
    RECT area;
    GetPageAreaRect(&area);
    if (p.x() < area.left || p.x() >= area.right || p.y() < area.top || p.y() >= area.bottom) return;
    // The same page coordinates as the pointer handlers.
    const CPoint pp = PagePoint(CPoint(p.x(), p.y()));
    if (m_viewMode == kModeView && m_pageSurface.drawer.FindHyLink(pp.x, pp.y)) SetViewCursor(IDC_VIEW_LINK);
    else UpdateCursor(CPoint(p.x(), p.y()));
}
