// CVrViewerView: page commands, the page history, zoom presets, fit modes,
// margin adjustment and the bottom row's page and zoom boxes. Every change
// is a ViewStatus record applied through SetStatus.
#include <QAction>
#include <QLineEdit>
#include <QComboBox>
#include <cctype>
#include <cstdlib>
#include <iterator>

#include "dvilib/VrDvi.h"
#include "viewer/document/LinkScanText.h"
#include "platform/ui/CmdTarget.h"
#include "viewer/view/ViewControls.h"
#include "viewer/view/VrViewerView.h"

namespace {
int RoundedPercent(int dispMag) { return (dispMag + 50) / 100; }

QString PercentText(int percent) { return QString::asprintf("%d%%", percent); }

// The number a box's text starts with, as atoi reads it ("250 %" is 250).
int BoxNumber(const QLineEdit* box) { return linkscan::ParseInt(box->text().toStdString()); }
}  // namespace

void CVrViewerView::MapNavigationCommands() {
    MapCommand(ID_PAGE_NEXT, &CVrViewerView::OnNextPage);
    MapCommand(ID_PAGE_PREV, &CVrViewerView::OnPrevPage);
    MapCommand(ID_PAGE_FIRST, &CVrViewerView::OnFirstPage);
    MapCommand(ID_PAGE_LAST, &CVrViewerView::OnLastPage);
    MapCommand(ID_HISTORY_BACK, &CVrViewerView::OnHistoryBack);
    MapCommand(ID_HISTORY_FORWARD, &CVrViewerView::OnHistoryForward);
    MapUpdateUI(ID_PAGE_NEXT, &CVrViewerView::OnUpdateNextPage);
    MapUpdateUI(ID_PAGE_PREV, &CVrViewerView::OnUpdatePrevPage);
    MapUpdateUI(ID_PAGE_FIRST, &CVrViewerView::OnUpdateFirstPage);
    MapUpdateUI(ID_PAGE_LAST, &CVrViewerView::OnUpdateLastPage);
    MapUpdateUI(ID_HISTORY_BACK, &CVrViewerView::OnUpdateHistoryBack);
    MapUpdateUI(ID_HISTORY_FORWARD, &CVrViewerView::OnUpdateHistoryForward);

    MapCommand(ID_ZOOM_200, &CVrViewerView::OnZoom200);
    MapCommand(ID_ZOOM_150, &CVrViewerView::OnZoom150);
    MapCommand(ID_ZOOM_120, &CVrViewerView::OnZoom120);
    MapCommand(ID_ZOOM_100, &CVrViewerView::OnZoom100);
    MapCommand(ID_ZOOM_90, &CVrViewerView::OnZoom90);
    MapCommand(ID_ZOOM_80, &CVrViewerView::OnZoom80);
    MapCommand(ID_ZOOM_70, &CVrViewerView::OnZoom70);
    MapCommand(ID_ZOOM_50, &CVrViewerView::OnZoom50);
    MapCommand(ID_FIT_WIDTH_BUTTON, &CVrViewerView::OnFitToWidth);
    MapCommand(ID_FIT_WIDTH, &CVrViewerView::OnFitToWidth);
    MapCommand(ID_FIT_PAGE_BUTTON, &CVrViewerView::OnFitToHeight);
    MapCommand(ID_FIT_PAGE, &CVrViewerView::OnFitToHeight);
    MapCommand(ID_FIT_WIDTH_ADJUST_MARGIN, &CVrViewerView::OnFitToWidthAdjustMargin);
    MapCommand(ID_FIT_PAGE_ADJUST_MARGIN, &CVrViewerView::OnFitToHeightAdjustMargin);
    MapCommand(ID_ADJUST_MARGIN, &CVrViewerView::OnAdjustMargin);
    MapUpdateUI(ID_ADJUST_MARGIN, &CVrViewerView::OnUpdateAdjustMargin);
    MapUpdateUI(IDC_PAGE_BOX, &CVrViewerView::OnUpdatePageNumber);
    MapUpdateUI(IDC_ZOOM_BOX, &CVrViewerView::OnUpdateZoom);
    MapUpdateUI(ID_DOCUMENT_LOADED, &CVrViewerView::OnUpdateDocumentLoaded);
}

void CVrViewerView::ConnectNavigationControls() {
    if (!m_controls) return;
    m_controls->SetOwner([this](UINT message, UINT id) {
        switch (message) {
        case WM_TOOLBAR_EDIT_ENTER: OnToolbarEditEnter(id); break;
        case WM_ZOOM_STEP_UP: OnZoomStepUp(id); break;
        case WM_ZOOM_STEP_DOWN: OnZoomStepDown(id); break;
        default: break;
        }
    });
    ConnectToolbarControls();
}

// ---- history ----

void CVrViewerView::UpdateHistoryEntry() {
    if (m_historyCurrent) m_historyCurrent->data = {m_page, m_pageSurface.dispMag, m_scrollX, m_scrollY};
}

void CVrViewerView::PushHistoryEntry() {
    const PageHistoryEntry here{m_page, m_pageSurface.dispMag, m_scrollX, m_scrollY};
    if (m_historyCurrent) {
        while (m_historyCurrent->next) {
            m_history.RemoveNode(m_historyCurrent->next);
            --m_historyCount;
        }
    } else if (m_history.IsEmpty()) {
        // The first move also keeps the place it leaves, so Back can return there.
        m_history.AddTail(here);
        ++m_historyCount;
    }
    m_historyCurrent = m_history.AddTail(here);
    ++m_historyCount;
    while (m_historyCount > kHistoryLimit) {
        m_history.RemoveNode(m_history.GetHead());
        --m_historyCount;
    }
}

void CVrViewerView::RecordAndShow(int page) {
    ViewStatus vs;
    GetViewStatus(vs);
    UpdateHistoryEntry();
    PushHistoryEntry();
    vs.page = page;
    SetStatus(vs);
    UpdateToolbarStatus();
}

void CVrViewerView::ShowHistoryEntry(DList<PageHistoryEntry>::Node* entry) {
    UpdateHistoryEntry();
    m_historyCurrent = entry;
    ViewStatus vs;
    GetViewStatus(vs);
    vs.page = entry->data.page;
    vs.DispMag = entry->data.DispMag;
    vs.scrollX = entry->data.scrollX;
    vs.scrollY = entry->data.scrollY;
    SetStatus(vs);
    UpdateToolbarStatus();
}

void CVrViewerView::OnNextPage() {
    if (m_page < m_pageCount - 1) RecordAndShow(m_page + 1);
}

void CVrViewerView::OnPrevPage() {
    if (m_page > 0) RecordAndShow(m_page - 1);
}

void CVrViewerView::OnFirstPage() { RecordAndShow(0); }

void CVrViewerView::OnLastPage() { RecordAndShow(m_pageCount - 1); }

void CVrViewerView::GotoPage(int page) { RecordAndShow(page); }

void CVrViewerView::OnHistoryBack() {
    if (m_historyCurrent && m_historyCurrent->prev) ShowHistoryEntry(m_historyCurrent->prev);
}

void CVrViewerView::OnHistoryForward() {
    if (m_historyCurrent && m_historyCurrent->next) ShowHistoryEntry(m_historyCurrent->next);
}

void CVrViewerView::OnGotoPageDialog() {
    // With no page yet no number can be confirmed.
    if (!CanShowPages() || m_pageCount < 1) return;
    const int entered = RunGotoPageDialog(m_pageCount, m_page + 1);
    if (entered >= 0) RecordAndShow(entered - 1);
}

int CVrViewerView::EnableForDvi(CCmdUI* pCmdUI) {
    if (!m_pages->HasText()) return 1;
    CVrViewerDoc* doc = GetDocument();
    if (!doc) return -1;
    if (!doc->GetReader().IsOpened()) {
        pCmdUI->Enable(FALSE);
        return 0;
    }
    return 1;
}

void CVrViewerView::OnUpdateFirstPage(CCmdUI* pCmdUI) {
    if (EnableForDvi(pCmdUI) > 0) pCmdUI->Enable(m_page > 0);
}

void CVrViewerView::OnUpdatePrevPage(CCmdUI* pCmdUI) {
    if (EnableForDvi(pCmdUI) > 0) pCmdUI->Enable(m_page > 0);
}

void CVrViewerView::OnUpdateLastPage(CCmdUI* pCmdUI) {
    if (EnableForDvi(pCmdUI) > 0) pCmdUI->Enable(m_page < m_pageCount - 1);
}

void CVrViewerView::OnUpdateNextPage(CCmdUI* pCmdUI) {
    if (EnableForDvi(pCmdUI) > 0) pCmdUI->Enable(m_page < m_pageCount - 1);
}

void CVrViewerView::OnUpdateHistoryBack(CCmdUI* pCmdUI) {
    if (EnableForDvi(pCmdUI) > 0) pCmdUI->Enable(m_historyCurrent && m_historyCurrent->prev);
}

void CVrViewerView::OnUpdateHistoryForward(CCmdUI* pCmdUI) {
    if (EnableForDvi(pCmdUI) > 0) pCmdUI->Enable(m_historyCurrent && m_historyCurrent->next);
}

// ---- the page and zoom boxes ----

bool CVrViewerView::CanShowPages() {
    if (!m_pages->HasText()) return true;
    VrDvi* reader = Reader();
    if (!reader || !reader->IsOpened()) return false;
    m_pageCount = reader->GetNPage();
    return true;
}

void CVrViewerView::UpdateToolbarStatus() {
    if (!m_controls) return;
    // The band's boxes show the page and zoom also without the bottom row.
    if (!(m_scrollBarFlags & 1)) return UpdateBandBoxes();
    const bool back = m_historyCurrent && m_historyCurrent->prev;
    const bool forward = m_historyCurrent && m_historyCurrent->next;
    const struct {
        UINT id;
        bool on;
    } buttons[] = {{ID_PAGE_PREV, m_page >= 1},
                   {ID_PAGE_FIRST, m_page >= 1},
                   {ID_PAGE_NEXT, m_page < m_pageCount - 1},
                   {ID_PAGE_LAST, m_page < m_pageCount - 1},
                   {ID_HISTORY_BACK, back},
                   {ID_HISTORY_FORWARD, forward}};
    for (const auto& b : buttons)
        if (QAction* a = m_controls->NavigationButton(b.id)) a->setEnabled(b.on);
    QLineEdit* pageBox = m_controls->PageBox();
    if (pageBox && !pageBox->hasFocus()) {
        pageBox->setText(PageBoxText());
        // The page shown comes first when the text is wider than the box.
        pageBox->setCursorPosition(0);
    }
    QLineEdit* zoomBox = m_controls->ZoomBox();
    if (zoomBox && !zoomBox->hasFocus()) {
        m_zoomBoxText = PercentText(RoundedPercent(m_pageSurface.dispMag)).toStdString();
        zoomBox->setText(QString::fromStdString(m_zoomBoxText));
    }
    UpdateBandBoxes();
}

void CVrViewerView::ApplyToolbarEdits() {
    if (!GetDocument() || !CanShowPages()) return;
    if (!m_controls || !(m_scrollBarFlags & 1)) return;
    ViewStatus vs;
    GetViewStatus(vs);
    if (QLineEdit* box = m_controls->PageBox()) {
        const int n = BoxNumber(box);
        if (n >= 1 && n <= m_pageCount) vs.page = n - 1;
        box->end(false);
    }
    if (QLineEdit* box = m_controls->ZoomBox()) {
        const std::string text = box->text().toStdString();
        // The box as the view last wrote it asks for nothing: a page entered
        // in a fit mode keeps the fit mode and the exact zoom.
        if (text != m_zoomBoxText) {
            const char first = text.empty() ? 0 : char(std::tolower(static_cast<unsigned char>(text[0])));
            if (first == 'w') {
                vs.DispMagSpec = kFitWidth;
            } else if (first == 'p') {
                vs.DispMagSpec = kFitPage;
            } else {
                const int n = linkscan::ParseInt(text);
                if (n >= 10 && n <= 200) {
                    vs.DispMagSpec = kFitNone;
                    vs.DispMag = n * 100;
                }
            }
        }
        box->end(false);
    }
    SetStatus(vs);
    SetFocus();
    UpdateToolbarStatus();
}

LRESULT CVrViewerView::OnToolbarEditEnter(WPARAM, LPARAM) {
    ApplyToolbarEdits();
    return 0;
}

LRESULT CVrViewerView::OnZoomStepUp(WPARAM, LPARAM) {
    QLineEdit* box = m_controls ? m_controls->ZoomBox() : nullptr;
    if (!box) return 0;
    int current = BoxNumber(box);
    if (current <= 0) current = RoundedPercent(m_pageSurface.dispMag);  // a fit text has no percent
    for (int i = int(std::size(kZoomPresets)) - 1; i >= 0; --i)
        if (kZoomPresets[i] > current) {
            box->setText(QString::number(kZoomPresets[i]));
            ApplyToolbarEdits();
            break;
        }
    return 0;
}

LRESULT CVrViewerView::OnZoomStepDown(WPARAM, LPARAM) {
    QLineEdit* box = m_controls ? m_controls->ZoomBox() : nullptr;
    if (!box) return 0;
    int current = BoxNumber(box);
    if (current <= 0) current = RoundedPercent(m_pageSurface.dispMag);
    for (int preset : kZoomPresets)
        if (preset < current) {
            box->setText(QString::number(preset));
            ApplyToolbarEdits();
            break;
        }
    return 0;
}

void CVrViewerView::ApplyZoomRecord(ViewStatus& vs) {
    if (QLineEdit* box = m_controls ? m_controls->ZoomBox() : nullptr)
        box->setText(PercentText(vs.DispMag / 100));
    if (QComboBox* box = m_controls ? m_controls->BandComboBox(IDC_ZOOM_BOX) : nullptr)
        box->setEditText(PercentText(vs.DispMag / 100));
    SetStatus(vs);
    SetFocus();
    UpdateToolbarStatus();
}

void CVrViewerView::OnZoomSelChange(const char* entry) {
    if (!entry || !GetDocument() || !CanShowPages()) return;
    const int n = linkscan::ParseInt(entry);
    if (n < 1 || n > 300) return;
    ViewStatus vs;
    GetViewStatus(vs);
    vs.DispMagSpec = kFitNone;
    vs.DispMag = n * 100;
    ApplyZoomRecord(vs);
}

void CVrViewerView::SetZoomPercent(int percent) {
    ViewStatus vs;
    GetViewStatus(vs);
    vs.DispMagSpec = kFitNone;
    vs.DispMag = percent * 100;
    ApplyZoomRecord(vs);
}

// ---- fit modes and margins ----

void CVrViewerView::ApplyFit(int mode, const char* boxText) {
    if (m_controls && (m_scrollBarFlags & 1) && m_controls->ZoomBox()) {
        m_controls->ZoomBox()->setText(boxText);
        ApplyToolbarEdits();
        return;
    }
    // Without the bottom row the command still fits.
    ViewStatus vs;
    GetViewStatus(vs);
    vs.DispMagSpec = mode;
    SetStatus(vs);
}

void CVrViewerView::OnFitToWidth() { ApplyFit(kFitWidth, "Width"); }

void CVrViewerView::OnFitToHeight() { ApplyFit(kFitPage, "Paper"); }

void CVrViewerView::OnFitToWidthAdjustMargin() {
    if (m_DispMagSpec != kFitWidth && m_DispMagSpec != kFitWidthMargin) OnFitToWidth();
    OnAdjustMargin();
}

void CVrViewerView::OnFitToHeightAdjustMargin() {
    if (m_DispMagSpec != kFitPage && m_DispMagSpec != kFitPageMargin) OnFitToHeight();
    OnAdjustMargin();
}

void CVrViewerView::OnAdjustMargin() {
    if (m_DispMagSpec == kFitNone || m_marginDialogOpen) return;
    int value = m_marginValue;
    if (m_lastMarginFitMode != m_DispMagSpec) {
        m_marginValue = value = 0;
        m_fitWidth = m_fitHeight = 0;
    }
    if (!m_marginAdjust && m_MarginDispMag > 0) {
        // The remembered margin is taken back out of the zoom; the dialog starts from none.
        ViewStatus vs;
        GetViewStatus(vs);
        vs.DispMag -= m_MarginDispMag * 100;
        SetStatus(vs);
        m_MarginDispMag = 0;
        m_marginValue = value = 0;
        m_marginAdjust = 1;
    }
    if (m_fitWidth == 0 && m_fitHeight == 0) {
        m_fitWidth = m_pageSurface.width;
        m_fitHeight = m_pageSurface.height;
    }
    if (OpenMarginDialog(value)) m_marginDialogOpen = 1;
}

void CVrViewerView::OnUpdateAdjustMargin(CCmdUI* pCmdUI) {
    if (m_DispMagSpec == kFitNone) pCmdUI->Enable(FALSE);
}

void CVrViewerView::SetMarginShift(int value) {
    if (value != m_marginValue) {
        const int d = (value - m_marginValue) * 100;
        ViewStatus vs;
        GetViewStatus(vs);
        if (vs.DispMagSpec == kFitWidth || vs.DispMagSpec == kFitWidthMargin) vs.DispMagSpec = kFitWidthMargin;
        else if (vs.DispMagSpec == kFitPage || vs.DispMagSpec == kFitPageMargin) vs.DispMagSpec = kFitPageMargin;
        m_marginValue = m_MarginDispMag = value;
        m_marginShift = d;
        if (vs.DispMagSpec != kFitNone) {
            vs.DispMag += d;
            SetStatus(vs);
            // The boxes show the widened zoom.
            UpdateToolbarStatus();
        }
    }
    m_lastMarginFitMode = m_DispMagSpec;
}

void CVrViewerView::OnUpdatePageNumber(CCmdUI* pCmdUI) {
    const bool on = CanShowPages();
    pCmdUI->Enable(on);
    if (on) pCmdUI->SetText(QString::asprintf("%d/%d", m_page + 1, m_pageCount).toUtf8().constData());
}

void CVrViewerView::OnUpdateZoom(CCmdUI* pCmdUI) {
    const bool on = CanShowPages();
    pCmdUI->Enable(on);
    if (on) pCmdUI->SetText(PercentText(RoundedPercent(m_pageSurface.dispMag)).toUtf8().constData());
}

void CVrViewerView::OnUpdateDocumentLoaded(CCmdUI* pCmdUI) { pCmdUI->Enable(CanShowPages()); }
