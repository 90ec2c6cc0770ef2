// CVrViewerView: the mouse and the four control characters. In view mode a
// click follows a link or shows the magnifier glass; in the text and column
// modes a drag selects text and scrolls (timer 305) when the pointer leaves
// the window; in image mode a drag marks a rectangle. The wheel scrolls and
// turns pages; the right button opens the mode's popup menu.
#include <QCursor>
#include <QGuiApplication>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <strings.h>

#include "dvilib/VrDvi.h"
#include "platform/ui/CmdTarget.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/Menu.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/StringTable.h"
#include "platform/ui/VirtualKeys.h"
#include "viewer/view/GlassWnd.h"
#include "viewer/view/ThumbnailView.h"
#include "viewer/view/ViewHyperlink.h"
#include "viewer/view/ViewInput.h"
#include "viewer/res/ViewStrings.h"
#include "viewer/res/ViewerBitmaps.h"
#include "viewer/res/ViewerMenus.h"
#include "viewer/view/VrViewerView.h"

namespace viewinput {

int ScrollDirection(POINT p, const RECT& r) {
    const bool left = p.x < r.left, right = p.x >= r.right;
    const bool above = p.y < r.top, below = p.y >= r.bottom;
    if (above && left) return 5;
    if (below && left) return 6;
    if (above && right) return 7;
    if (below && right) return 8;
    if (left) return 1;
    if (above) return 2;
    if (right) return 3;
    if (below) return 4;
    return 0;
}

std::string LinkAddress(const std::string& target, const std::string& documentAddress) {
    if (target.find(':') != std::string::npos) return target;
    const size_t slash = documentAddress.find_last_of("/\\");
    if (slash == std::string::npos) return target;
    return documentAddress.substr(0, slash + 1) + target;
}

namespace {
bool HasScheme(const std::string& a, const char* scheme) {
    const size_t n = std::strlen(scheme);
    return a.size() > n && strncasecmp(a.c_str(), scheme, n) == 0;
}
}  // namespace

std::string BrowserAddress(const std::string& address, int page) {
    if (address.size() < 4) return address;
    const char* tail = address.c_str() + address.size() - 4;
    const bool own = strcasecmp(tail, ".dvi") == 0 || strcasecmp(tail, ".dgz") == 0 || strcasecmp(tail, ".vrd") == 0;
    if (!own || !(HasScheme(address, "http:") || HasScheme(address, "https:") || HasScheme(address, "ftp:")))
        return address;
    return address + (address.find('?') == std::string::npos ? "?" : "&") + "page=" + std::to_string(page);
}

}  // namespace viewinput

namespace {

bool ShiftDown() { return GetKeyState(VK_SHIFT) < 0; }

bool PsType(int type) { return type == 2 || type == kDocPs || type == kDocGzip; }

// The popup menus (in the current language) and the cursors of the page view.
void RegisterViewInputResources() {
    AfxRegisterViewerMenus();
    AfxRegisterViewerCursors();
}

}  // namespace

void CVrViewerView::MapInputCommands() { RegisterViewInputResources(); }

CPoint CVrViewerView::PagePoint(CPoint client) const {
    return CPoint(m_scrollX + client.x, m_scrollY - m_topOffset + client.y);
}

CPoint CVrViewerView::SelectPoint(int pageX, int pageY) const {
    if (m_pageSurface.drawer.IsWinFont()) return CPoint(pageX, pageY);
    return CPoint(m_pageSurface.drawer.hDvi(pageX + 2), m_pageSurface.drawer.vDvi(pageY + 2));
}

// ---------------------------------------------------------------- characters

void CVrViewerView::OnChar(UINT nChar, UINT, UINT) {
    // Only Ctrl with the letter: Backspace and Tab give the same codes.
    if (nChar < 6 || nChar > 9 || GetKeyState(VK_CONTROL) >= 0 || m_lastKeyDown != 'A' + nChar - 1) return;
    switch (nChar) {
    case 6: OnSearch(); break;
    case 8: SendCommand(ID_COLUMN_SELECT); break;
    case 9: {
        // Ctrl+G (7) is the accelerator of the page slider: it never gets here.
        const char* referer = std::getenv("HTTP_REFERER");
        AfxShowMessageBox(this, referer ? referer : "", nullptr, MB_OK);
        break;
    }
    default: break;
    }
}

// --------------------------------------------------------------- the glass

void CVrViewerView::PlaceGlass(CPoint client) {
    RECT area;
    GetPageAreaRect(&area);
    const int x = std::clamp<int>(client.x, area.left, std::max(area.left, area.right - 1));
    const int y = std::clamp<int>(client.y, area.top, std::max(area.top, area.bottom - 1));
    const double r = (m_glassSurface.dispMag * 0.0001) / (m_pageSurface.dispMag * 0.0001);
    m_glassSourceX = int((x + m_scrollX) * r) - m_glassWidth / 2 - 1;
    m_glassSourceY = int((y - m_topOffset + m_scrollY) * r) - m_glassHeight / 2 - 1;
    CGlassWnd* glass = m_pGlassWnd.get();
    if (!glass || !glass->IsWindow()) return;
    PrepareGlass();
    glass->SetOffsets(m_glassSourceX, m_glassSourceY);
    CPoint screen(x, y);
    ClientToScreen(&screen);
    int left = screen.x - m_glassWidth / 2;
    const int top = screen.y - m_glassHeight / 2;
    // The thumbnails of the layout bar stay in sight: a glass that would
    // cover them moves right of them.
    if (m_pThumbnailView && m_pThumbnailView->IsWindow() && m_pThumbnailView->IsWindowVisible()) {
        RECT bar;
        m_pThumbnailView->GetWindowRect(&bar);
        if (left < bar.right && left + m_glassWidth + 2 > bar.left && top < bar.bottom &&
            top + m_glassHeight + 2 > bar.top)
            left = bar.right;
    }
    glass->SetWindowPos(nullptr, left, top, m_glassWidth + 2, m_glassHeight + 2, SWP_NOZORDER | SWP_NOACTIVATE);
    if (!glass->IsWindowVisible()) glass->ShowWindow(SW_SHOWNA);
    glass->Invalidate(FALSE);
    glass->UpdateWindow();
}

void CVrViewerView::HideMagnifierGlass() {
    if (!m_glassShown) return;
    m_glassShown = 0;
    ReleaseCapture();
    if (m_pGlassWnd && m_pGlassWnd->IsWindow()) m_pGlassWnd->ShowWindow(SW_HIDE);
    if (QWidget* w = GetWidget()) UpdateCursor(CPoint(w->mapFromGlobal(QCursor::pos()).x(),
                                                      w->mapFromGlobal(QCursor::pos()).y()));
}

// ------------------------------------------------------------------ buttons

void CVrViewerView::OnLButtonDown(UINT nFlags, CPoint point) {
    SetFocus();
    m_pressPoint = point;
    if (PsType(m_docType)) {
        UpdateCursor(point);
    } else if (m_docType == kDocDvi) {
        const int note = NoteAtPoint(point);
        if (note >= 0 && !m_draggingNote) {
            // A note's icon is dragged by where it was grabbed.
            m_draggingNote = 1;
            m_dragNote = note;
            const RECT& r = m_notes.hitRect;
            m_grabOffset = CPoint(point.x - r.left, point.y - r.top);
            m_dragOutline = RECT{r.left, r.top, r.left + NoteList::kHitWidth, r.top + NoteList::kHitHeight};
            SetCapture();
            Invalidate(FALSE);
            return;
        }
        if (!m_pageSurface.drawer.IsWorking() && m_viewMode != kModeImage) return;
    }
    const CPoint pp = PagePoint(point);
    if (m_docType == kDocDvi && m_viewMode == kModeView) {
        m_pressPagePoint = pp;
        const bool onLink = m_pageSurface.drawer.FindHyLink(pp.x, pp.y) != nullptr;
        if (m_glassEnabled && !m_glassShown && !(onLink && !(nFlags & MK_SHIFT))) {
            m_glassShown = 1;
            PlaceGlass(point);
            SetCapture();
            SetViewCursor(0);
        }
    } else if (m_docType == kDocDvi && (m_viewMode == kModeText || m_viewMode == kModeColumn)) {
        HideMagnifierGlass();
        m_select.SetRange(-1, -1);
        m_segment = -1;
        m_selPageCount = 0;
        Invalidate(TRUE);
        m_columnSelect = m_viewMode == kModeColumn;
        if (!OpenSelection(m_page)) return;
        const CPoint sp = SelectPoint(pp.x, pp.y);
        m_select.BeginSelect(sp.x, sp.y);
        m_selectionStart = m_select.GetStartPos();
        m_selectionEnd = m_select.GetEndPos();
        m_buttonDown = 1;
        m_segment = 0;
        m_segmentText.assign(1, String8());
        m_segmentRects.assign(1, {});
        m_segmentZoom.assign(1, m_pageSurface.dispMag * 0.0001);
        m_selFirstPage = m_page;
        m_anchorX = pp.x;
        m_anchorY = pp.y;
        SetCapture();
    } else if (m_viewMode == kModeImage) {
        ClearImageSelection();
        HideMagnifierGlass();
        StartImageSelection(point.x, point.y, m_page);
        m_imageSel.scrollX1 = m_imageSel.scrollX2 = m_scrollX;
        m_imageSel.scrollY1 = m_imageSel.scrollY2 = m_scrollY;
        m_buttonDown = 1;
        SetCapture();
    }
}

bool CVrViewerView::OpenSelection(int page) {
    VrDvi* reader = Reader();
    if (!reader) return false;
    try {
        m_select.Open(*reader, page);
        return true;
    } catch (...) {
        // A page that cannot be interpreted has nothing to select.
        m_select.SetRange(-1, -1);
        StopDrag();
        m_segment = -1;
        return false;
    }
}

void CVrViewerView::StopDrag() {
    KillTimer(ID_SELECTION_SCROLL_TIMER);
    m_scrollDirection = 0;
    m_buttonDown = 0;
    ReleaseCapture();
}

void CVrViewerView::OnLButtonUp(UINT, CPoint point) {
    const bool glassWasShown = m_glassShown != 0;
    if (PsType(m_docType)) {
        FollowPdfLink(point);
        UpdateCursor(point);
        StopDrag();
        return;
    }
    if (m_draggingNote) {
        m_draggingNote = 0;
        if (point.x != m_pressPoint.x || point.y != m_pressPoint.y)
            MoveNoteTo(m_dragNote, CPoint(point.x - m_grabOffset.x, point.y - m_grabOffset.y));
        m_dragNote = -1;
        Invalidate(FALSE);
    } else if (m_docType == kDocDvi && glassWasShown) {
        HideMagnifierGlass();
    } else if (m_docType == kDocDvi && m_viewMode == kModeNote) {
        if (m_pNoteWnd) {
            CloseNoteWindow();
            m_noteOpenedByHover = 0;
        } else if (NoteAtPoint(point) < 0) {
            const int index = AddNoteAt(point);
            if (index >= 0) OpenNoteWindow(index, true);
        }
    } else if (m_docType == kDocDvi && m_viewMode == kModeView && m_pageSurface.drawer.IsWorking()) {
        if (const VrDviDrawer::HyLinkInfo* link =
                m_pageSurface.drawer.FindHyLink(m_pressPagePoint.x, m_pressPagePoint.y)) {
            const String8 reference = link->GetReference();  // following it redraws the page and its links
            FollowDviLink(reference);
        }
    }
    if (m_viewMode == kModeImage && m_buttonDown) Invalidate(FALSE);
    StopDrag();
}

void CVrViewerView::FollowDviLink(const String8& reference) {
    const std::string target = reference.IsNull() ? std::string() : reference.c_str();
    if (target.empty()) return;
    VrDvi* reader = Reader();
    if (target[0] == '#' && reader) {
        const String8 tag(target.c_str() + 1);
        const int p = reader->FindTagPage(tag);
        if (p >= 0) {
            ViewStatus vs;
            GetViewStatus(vs);
            UpdateHistoryEntry();
            PushHistoryEntry();
            vs.page = p;
            vs.targetName = tag;
            SetStatus(vs);
            UpdateToolbarStatus();
            return;
        }
    }
    CVrViewerDoc* doc = GetDocument();
    const std::string base = doc && !doc->GetAddress().IsNull() ? doc->GetAddress().c_str() : "";
    const std::string address = viewinput::LinkAddress(target, base);
    if (OfferHyperlinkToViews(String8(address.c_str()))) return;
    LaunchLink(viewinput::BrowserAddress(address, m_page + 1));
}

int CVrViewerView::OfferHyperlinkToViews(const String8& address) {
    if (address.IsNull() || address.GetLength() == 0) return 0;
    HyperlinkRequest request;
    request.targetText = address.c_str();
    request.url = address.c_str();
    return ShowHyperlinkEnumProc(request);
}

void CVrViewerView::OnRButtonUp(UINT, CPoint point) {
    m_contextMenuActive = 1;
    ShowContextMenu(point);
    m_contextMenuActive = 0;
}

void CVrViewerView::ShowContextMenu(CPoint point) {
    UINT id = IDR_VIEW_POPUP;
    const int note = m_docType == kDocDvi ? NoteAtPoint(point) : -1;
    if (note >= 0) {
        id = IDR_NOTE_POPUP;
        m_selectedNote = note;
        if (m_noteOpenedByHover) {
            CloseNoteWindow();
            m_noteOpenedByHover = 0;
        }
    }
    else if (m_viewMode == kModeText || m_viewMode == kModeColumn || m_viewMode == kModeImage) id = IDR_SELECT_POPUP;
    CMenu menu;
    if (!menu.LoadMenu(id)) return;
    CMenu* popup = menu.GetSubMenu(0);
    if (!popup) return;
    auto enable = [popup](UINT item, bool on) { popup->EnableMenuItem(item, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED)); };
    if (id == IDR_VIEW_POPUP) {
        enable(ID_HISTORY_FORWARD, m_historyCurrent && m_historyCurrent->next);
        enable(ID_HISTORY_BACK, m_historyCurrent && m_historyCurrent->prev);
        enable(ID_PAGE_NEXT, m_page < m_pageCount - 1);
        enable(ID_PAGE_LAST, m_page < m_pageCount - 1);
        enable(ID_PAGE_PREV, m_page >= 1);
        enable(ID_PAGE_FIRST, m_page >= 1);
    } else if (id == IDR_SELECT_POPUP) {
        const bool any = m_viewMode == kModeImage ? m_imageSel.active != 0 : !m_select.IsEmpty();
        enable(ID_EDIT_COPY, any);
        enable(ID_EDIT_CANCEL, any);
    }
    CPoint screen = point;
    ClientToScreen(&screen);
    popup->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, this);
    if (QWidget* w = GetWidget()) {
        const QPoint p = w->mapFromGlobal(QCursor::pos());
        UpdateCursor(CPoint(p.x(), p.y()));
    }
}

// ---------------------------------------------------------------- movement

int CVrViewerView::ScrollDirectionAt(CPoint client) const {
    RECT r;
    GetClientRect(&r);
    return viewinput::ScrollDirection(client, r);
}

void CVrViewerView::SetScrollDirection(int direction) {
    if (direction != 0 && m_scrollDirection == 0) SetTimer(ID_SELECTION_SCROLL_TIMER, 10);
    else if (direction == 0) KillTimer(ID_SELECTION_SCROLL_TIMER);
    m_scrollDirection = direction;
}

void CVrViewerView::OnMouseMove(UINT, CPoint point) {
    UpdateCursor(point);
    // The position pane follows the pointer.
    RequestCommandStates();
    if (m_draggingNote) {
        const int x = point.x - m_grabOffset.x, y = point.y - m_grabOffset.y;
        m_dragOutline = RECT{x, y, x + NoteList::kHitWidth, y + NoteList::kHitHeight};
        Invalidate(FALSE);
        return;
    }
    if (m_docType == kDocDvi && !m_buttonDown && !m_glassShown && m_showNoteIcons) {
        // Hovering over an icon shows its note until the pointer leaves it.
        const int note = NoteAtPoint(point);
        if (note >= 0 && !m_pNoteWnd) {
            m_selectedNote = note;
            OpenNoteWindow(note, false, true);
            m_noteOpenedByHover = m_pNoteWnd != nullptr;
        } else if (note < 0 && m_noteOpenedByHover) {
            CloseNoteWindow();
            m_noteOpenedByHover = 0;
        }
    }
    if (m_docType == kDocDvi && m_glassShown) {
        PlaceGlass(point);
        Invalidate(FALSE);
        return;
    }
    if (m_docType == kDocDvi && m_buttonDown && (m_viewMode == kModeText || m_viewMode == kModeColumn)) {
        const CPoint pp = PagePoint(point);
        const CPoint sp = SelectPoint(pp.x, pp.y);
        m_select.UpdateSelect(sp.x, sp.y);
        m_selectionStart = m_select.GetStartPos();
        m_selectionEnd = m_select.GetEndPos();
        SetScrollDirection(ScrollDirectionAt(point));
        Invalidate(FALSE);
    } else if (m_buttonDown && m_viewMode == kModeImage) {
        SetScrollDirection(ScrollDirectionAt(point));
        ExtendImageSelection(point.x, point.y);
        m_imageSel.scrollX2 = m_scrollX;
        m_imageSel.scrollY2 = m_scrollY;
        m_imageSel.active = 1;
        Invalidate(FALSE);
    }
}

void CVrViewerView::OnSelectionScrollTimer() {
    int d = m_scrollDirection;
    if (!m_buttonDown || d == 0) {
        SetScrollDirection(0);
        return;
    }
    ViewStatus vs;
    GetViewStatus(vs);
    RECT area;
    GetPageAreaRect(&area);
    const int W = area.right - area.left, H = area.bottom - vs.topOffset;
    const bool text = m_docType == kDocDvi && (m_viewMode == kModeText || m_viewMode == kModeColumn);
    const bool column = m_viewMode == kModeColumn;
    const bool up = d == 2 || d == 5 || d == 7, down = d == 4 || d == 6 || d == 8;
    const bool atTop = vs.scrollY < 1, atBottom = H + vs.scrollY >= vs.pageHeight;
    // Across the page edge: text mode carries the selection (never above the
    // page it began on); column and image mode keep the horizontal part.
    if (up && atTop) {
        if (text && !column && m_segment > 0 && vs.page > 0) return ContinueSelectionPrevPage();
        if (!text || column) {
            if (d == 2) return SetScrollDirection(0);
            d = d == 5 ? 1 : 3;
        } else {
            return;  // the top of the first page: nothing to do until the pointer returns
        }
    } else if (down && atBottom) {
        if (text && !column && vs.page < m_pageCount - 1) return ContinueSelectionNextPage();
        if (!text || column) {
            if (d == 4) return SetScrollDirection(0);
            d = d == 6 ? 1 : 3;
        } else {
            return;
        }
    }
    if ((d == 5 || d == 6) && vs.scrollX < 1) d = d == 5 ? 2 : 4;
    if ((d == 7 || d == 8) && vs.scrollX + W >= vs.pageWidth) d = d == 7 ? 2 : 4;
    if (d == 1 && vs.scrollX < 1) return SetScrollDirection(0);
    if (d == 3 && vs.scrollX + W >= vs.pageWidth) return SetScrollDirection(0);
    m_scrollDirection = d;
    static const int dx[9] = {0, -10, 0, 10, 0, -10, -10, 10, 10};
    static const int dy[9] = {0, 0, -10, 0, 10, -10, 10, -10, 10};
    vs.scrollX += dx[d];
    vs.scrollY += dy[d];
    SetStatus(vs);
    if (text) {
        if (d == 2 || d == 5 || d == 7) {
            const CPoint sp = SelectPoint(0, m_scrollY);
            m_select.UpdateSelect(sp.x, sp.y);
        } else if (d == 4 || d == 6 || d == 8) {
            const CPoint sp = SelectPoint(m_scrollX + W, m_scrollY + H);
            m_select.UpdateSelect(sp.x, sp.y);
        }
    } else {
        m_imageSel.scrollX2 = m_scrollX;
        m_imageSel.scrollY2 = m_scrollY;
    }
    Invalidate(FALSE);
}

BOOL CVrViewerView::OnMouseWheel(UINT, short zDelta, CPoint) {
    ViewStatus vs;
    GetViewStatus(vs);
    RECT area;
    GetPageAreaRect(&area);
    const int d = zDelta;
    const int bottom = vs.topOffset - int(area.bottom) + vs.pageHeight;
    if (vs.DispMagSpec == kFitPageMargin) vs.scrollY = d >= 1 ? 0 : bottom;
    bool turned = false;
    if (d >= 1 && vs.scrollY <= 0 && vs.page > 0) {
        UpdateHistoryEntry();
        PushHistoryEntry();
        vs.page -= 1;
        vs.scrollY = vs.pageHeight;
        turned = true;
    } else if (d < 0 && vs.scrollY >= bottom && vs.page < m_pageCount - 1) {
        UpdateHistoryEntry();
        PushHistoryEntry();
        vs.page += 1;
        vs.scrollY = vs.originY;
        turned = true;
    } else {
        // 40 pixels a notch; small steps of fine wheels add up.
        if ((m_wheelRest < 0) != (d > 0) && m_wheelRest != 0) m_wheelRest = 0;
        m_wheelRest += -d * 40;
        const int step = m_wheelRest / 120;
        m_wheelRest -= step * 120;
        vs.scrollY += step;
    }
    if (turned) m_wheelRest = 0;
    SetStatus(vs);
    if (turned) UpdateToolbarStatus();
    return TRUE;
}

void CVrViewerView::OnKillFocus(CWnd*) {
    HideMagnifierGlass();
    if (m_buttonDown) StopDrag();
}

// ------------------------------------------------------------------ cursor

void CVrViewerView::SetViewCursor(UINT id) {
    m_cursorId = id;
    HCURSOR c = nullptr;
    if (id >= IDC_ARROW) c = AfxLoadStandardCursor(id);
    else if (id) c = AfxLoadCursor(id);
    ::SetCursor(c);  // null: hidden (the glass)
    if (QWidget* w = GetWidget()) {
        if (c) w->setCursor(c->cursor);
        else w->setCursor(Qt::BlankCursor);
    }
}

BOOL CVrViewerView::OnSetCursor(CWnd*, UINT, UINT) {
    if (QWidget* w = GetWidget()) {
        const QPoint p = w->mapFromGlobal(QCursor::pos());
        UpdateCursor(CPoint(p.x(), p.y()));
    }
    return TRUE;
}

void CVrViewerView::UpdateCursor(CPoint point) {
    if (m_glassShown) return SetViewCursor(0);
    const bool menu = m_contextMenuActive != 0;
    if ((m_docType == kDocPsRaw || m_docType == kDocPs) && m_viewMode == kModeView && !menu) {
        m_noteUnderPointer = 0;
        POINT p{point.x, point.y};
        if (SetPdfLinkCursor(p)) return SetViewCursor(IDC_VIEW_LINK);
    }
    if (m_docType != kDocDvi || !m_pageSurface.drawer.IsWorking()) {
        m_noteUnderPointer = 0;
        return SetViewCursor(m_viewMode == kModeImage && m_docType != kDocDvi ? IDC_CROSS : IDC_ARROW);
    }
    m_noteUnderPointer = (!menu && NoteAtPoint(point) >= 0) || m_draggingNote;
    if (m_noteUnderPointer) return SetViewCursor(IDC_VIEW_NOTE);
    RECT area;
    GetPageAreaRect(&area);
    const bool inside = point.x >= area.left && point.x < area.right && point.y >= area.top && point.y < area.bottom;
    if (!GetDocument() || m_page >= m_pageCount || !inside) return SetViewCursor(IDC_ARROW);
    const bool shift = ShiftDown();
    if (m_viewMode == kModeText && !shift && !menu) return SetViewCursor(IDC_IBEAM);
    if (m_viewMode == kModeColumn && !menu) return SetViewCursor(IDC_VIEW_COLUMN);
    if (m_viewMode == kModeView && !menu) {
        const CPoint pp = PagePoint(point);
        if (!shift && m_pageSurface.drawer.FindHyLink(pp.x, pp.y)) return SetViewCursor(IDC_VIEW_LINK);
        return SetViewCursor(m_glassEnabled ? IDC_VIEW_GLASS : IDC_VIEW_PAGE);
    }
    if (m_viewMode == kModeImage && !menu) return SetViewCursor(IDC_CROSS);
    if (m_viewMode == kModeNote && !menu) return SetViewCursor(IDC_VIEW_NOTE_PLACE);
    SetViewCursor(IDC_ARROW);
}
