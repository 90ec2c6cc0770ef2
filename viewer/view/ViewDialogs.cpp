// CVrViewerView: the dialogs the view opens itself: the go-to-page box, the
// modeless margin box and the page indicator beside the vertical bar.
#include <QDialog>
#include <QScreen>
#include <QScrollBar>
#include <QWidget>

#include "viewer/view/GotoPageDlg.h"
#include "viewer/view/MarginDlg.h"
#include "viewer/view/PageIndicatorDlg.h"
#include "viewer/view/ViewControls.h"
#include "viewer/view/VrViewerView.h"

int CVrViewerView::RunGotoPageDialog(int pageCount, int currentPage) {
    GotoPageDlg dlg(this);
    dlg.m_pageCount = pageCount;
    dlg.m_page = currentPage;
    return dlg.DoModal() == IDOK ? dlg.m_page : -1;
}

bool CVrViewerView::OpenMarginDialog(int value) {
    if (m_pMarginDlg) return false;
    auto* dlg = new MarginDlg;
    if (!dlg->Create(this)) {
        delete dlg;
        return false;
    }
    m_pMarginDlg = dlg;
    // Centred over the view.
    QWidget* box = dlg->GetDialog();
    if (QWidget* w = GetWidget(); w && box) {
        box->adjustSize();
        const QPoint centre = w->mapToGlobal(w->rect().center());
        box->move(centre - QPoint(box->width() / 2, box->height() / 2));
    }
    dlg->SetValue(value);
    return true;
}

void CVrViewerView::OnMarginDialogClosed(MarginDlg* dialog) {
    if (dialog && dialog != m_pMarginDlg) return;
    m_pMarginDlg = nullptr;
    m_marginDialogOpen = 0;
    SaveViewSettingsToRegistry();
}

void CVrViewerView::CloseMarginDialog() {
    MarginDlg* dlg = m_pMarginDlg;
    m_pMarginDlg = nullptr;
    m_marginDialogOpen = 0;
    if (!dlg) return;
    dlg->ForgetView();
    // Its end deletes it.
    if (!dlg->DestroyWindow()) delete dlg;
}

void CVrViewerView::OnDestroy() {
    CloseMarginDialog();
    m_pageTip.reset();
    CView::OnDestroy();
}

void CVrViewerView::ShowPageTip(int page) {
    QScrollBar* bar = m_controls ? m_controls->Bar(true) : nullptr;
    if (!bar || m_pageCount < 1) return;
    if (!m_pageTip) {
        m_pageTip = std::make_unique<PageIndicatorDlg>();
        if (!m_pageTip->Create(this)) {
            m_pageTip.reset();
            return;
        }
    }
    // The tip's height on the bar is found once per drag.
    if (m_tipTop < 0) m_tipTop = bar->height() / m_pageCount * page + (page == 0 ? 10 : 0);
    m_pageTip->SetText(PageIndicatorDlg::PageText(page + 1, m_pageCount));
    QDialog* tip = m_pageTip->GetDialog();
    if (!tip) return;
    tip->setEnabled(true);
    tip->show();
    // Its size is known once it is shown with the text.
    tip->adjustSize();
    const QPoint barTopLeft = bar->mapToGlobal(QPoint(0, 0));
    tip->move(barTopLeft.x() - int(tip->width() * 1.3), barTopLeft.y() + m_tipTop);
    tip->raise();
}

void CVrViewerView::HidePageTip() {
    m_tipTop = -1;
    if (m_pageTip) m_pageTip->ShowWindow(SW_HIDE);
}
