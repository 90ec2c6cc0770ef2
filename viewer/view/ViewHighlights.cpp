// Highlight words: the words an address names ("hltext" and its slot forms)
// found on the current page and painted over it in their slots' colours.
#include <QString>

#include <algorithm>

#include "dvilib/VrDviSearch.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/VrViewerView.h"

namespace {
constexpr size_t kMaxHighlightRects = 1024;
}

void CVrViewerView::FindHighlightWords() {
    m_highlightRects.assign(kHighlightSlots, {});
    CVrViewerDoc* doc = GetDocument();
    VrDvi* reader = Reader();
    if (!doc || !reader || m_page < 0 || m_page >= reader->GetNPage() || m_pageSurface.drawer.GethFactor() <= 0) return;
    for (int i = 0; i < kHighlightSlots; ++i) {
        const HighlightSlot& slot = doc->m_params.highlights[i];
        if (!slot.active || slot.length <= 0) continue;
        // The slot holds UTF-8; the search takes UTF-16.
        const QString text = QString::fromUtf8(slot.text, slot.length);
        std::vector<unsigned short> wide(text.utf16(), text.utf16() + text.size());
        wide.push_back(0);
        VrDviSearch search;
        try {
            // The "i" form finds the words in any case.
            if (!search.FindString(wide.data(), reader, slot.mode == 2 ? 0 : 1, m_page, m_page)) continue;
        } catch (...) {
            continue;  // a page that cannot be read has nothing to mark
        }
        std::vector<RECT>& rects = m_highlightRects[size_t(i)];
        for (const VrDviSearch::Result& r : search.GetResultList())
            for (const VrDviSearch::Rect& b : r.rectangles) {
                if (rects.size() >= kMaxHighlightRects) break;
                rects.push_back(RECT{m_pageSurface.drawer.hDot(b.x) - 2, m_pageSurface.drawer.vDot(b.y) - 2,
                                     m_pageSurface.drawer.hDot(b.x + b.width) + 3,
                                     m_pageSurface.drawer.vDot(b.y + b.height) + 3});
            }
    }
    RemoveHighlightOverlaps(m_highlightRects);
}

void CVrViewerView::DrawTextHighlights(CDC& dc, const ViewStatus& vs) {
    CVrViewerDoc* doc = GetDocument();
    if (!doc) return;
    bool any = false;
    for (const HighlightSlot& s : doc->m_params.highlights) any = any || s.active;
    if (!any) return;
    if (vs.DispMag != m_highlightZoom || vs.page != m_highlightPage) {
        FindHighlightWords();
        m_highlightZoom = vs.DispMag;
        // Not kept before the page's drawer knows the page's scale.
        m_highlightPage = m_pageSurface.drawer.GethFactor() > 0 ? vs.page : -1;
    }
    const int ox = -vs.scrollX, oy = vs.topOffset - vs.scrollY;
    const int oldRop = dc.SetROP2(R2_MERGEPEN);
    CGdiObject* oldPen = dc.SelectStockObject(NULL_PEN);
    for (size_t i = 0; i < m_highlightRects.size(); ++i) {
        const HighlightSlot& s = doc->m_params.highlights[i];
        CBrush brush(RGB(s.red, s.green, s.blue));
        CBrush* oldBrush = dc.SelectObject(&brush);
        for (const RECT& r : m_highlightRects[i]) {
            if (r.left < 0 && r.right < 0) continue;  // covered by another slot
            // Rectangle leaves out the right and bottom edges without a pen.
            dc.Rectangle(r.left + ox, r.top + oy, r.right + ox + 1, r.bottom + oy + 1);
        }
        dc.SelectObject(oldBrush);
    }
    dc.SelectObject(oldPen);
    dc.SetROP2(oldRop);
}
