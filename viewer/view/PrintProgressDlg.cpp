#include "viewer/view/PrintProgressDlg.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <string>

#include "platform/ui/StringTable.h"
#include "viewer/res/ViewDialogStrings.h"
#include "viewer/res/ViewerStrings.h"

PrintProgressDlg::PrintProgressDlg() : CDialog(IDD) { AfxRegisterViewerStrings(); }

BOOL PrintProgressDlg::Create(CWnd* pParentWnd) {
    m_cancelled = 0;
    return CDialog::Create(pParentWnd);
}

CString PrintProgressDlg::PageText(const char* format, int firstPage, int lastPage, int currentPage) {
    const std::string a = std::to_string(firstPage), b = std::to_string(lastPage), c = std::to_string(currentPage);
    const char* args[] = {a.c_str(), b.c_str(), c.c_str()};
    return AfxFormatInserts(format, args, 3);
}

void PrintProgressDlg::ShowPageText(const char* text) {
    if (m_cancelled || !IsWindow()) return;
    if (QWidget* w = GetDlgItemWidget(IDC_PRINT_RANGE_TEXT)) {
        SetDlgItemText(IDC_PRINT_RANGE_TEXT, text);
        w->show();
    }
}

void PrintProgressDlg::BuildDialog(QDialog& dialog) {
    // A termination signal stops the job as Cancel does.
    MarkCancelledOnTermination(dialog);
    dialog.setWindowTitle(QString::fromUtf8(AfxLoadString(IDS_PRINTING_CAPTION).c_str()));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QString::fromUtf8(AfxLoadString(IDS_PRINTING_NOW).c_str()), &dialog));
    const struct {
        UINT id, text;
    } texts[] = {{IDC_PRINT_RANGE_TEXT, IDS_PRINTING_RANGE},
                 {IDC_PRINT_ERROR_TEXT, IDS_PRINTING_ERROR},
                 {IDC_PRINT_PAGE_TEXT, IDS_PRINTING_PAGE}};
    for (const auto& t : texts) {
        auto* label = new QLabel(QString::fromUtf8(AfxLoadString(t.text).c_str()), &dialog);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(
            QString::fromUtf8(PageText(AfxLoadString(IDS_PRINTING_RANGE), 9999, 9999, 9999).c_str())));
        // The templates are read by the job; the page line shows once it is written.
        label->hide();
        layout->addWidget(label);
        AddDlgItem(t.id, label);
    }
    QDialogButtonBox* buttons = AddButtonBox(dialog, kCancelButton, false);
    layout->addWidget(buttons);
}

void PrintProgressDlg::OnCancel() {
    m_cancelled = 1;
    if (m_pAbortFlag) *m_pAbortFlag = 1;
    DestroyWindow();
}
