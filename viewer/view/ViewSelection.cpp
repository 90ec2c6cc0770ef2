// CVrViewerView: the interaction modes, Cancel and Copy, the carrying of a
// text selection across page edges while a drag scrolls, and the painting of
// the selection, the search marks and the image-selection frame.
#include <algorithm>
#include <cmath>

#include "dvilib/VrDvi.h"
#include "platform/ui/Clipboard.h"
#include "platform/ui/CmdTarget.h"
#include "platform/ui/Menu.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/StringTable.h"
#include "viewer/res/ViewStrings.h"
#include "viewer/view/VrViewerView.h"

namespace {

constexpr COLORREF kSelectionBrush = 0x80FFFF;
constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kImageFrame = 0xFF0000;

std::string TextOf(const String8& s) {
    return s.IsNull() ? std::string() : std::string(s.c_str());
}

int RoundAway(double v) { return int(v < 0 ? v - 0.5 : v + 0.5); }

}  // namespace

void CVrViewerView::MapSelectionCommands() {
    MapCommand(ID_VIEW_MODE, &CVrViewerView::OnViewMode);
    MapCommand(ID_TEXT_SELECT, &CVrViewerView::OnTextSelect);
    MapCommand(ID_COLUMN_SELECT, &CVrViewerView::OnColumnSelect);
    MapCommand(ID_IMAGE_SELECT, &CVrViewerView::OnImageSelect);
    MapUpdateUI(ID_VIEW_MODE, &CVrViewerView::OnUpdateViewMode);
    MapUpdateUI(ID_TEXT_SELECT, &CVrViewerView::OnUpdateTextSelect);
    MapUpdateUI(ID_COLUMN_SELECT, &CVrViewerView::OnUpdateColumnSelect);
    MapUpdateUI(ID_IMAGE_SELECT, &CVrViewerView::OnUpdateImageSelect);
    MapCommand(ID_EDIT_MODE, &CVrViewerView::OnEditMode);
    MapUpdateUI(ID_EDIT_MODE, &CVrViewerView::OnUpdateEditMode);
    MapCommand(ID_EDIT_CANCEL, &CVrViewerView::OnEditCancel);
    MapCommand(ID_EDIT_COPY, &CVrViewerView::OnEditCopy);
}

// --------------------------------------------------------------------- modes

void CVrViewerView::SwitchMode(int mode) {
    OnEditCancel();
    m_viewMode = mode;
    ViewStatus vs;
    GetViewStatus(vs);
    m_page = -1;
    SetStatus(vs);
    if (QWidget* w = GetWidget()) {
        const QPoint p = w->mapFromGlobal(QCursor::pos());
        UpdateCursor(CPoint(p.x(), p.y()));
    }
}

void CVrViewerView::OnViewMode() {
    if (m_viewMode != kModeView) SwitchMode(kModeView);
}

void CVrViewerView::OnTextSelect() {
    if (m_docType == kDocDvi && m_viewMode != kModeText) SwitchMode(kModeText);
}

void CVrViewerView::OnColumnSelect() {
    if (m_docType == kDocDvi && m_viewMode != kModeColumn) SwitchMode(kModeColumn);
}

void CVrViewerView::OnImageSelect() {
    if (m_viewMode != kModeImage) SwitchMode(kModeImage);
}

void CVrViewerView::OnUpdateViewMode(CCmdUI* pCmdUI) { pCmdUI->SetCheck(m_viewMode == kModeView ? 2 : 0); }
// The text modes work on DVI pages only.
void CVrViewerView::OnUpdateTextSelect(CCmdUI* pCmdUI) {
    pCmdUI->Enable(m_docType == kDocDvi);
    pCmdUI->SetCheck(m_viewMode == kModeText ? 2 : 0);
}
void CVrViewerView::OnUpdateColumnSelect(CCmdUI* pCmdUI) {
    pCmdUI->Enable(m_docType == kDocDvi);
    pCmdUI->SetCheck(m_viewMode == kModeColumn ? 1 : 0);
}
void CVrViewerView::OnUpdateImageSelect(CCmdUI* pCmdUI) { pCmdUI->SetCheck(m_viewMode == kModeImage ? 2 : 0); }

void CVrViewerView::OnEditMode() { AfxMessageBox("TEST"); }

void CVrViewerView::OnUpdateEditMode(CCmdUI* pCmdUI) {
    const bool selecting = m_viewMode == kModeText || m_viewMode == kModeColumn || m_viewMode == kModeImage;
    pCmdUI->SetCheck(selecting ? 2 : 0);
}

void CVrViewerView::OnToolbarDropDown(UINT nButtonId, const RECT& r) {
    if (nButtonId != ID_TEXT_SELECT) return;
    CMenu menu;
    if (!menu.LoadMenu(IDR_TEXT_MODES_POPUP)) return;
    if (CMenu* popup = menu.GetSubMenu(0))
        popup->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, r.left, r.bottom + 1, this);
}

// ---------------------------------------------------------- cancel and copy

void CVrViewerView::OnEditCancel() {
    if (m_viewMode == kModeText || m_viewMode == kModeColumn) {
        m_select.SetRange(-1, -1);
        m_selectionStart = m_selectionEnd = -1;
        m_segment = -1;
        m_selPageCount = 0;
        m_segmentText.clear();
        m_segmentRects.clear();
        m_segmentZoom.clear();
    } else if (m_viewMode == kModeImage) {
        ClearImageSelection();
    }
    Invalidate(TRUE);
}

CString CVrViewerView::SelectionClipboardText() {
    if (m_segment < 0 || m_segment >= int(m_segmentText.size())) return CString();
    m_segmentText[size_t(m_segment)] = m_select.GetSelectedString();
    const String8& current = m_segmentText[size_t(m_segment)];
    if (current.IsNull() || current.GetLength() == 0) return CString();
    std::string text;
    if (m_viewMode == kModeColumn) {
        text = TextOf(current);
    } else {
        for (int i = 0; i <= m_segment; ++i) text += TextOf(m_segmentText[size_t(i)]) + "\r\n";
    }
    return CString(text);
}

void CVrViewerView::OnEditCopy() {
    if (m_viewMode == kModeText || m_viewMode == kModeColumn) {
        const CString text = SelectionClipboardText();
        if (!text.IsEmpty()) AfxSetClipboardText(text);
        return;
    }
    if (m_viewMode != kModeImage || !m_imageSel.active) return;
    if (m_imageSel.page != m_page) {
        CString text;
        text.Format(AfxLoadString(IDS_VIEW_COPY_OTHER_PAGE), m_imageSel.page + 1);
        AfxShowMessageBox(this, text, nullptr, MB_OK);
        return;
    }
    // The rectangle on the page, clipped to the page image.
    int left = m_imageSel.x1 + m_imageSel.scrollX1, right = m_imageSel.x2 + m_imageSel.scrollX2;
    int top = m_imageSel.y1 + m_imageSel.scrollY1 - m_topOffset;
    int bottom = m_imageSel.y2 + m_imageSel.scrollY2 - m_topOffset;
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, m_pageSurface.width);
    bottom = std::min(bottom, m_pageSurface.height);
    if (right <= left || bottom <= top) return;
    const int w = right - left, h = bottom - top;
    std::vector<uint32_t> pixels(size_t(w) * size_t(h), 0xFFFFFFFF);
    if (m_docType == kDocDvi) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const COLORREF c = m_pageSurface.dc.GetPixel(left + x, top + y);
                pixels[size_t(y) * size_t(w) + size_t(x)] =
                    0xFF000000u | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
            }
    } else {
        // TIFF and PostScript pages: the image as the page shows it.
        if (!m_imageBits || m_imageInfo.empty()) return;
        CDC dc;
        if (!dc.CreateCompatibleDC(nullptr)) return;
        CBitmap bitmap;
        if (!bitmap.CreateCompatibleBitmap(nullptr, w, h)) return;
        CBitmap* old = dc.SelectObject(&bitmap);
        StretchPageImage(dc, -left, -top);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const COLORREF c = dc.GetPixel(x, y);
                pixels[size_t(y) * size_t(w) + size_t(x)] =
                    0xFF000000u | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
            }
        dc.SelectObject(old);
    }
    AfxSetClipboardImage(pixels.data(), w, h);
}

// ------------------------------------------------------ carrying selections

void CVrViewerView::ContinueSelectionNextPage() {
    VrDvi* reader = Reader();
    if (!reader || m_segment < 0) return;
    ViewStatus vs;
    GetViewStatus(vs);
    const String8 text = m_select.GetSelectedString();
    if (text.GetLength() > 0) m_segmentText[size_t(m_segment)] = text;
    std::vector<VrDviSelect::Rectangle>& rects = m_segmentRects[size_t(m_segment)];
    rects.clear();
    if (DList<VrDviSelect::Rectangle>* list = m_select.GetSelRect())
        for (auto it = list->Begin(); it; it.Next()) rects.push_back(it.Value());
    ++m_segment;
    m_selPageCount = m_segment;
    m_segmentText.resize(size_t(m_segment) + 1);
    m_segmentRects.resize(size_t(m_segment) + 1);
    m_segmentZoom.resize(size_t(m_segment) + 1);
    m_select.SetRange(-1, -1);
    if (!OpenSelection(vs.page + 1)) return;
    vs.page += 1;
    vs.scrollY = vs.originY;
    SetStatus(vs);
    UpdateToolbarStatus();
    m_segmentZoom[size_t(m_segment)] = m_pageSurface.dispMag * 0.0001;
    // The selection goes on from the top of the new page.
    const CPoint sp = SelectPoint(0, 0);
    m_select.BeginSelect(sp.x, sp.y);
}

void CVrViewerView::ContinueSelectionPrevPage() {
    VrDvi* reader = Reader();
    if (!reader || m_segment <= 0) return;  // never above the page the drag began on
    ViewStatus vs;
    GetViewStatus(vs);
    m_segmentRects[size_t(m_segment)].clear();
    m_segmentText[size_t(m_segment)] = String8();
    --m_segment;
    m_selPageCount = m_segment;
    m_segmentText.resize(size_t(m_segment) + 1);
    m_segmentRects.resize(size_t(m_segment) + 1);
    m_segmentZoom.resize(size_t(m_segment) + 1);
    m_select.SetRange(-1, -1);
    if (!OpenSelection(vs.page - 1)) return;
    vs.page -= 1;
    vs.scrollY = vs.topOffset + m_areaBottom;  // the lower part of the page (SetStatus clamps)
    SetStatus(vs);
    UpdateToolbarStatus();
    if (m_page == m_selFirstPage) {
        // Back on the anchor page: begin again at the anchor.
        m_select.SetRange(-1, -1);
        const CPoint sp = SelectPoint(m_anchorX, m_anchorY);
        m_select.BeginSelect(sp.x, sp.y);
    } else {
        // The selection goes on upwards from the foot of the page.
        const CPoint sp = SelectPoint(m_pageSurface.width, m_pageSurface.height);
        m_select.BeginSelect(sp.x, sp.y);
    }
}

// ---------------------------------------------------------- image selection

int CVrViewerView::StartImageSelection(int x, int y, int page) {
    m_imageSel.x1 = m_imageSel.x2 = x;
    m_imageSel.y1 = m_imageSel.y2 = y;
    if (page != m_imageSel.page) {
        m_imageSel.active = 0;
        m_imageSel.page = page;
    }
    return 1;
}

int CVrViewerView::ExtendImageSelection(int x, int y) {
    m_imageSel.x2 = x;
    m_imageSel.y2 = y;
    return 1;
}

void CVrViewerView::ClearImageSelection() { m_imageSel = ImageSelection{}; }

// ------------------------------------------------------------------ painting

void CVrViewerView::PaintOverlays(CDC& dc, const RECT& area, const ViewStatus& vs) {
    const int ox = -vs.scrollX, oy = vs.topOffset - vs.scrollY;
    const bool dviPage = m_docType == kDocDvi && m_pageSurface.drawer.IsWorking();
    CRect clip(area.left, vs.topOffset, area.right, area.bottom);
    if (dviPage && !m_searchRects.empty()) {
        const int saved = dc.SaveDC();
        CBrush white(kWhite);
        dc.SelectObject(&white);
        dc.SelectStockObject(NULL_PEN);
        dc.SetROP2(R2_XORPEN);
        for (const RECT& r : m_searchRects) dc.Rectangle(r.left + ox, r.top + oy, r.right + ox, r.bottom + oy);
        dc.RestoreDC(saved);
    }
    // A Windows-font page has its hit's characters redrawn in red.
    if (dviPage && m_pageSurface.drawer.IsWinFont() && !m_searchChars.empty())
        RedrawHitCharacters(dc, m_pageSurface.drawer, m_searchChars, RGB(255, 0, 0), FW_BOLD, ox, oy);
    if (dviPage && (m_viewMode == kModeText || m_viewMode == kModeColumn) && m_segment >= 0) {
        const bool inRange = m_page >= m_selFirstPage && m_page < m_selFirstPage + m_selPageCount;
        const bool own = m_page == m_select.GetCurPageNo();
        std::vector<VrDviSelect::Rectangle> rects;
        if (m_viewMode == kModeText && inRange && !own) {
            rects = m_segmentRects[size_t(m_page - m_selFirstPage)];
        } else if (own && !m_select.IsEmpty()) {
            if (DList<VrDviSelect::Rectangle>* list = m_select.GetSelRect())
                for (auto it = list->Begin(); it; it.Next()) rects.push_back(it.Value());
        }
        if (!rects.empty()) {
            const int saved = dc.SaveDC();
            CBrush brush(kSelectionBrush);
            dc.SelectObject(&brush);
            dc.SelectStockObject(NULL_PEN);
            dc.SetROP2(R2_XORPEN);
            const bool winFont = m_pageSurface.drawer.IsWinFont() != 0;
            for (const VrDviSelect::Rectangle& r : rects) {
                CRect px;
                if (winFont) {
                    px = CRect(r.left, r.top, r.right, r.bottom + (r.bottom - r.top) / 5);
                } else {
                    px = CRect(RoundAway(r.left * m_pageSurface.drawer.GethFactor()) - 2,
                               RoundAway(r.top * m_pageSurface.drawer.GetvFactor()) - 2,
                               RoundAway(r.right * m_pageSurface.drawer.GethFactor()) + 2,
                               RoundAway(r.bottom * m_pageSurface.drawer.GetvFactor()) + 2);
                    px.OffsetRect(m_pageSurface.drawer.hDot(0), m_pageSurface.drawer.vDot(0));
                }
                px.OffsetRect(ox, oy);
                CRect shown;
                if (shown.IntersectRect(px, clip)) dc.Rectangle(shown.left, shown.top, shown.right, shown.bottom);
            }
            dc.RestoreDC(saved);
        }
    }
    if (m_draggingNote) {
        const int saved = dc.SaveDC();
        CPen pen(PS_DOT, 1, 0);
        dc.SelectObject(&pen);
        dc.SelectStockObject(NULL_BRUSH);
        dc.Rectangle(&m_dragOutline);
        dc.RestoreDC(saved);
    }
    if (m_viewMode == kModeImage && m_imageSel.active && m_imageSel.page == m_page) {
        const int saved = dc.SaveDC();
        CPen pen(PS_DOT, 1, kImageFrame);
        dc.SelectObject(&pen);
        dc.SelectStockObject(NULL_BRUSH);
        dc.Rectangle(m_imageSel.x1 + m_imageSel.scrollX1 - vs.scrollX, m_imageSel.y1 + m_imageSel.scrollY1 - vs.scrollY,
                     m_imageSel.x2 + m_imageSel.scrollX2 - vs.scrollX, m_imageSel.y2 + m_imageSel.scrollY2 - vs.scrollY);
        dc.RestoreDC(saved);
    }
}
