// CVrViewerView: the search command. The whole document is searched once
// per text and direction; the command then walks the hits one by one,
// scrolling each into view, marking it and showing the dialog beside it.
#include "viewer/view/ViewSearch.h"

#include <QString>
#include <algorithm>
#include <cstring>

#include "base/Errors.h"
#include "dvilib/VrDvi.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/StringTable.h"
#include "viewer/view/SearchDlg.h"
#include "viewer/res/ViewStrings.h"
#include "viewer/view/VrViewerView.h"

namespace viewsearch {

int FirstHit(const std::vector<HitPlace>& hits, int page, int position, int direction) {
    if (direction) {
        for (size_t i = 0; i < hits.size(); ++i)
            if (hits[i].page > page || (hits[i].page == page && hits[i].position > position)) return int(i);
    } else {
        for (size_t i = hits.size(); i-- > 0;)
            if (hits[i].page < page || (hits[i].page == page && hits[i].position < position)) return int(i);
    }
    return -1;
}

}  // namespace viewsearch

using viewsearch::HitPlace;

void CVrViewerView::MapSearchCommands() { MapCommand(ID_SEARCH, &CVrViewerView::OnSearch); }

void CVrViewerView::ClearSearchMarks() {
    m_searchRects.clear();
    m_searchChars.clear();
    Invalidate(TRUE);
    UpdateWindow();
}

int CVrViewerView::ShowSearchHit(const VrDviSearch::Result& hit, CPoint& dialogPoint) {
    ViewStatus vs;
    GetViewStatus(vs);
    RECT area;
    GetPageAreaRect(&area);
    const int W = area.right - area.left;
    const double fx = m_pageSurface.drawer.GethFactor(), fy = m_pageSurface.drawer.GetvFactor();
    int x = 0, y = 0;
    if (auto it = hit.rectangles.Begin(); it) {
        x = m_pageSurface.drawer.hDot(it.Value().x);
        y = m_pageSurface.drawer.vDot(it.Value().y);
    } else if (auto c = hit.characters.Begin(); c) {
        // Windows-font records are in the document's drawing units.
        x = m_pageSurface.drawer.grw(c.Value().x);
        y = m_pageSurface.drawer.grw(c.Value().bottom);
    }
    vs.page = hit.page;
    if (x < vs.scrollX) vs.scrollX = x - W / 10;
    else if (x > vs.scrollX + 9 * W / 10) vs.scrollX = x - 9 * W / 10;
    vs.scrollY = y - 50;
    SetStatus(vs);
    UpdateToolbarStatus();
    m_searchRects.clear();
    m_searchChars.clear();
    RECT bounds{0, 0, 0, 0};
    for (auto it = hit.rectangles.Begin(); it; it.Next()) {
        const VrDviSearch::Rect& b = it.Value();
        const int bx = m_pageSurface.drawer.hDot(b.x), by = m_pageSurface.drawer.vDot(b.y);
        const RECT r{bx - 2, by - 2, bx + int(b.width * fx) + 3, by + int(b.height * fy) + 3};
        if (m_searchRects.empty()) bounds = r;
        bounds.right = std::max(bounds.right, r.right);
        bounds.bottom = std::max(bounds.bottom, r.bottom);
        m_searchRects.push_back(r);
    }
    for (auto it = hit.characters.Begin(); it; it.Next()) m_searchChars.push_back(it.Value());
    Invalidate(FALSE);
    UpdateWindow();
    // Below the hit, in screen coordinates.
    dialogPoint = CPoint((bounds.left + bounds.right) / 2 - m_scrollX, bounds.bottom - m_scrollY + m_topOffset);
    ClientToScreen(&dialogPoint);
    return 1;
}

void CVrViewerView::OnSearch() {
    if (!m_pages->HasText()) {
        AfxShowMessageBox(this, AfxLoadString(IDS_VIEW_SEARCH_NOT_SUPPORTED), nullptr, MB_SYSTEMMODAL);
        return;
    }
    VrDvi* reader = Reader();
    if (!reader || !m_pageSurface.drawer.IsWorking()) return;
    // A document still arriving cannot move the end under the search.
    const int lastPage = reader->GetNPage() - 1;
    VrDviSearch searcher(m_pageSurface.drawer.IsWinFont());
    SearchDlg dlg(this);
    dlg.m_text = m_searchText;
    dlg.m_direction = m_searchDirection;
    dlg.m_matchCase = m_searchCase;
    std::vector<const VrDviSearch::Result*> results;
    std::vector<HitPlace> places;
    int hit = -1;
    bool searched = false;
    bool failed = false;
    for (;;) {
        CPoint near(0, 0);
        if (hit >= 0) {
            ShowSearchHit(*results[size_t(hit)], near);
            dlg.m_placeNear = 1;
            dlg.m_x = near.x;
            dlg.m_y = near.y;
        }
        const INT_PTR answer = dlg.DoModal();
        if (hit >= 0) ClearSearchMarks();
        if (answer != IDOK || dlg.m_text.IsEmpty()) break;
        const bool again = !searched || dlg.m_text != m_searchText || dlg.m_direction != m_searchDirection ||
                           dlg.m_matchCase != m_searchCase;
        if (again) {
            // From the current hit, or from the current page.
            const int startPage = hit >= 0 ? places[size_t(hit)].page : m_page;
            const int startPos = hit >= 0 ? places[size_t(hit)].position
                                          : (dlg.m_direction ? viewsearch::kBeforePage : viewsearch::kAfterPage);
            CWaitCursor wait;
            const QString text = QString::fromUtf8(dlg.m_text.c_str());
            std::vector<unsigned short> wide(text.utf16(), text.utf16() + text.size());
            wide.push_back(0);
            try {
                searcher.ClearResultList();
                searcher.FindString(wide.data(), reader, dlg.m_matchCase, 0, std::max(0, lastPage));
            } catch (...) {
                failed = true;
            }
            if (failed) break;
            searched = true;
            results.clear();
            places.clear();
            for (auto it = searcher.GetResultList().Begin(); it; it.Next()) {
                results.push_back(&it.Value());
                places.push_back({it.Value().page, it.Value().position});
            }
            hit = viewsearch::FirstHit(places, startPage, startPos, dlg.m_direction);
        } else if (hit >= 0) {
            hit = dlg.m_direction ? (hit + 1 < int(results.size()) ? hit + 1 : -1) : hit - 1;
        }
        m_searchText = dlg.m_text;
        m_searchDirection = dlg.m_direction;
        m_searchCase = dlg.m_matchCase;
        if (hit < 0) {
            AfxShowMessageBox(this, AfxLoadString(IDS_VIEW_STRING_NOT_FOUND), AfxLoadString(IDS_VIEW_APP_TITLE),
                              MB_ICONINFORMATION);
            break;
        }
    }
    if (failed) {
        m_searchRects.clear();
        m_searchChars.clear();
        Invalidate(TRUE);
        AfxShowMessageBox(this, AfxLoadString(IDS_VIEW_UNDEFINED_FORMAT), nullptr, MB_SYSTEMMODAL);
    }
    SetFocus();
}
