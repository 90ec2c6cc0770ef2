// The page view's notes: hit testing, placing and moving notes, the note
// window, the note commands and the icons painted with the page.
#include <QCursor>
#include <QWidget>

#include "platform/ui/CmdTarget.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/NoteWnd.h"
#include "viewer/view/VrViewerView.h"

void CVrViewerView::MapNoteCommands() {
    // A change of a note marks a file document modified; `changed` tells
    // the rest (browser documents too).
    m_notes.onChanged = [this] {
        if (m_isBrowser) return;
        if (CVrViewerDoc* doc = GetDocument()) doc->SetModifiedFlag(TRUE);
    };
    MapCommand(ID_NOTE, &CVrViewerView::OnNote);
    MapCommand(ID_NOTE_EDIT, &CVrViewerView::OnNoteEdit);
    MapCommand(ID_NOTE_DELETE, &CVrViewerView::OnNoteDelete);
    MapCommand(ID_NOTE_PROPERTIES, &CVrViewerView::OnNoteProperties);
    MapCommand(ID_SHOW_NOTE_ICON, &CVrViewerView::OnShowNoteIcon);
    MapUpdateUI(ID_NOTE, &CVrViewerView::OnUpdateNote);
    MapUpdateUI(ID_NOTE_EDIT, &CVrViewerView::OnUpdateNoteCommand);
    MapUpdateUI(ID_NOTE_DELETE, &CVrViewerView::OnUpdateNoteCommand);
    MapUpdateUI(ID_NOTE_PROPERTIES, &CVrViewerView::OnUpdateNoteCommand);
    MapUpdateUI(ID_SHOW_NOTE_ICON, &CVrViewerView::OnUpdateShowNoteIcon);
}

int CVrViewerView::NoteAtPoint(CPoint point) {
    if (!m_pages->HasText() || !m_showNoteIcons) return -1;
    ViewStatus vs;
    GetViewStatus(vs);
    m_notes.ComputeIconRects(vs.page, vs.DispMag, vs.scrollX, vs.scrollY, vs.topOffset);
    return m_notes.HitTest(0, point.x, point.y) ? m_notes.hitIndex : -1;
}

int CVrViewerView::AddNoteAt(CPoint point) {
    if (!m_pages->HasText() || !CanShowPages()) return -1;
    ViewStatus vs;
    GetViewStatus(vs);
    if (vs.page < 0 || vs.page >= m_pageCount || point.y < vs.topOffset) return -1;
    m_notes.AddNote(vs.DispMag, vs.page, point.x + vs.scrollX, point.y + vs.scrollY, vs.topOffset);
    m_selectedNote = m_notes.GetCount() - 1;
    Invalidate(FALSE);
    return m_selectedNote;
}

void CVrViewerView::MoveNoteTo(int index, CPoint point) {
    NoteRecord* note = m_notes.GetNote(index);
    if (!note || note->deleted) return;
    ViewStatus vs;
    GetViewStatus(vs);
    const int x = point.x + vs.scrollX, y = point.y + vs.scrollY;
    if (note->zoom == vs.DispMag && note->page == vs.page && note->x == x && note->y == y &&
        note->topOffset == vs.topOffset)
        return;
    note->zoom = vs.DispMag;
    note->page = vs.page;
    note->x = x;
    note->y = y;
    note->topOffset = vs.topOffset;
    m_notes.StampTime(index);
    Invalidate(FALSE);
}

void CVrViewerView::OpenNoteWindow(int index, bool isNew, bool readOnly) {
    CloseNoteWindow();
    if (!m_notes.GetNote(index) || !GetWidget()) return;
    // Beside the note's icon when it is shown, else where the last menu was.
    CPoint at = m_noteWndPos;
    ViewStatus vs;
    GetViewStatus(vs);
    m_notes.ComputeIconRects(vs.page, vs.DispMag, vs.scrollX, vs.scrollY, vs.topOffset);
    for (const NoteList::IconRect& r : m_notes.GetIconRects())
        if (r.index == index) at = CPoint(r.rect.right + 4, r.rect.top);
    RECT client;
    GetClientRect(&client);
    at.x = std::max(0, std::min<int>(at.x, client.right - NotePopupDlg::kWidth));
    at.y = std::max(vs.topOffset, std::min<int>(at.y, client.bottom - NotePopupDlg::kHeight));
    auto* wnd = new NotePopupDlg(this, index, isNew, readOnly);
    if (!wnd->Create(at.x, at.y, true)) {
        delete wnd;
        return;
    }
    m_pNoteWnd = wnd;
    m_selectedNote = index;
}

void CVrViewerView::CloseNoteWindow() {
    if (CWnd* wnd = m_pNoteWnd) {
        m_pNoteWnd = nullptr;
        wnd->DestroyWindow();
    }
}

void CVrViewerView::PaintNotes(CDC& dc, const ViewStatus& vs) {
    if (!m_showNoteIcons) return;
    m_notes.Draw(dc, vs.page, vs.DispMag, vs.scrollX, vs.scrollY, vs.topOffset);
}

// ---------------------------------------------------------------- commands

void CVrViewerView::OnNote() {
    if (!m_pages->HasText()) return;
    // A selection of the mode left behind goes with it.
    OnEditCancel();
    m_viewMode = 6;
    if (QWidget* w = GetWidget()) {
        const QPoint p = w->mapFromGlobal(QCursor::pos());
        UpdateCursor(CPoint(p.x(), p.y()));
    }
    RequestCommandStates();
}

void CVrViewerView::OnNoteEdit() { OpenNoteWindow(m_selectedNote, false); }

void CVrViewerView::OnNoteDelete() {
    CloseNoteWindow();
    if (m_notes.DeleteNote(m_selectedNote)) Invalidate(FALSE);
}

bool CVrViewerView::RunNotePropertiesDialog(const NoteRecord& note, std::string& user) {
    NotePropDlg dlg(this, note.user, note.time);
    if (dlg.DoModal() != IDOK) return false;
    user = dlg.GetAuthor();
    return true;
}

void CVrViewerView::OnNoteProperties() {
    const NoteRecord* note = m_notes.GetNote(m_selectedNote);
    if (!note || note->deleted) return;
    std::string user;
    if (!RunNotePropertiesDialog(*note, user)) return;
    m_notes.SetNoteUser(m_selectedNote, user);
}

void CVrViewerView::OnShowNoteIcon() {
    m_showNoteIcons = !m_showNoteIcons;
    Invalidate(FALSE);
}

void CVrViewerView::OnUpdateNote(CCmdUI* pCmdUI) {
    pCmdUI->Enable(m_pages->HasText() && m_pageCount > 0);
    pCmdUI->SetCheck(m_viewMode == 6);
}

void CVrViewerView::OnUpdateNoteCommand(CCmdUI* pCmdUI) {
    const NoteRecord* note = m_notes.GetNote(m_selectedNote);
    pCmdUI->Enable(note && !note->deleted);
}

void CVrViewerView::OnUpdateShowNoteIcon(CCmdUI* pCmdUI) { pCmdUI->SetCheck(m_showNoteIcons); }
