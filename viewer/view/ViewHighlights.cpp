// Highlight words: the words an address names ("hltext" and its slot forms)
// found on the current page and painted over it in their slots' colours, on
// the window and on the glass's page; on Windows-font pages the characters
// found are redrawn in the colour instead (search hits as well). The
// monochrome glass inverts the words' boxes.
#include <QString>

#include <algorithm>

#include "dvilib/VrDviSearch.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/GlassWnd.h"
#include "viewer/view/VrViewerView.h"

namespace {
constexpr size_t kMaxHighlightRects = 1024;
}

bool CVrViewerView::HasHighlightWords() {
    CVrViewerDoc* doc = GetDocument();
    if (!doc) return false;
    for (const HighlightSlot& s : doc->m_params.highlights)
        if (s.active && s.length > 0) return true;
    return false;
}

void CVrViewerView::FindHighlightWords(VrDviDrawer& drawer, std::vector<std::vector<RECT>>& rects,
                                       std::vector<std::vector<VrDviSearch::CharRecord>>& chars) {
    rects.assign(kHighlightSlots, {});
    chars.assign(kHighlightSlots, {});
    CVrViewerDoc* doc = GetDocument();
    VrDvi* reader = Reader();
    if (!doc || !reader || m_page < 0 || m_page >= reader->GetNPage()) return;
    const bool winFont = drawer.IsWinFont() != 0;
    if (!winFont && drawer.GethFactor() <= 0) return;
    for (int i = 0; i < kHighlightSlots; ++i) {
        const HighlightSlot& slot = doc->m_params.highlights[i];
        if (!slot.active || slot.length <= 0) continue;
        // The slot holds UTF-8; the search takes UTF-16.
        const QString text = QString::fromUtf8(slot.text, slot.length);
        std::vector<unsigned short> wide(text.utf16(), text.utf16() + text.size());
        wide.push_back(0);
        VrDviSearch search(winFont ? 1 : 0);
        try {
            // The "i" form finds the words in any case.
            if (!search.FindString(wide.data(), reader, slot.mode == 2 ? 0 : 1, m_page, m_page)) continue;
        } catch (...) {
            continue;  // a page that cannot be read has nothing to mark
        }
        for (const VrDviSearch::Result& r : search.GetResultList()) {
            for (const VrDviSearch::CharRecord& c : r.characters)
                if (chars[size_t(i)].size() < kMaxHighlightRects) chars[size_t(i)].push_back(c);
            for (const VrDviSearch::Rect& b : r.rectangles) {
                if (rects[size_t(i)].size() >= kMaxHighlightRects) break;
                rects[size_t(i)].push_back(RECT{drawer.hDot(b.x) - 2, drawer.vDot(b.y) - 2,
                                                drawer.hDot(b.x + b.width) + 3, drawer.vDot(b.y + b.height) + 3});
            }
        }
    }
    RemoveHighlightOverlaps(rects);
}

void CVrViewerView::FindHighlightWords() { FindHighlightWords(m_pageSurface.drawer, m_highlightRects, m_highlightChars); }

void CVrViewerView::RedrawHitCharacters(CDC& dc, VrDviDrawer& drawer, const std::vector<VrDviSearch::CharRecord>& chars,
                                        COLORREF colour, int weight, int ox, int oy) {
    VrDvi* reader = Reader();
    if (!reader || chars.empty()) return;
    const DList<String8> faces = reader->GetFontList();
    const int saved = dc.SaveDC();
    dc.SetTextAlign(TA_BASELINE);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(colour);
    for (const VrDviSearch::CharRecord& c : chars) {
        // style: face index, width, height, escapement, bold, italic.
        const char* face = nullptr;
        int index = 0;
        for (auto it = faces.Begin(); it; it.Next(), ++index)
            if (index == c.style[0]) face = it.Value().c_str();
        if (!face) continue;
        CFont font;
        const int w = weight ? weight : (c.style[4] ? FW_BOLD : FW_NORMAL);
        if (!font.CreateFont(drawer.grw(c.style[2]), drawer.grw(c.style[1]), c.style[3], 0, w,
                             BYTE(c.style[5] ? 1 : 0), 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, face))
            continue;
        CFont* old = dc.SelectObject(&font);
        const WCHAR code = WCHAR(c.code);
        dc.ExtTextOutW(drawer.grw(c.x) + ox, drawer.grw(c.bottom) + oy, 0, nullptr, &code, 1, nullptr);
        dc.SelectObject(old);
    }
    dc.RestoreDC(saved);
}

void CVrViewerView::DrawTextHighlights(CDC& dc, const ViewStatus& vs) {
    CVrViewerDoc* doc = GetDocument();
    if (!doc || !HasHighlightWords()) return;
    const int ox = -vs.scrollX, oy = vs.topOffset - vs.scrollY;
    if (m_pageSurface.drawer.IsWinFont()) {
        // Characters are redrawn, found anew for every paint.
        FindHighlightWords();
        m_highlightZoom = vs.DispMag;
        m_highlightPage = vs.page;
        for (size_t i = 0; i < m_highlightChars.size(); ++i) {
            const HighlightSlot& s = doc->m_params.highlights[i];
            RedrawHitCharacters(dc, m_pageSurface.drawer, m_highlightChars[i], RGB(s.red, s.green, s.blue), 0, ox, oy);
        }
        return;
    }
    if (vs.DispMag != m_highlightZoom || vs.page != m_highlightPage) {
        FindHighlightWords();
        m_highlightZoom = vs.DispMag;
        // Not kept before the page's drawer knows the page's scale.
        m_highlightPage = m_pageSurface.drawer.GethFactor() > 0 ? vs.page : -1;
    }
    FillHighlightRects(dc, m_highlightRects, ox, oy);
}

void CVrViewerView::FillHighlightRects(CDC& dc, const std::vector<std::vector<RECT>>& rects, int ox, int oy) {
    CVrViewerDoc* doc = GetDocument();
    if (!doc) return;
    const int oldRop = dc.SetROP2(R2_MERGEPEN);
    CGdiObject* oldPen = dc.SelectStockObject(NULL_PEN);
    for (size_t i = 0; i < rects.size() && i < size_t(kHighlightSlots); ++i) {
        const HighlightSlot& s = doc->m_params.highlights[i];
        CBrush brush(RGB(s.red, s.green, s.blue));
        CBrush* oldBrush = dc.SelectObject(&brush);
        for (const RECT& r : rects[i]) {
            if (r.left < 0 && r.right < 0) continue;  // covered by another slot
            // Rectangle leaves out the right and bottom edges without a pen.
            dc.Rectangle(r.left + ox, r.top + oy, r.right + ox + 1, r.bottom + oy + 1);
        }
        dc.SelectObject(oldBrush);
    }
    dc.SelectObject(oldPen);
    dc.SetROP2(oldRop);
}

void CVrViewerView::DrawGlassHighlights() {
    CVrViewerDoc* doc = GetDocument();
    if (!doc || !HasHighlightWords() || !m_glassSurface.drawer.IsWorking()) return;
    std::vector<std::vector<RECT>> rects;
    std::vector<std::vector<VrDviSearch::CharRecord>> chars;
    FindHighlightWords(m_glassSurface.drawer, rects, chars);
    if (!m_EnableColor) {
        // A monochrome glass has no colour to mark with: the words' boxes are
        // inverted, once for each drawing of the page.
        if (m_glassSurface.marksInverted) return;
        m_glassSurface.marksInverted = 1;
        for (const std::vector<RECT>& slot : rects)
            for (const RECT& r : slot)
                if (r.left >= 0 || r.right >= 0) m_glassSurface.dc.InvertRect(&r);
    } else if (m_glassSurface.drawer.IsWinFont()) {
        for (size_t i = 0; i < chars.size(); ++i) {
            const HighlightSlot& s = doc->m_params.highlights[i];
            RedrawHitCharacters(m_glassSurface.dc, m_glassSurface.drawer, chars[i], RGB(s.red, s.green, s.blue), 0, 0, 0);
        }
    } else {
        FillHighlightRects(m_glassSurface.dc, rects, 0, 0);
    }
    if (m_pGlassWnd && m_pGlassWnd->IsWindow() && m_pGlassWnd->IsWindowVisible()) m_pGlassWnd->Invalidate(FALSE);
}
