#include "viewer/view/PageIndicatorDlg.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>

#include "platform/ui/StringTable.h"
#include "viewer/res/ViewStrings.h"
#include "viewer/view/VrViewerView.h"
#include "viewer/res/ViewerStrings.h"

PageIndicatorDlg::PageIndicatorDlg() : CDialog(IDD) { AfxRegisterViewerStrings(); }

CString PageIndicatorDlg::PageText(int page, int count) {
    const CString format = AfxLoadString(IDS_VIEW_PAGE_TIP);
    return CString(QString::asprintf(format.c_str(), page, count).toStdString());
}

BOOL PageIndicatorDlg::Create(CWnd* pParentWnd) {
    m_text.Empty();
    if (!CDialog::Create(pParentWnd)) return FALSE;
    // Shown only once the view places it.
    ShowWindow(SW_HIDE);
    return TRUE;
}

void PageIndicatorDlg::BuildDialog(QDialog& dialog) {
    // A tip: no frame, no focus, above the view.
    dialog.setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint);
    dialog.setAttribute(Qt::WA_ShowWithoutActivating);
    dialog.setFocusPolicy(Qt::NoFocus);
    dialog.setStyleSheet("QDialog { background: #ffffe1; border: 1px solid black; }");
    auto* layout = new QHBoxLayout(&dialog);
    layout->setContentsMargins(4, 1, 4, 1);
    auto* label = new QLabel(&dialog);
    layout->addWidget(label);
    AddDlgItem(IDC_PAGE_INDICATOR_TEXT, label);
}

BOOL PageIndicatorDlg::OnInitDialog() {
    SetText(PageText(1, 1));
    return TRUE;
}

void PageIndicatorDlg::SetText(const char* text) {
    m_text = text ? text : "";
    SetDlgItemText(IDC_PAGE_INDICATOR_TEXT, m_text);
    if (QDialog* d = GetDialog()) d->adjustSize();
}
