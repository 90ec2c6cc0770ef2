#include "viewer/view/GotoPageDlg.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/ui/MessageBox.h"
#include "platform/ui/StringTable.h"
#include "viewer/res/ViewDialogStrings.h"
#include "viewer/res/ViewerStrings.h"

GotoPageDlg::GotoPageDlg(CWnd* pParentWnd) : CDialog(IDD, pParentWnd) { AfxRegisterViewerStrings(); }

CString GotoPageDlg::LabelText(int pageCount) {
    AfxRegisterViewerStrings();
    const std::string count = std::to_string(pageCount);
    const char* args[] = {count.c_str()};
    return AfxFormatInserts(AfxLoadString(IDS_GOTOPAGE_LABEL), args, 1);
}

std::optional<int> GotoPageDlg::ParsePage(const char* text, int pageCount) {
    if (!text) return std::nullopt;
    const char* p = text;
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    if (!std::isdigit(static_cast<unsigned char>(*p)) && *p != '+' && *p != '-') return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(p, &end, 10);
    if (end == p || errno == ERANGE) return std::nullopt;
    while (std::isspace(static_cast<unsigned char>(*end))) ++end;
    if (*end != '\0' || n < 1 || n > pageCount) return std::nullopt;
    return int(n);
}

void GotoPageDlg::BuildDialog(QDialog& dialog) {
    dialog.setWindowTitle(QString::fromUtf8(AfxLoadString(IDS_GOTOPAGE_CAPTION).c_str()));
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(&dialog);
    auto* edit = new QLineEdit(&dialog);
    label->setBuddy(edit);
    layout->addWidget(label);
    layout->addWidget(edit);
    QDialogButtonBox* buttons = AddButtonBox(dialog);
    layout->addWidget(buttons);
    AddDlgItem(IDC_GOTOPAGE_LABEL, label);
    AddDlgItem(IDC_GOTOPAGE_EDIT, edit);
}

BOOL GotoPageDlg::OnInitDialog() {
    SetDlgItemText(IDC_GOTOPAGE_LABEL, LabelText(m_pageCount));
    SetDlgItemText(IDC_GOTOPAGE_EDIT, std::to_string(m_page).c_str());
    if (auto* edit = qobject_cast<QLineEdit*>(GetDlgItemWidget(IDC_GOTOPAGE_EDIT))) {
        edit->selectAll();
        edit->setFocus();
    }
    return FALSE;
}

void GotoPageDlg::OnOK() {
    const std::optional<int> page = ParsePage(GetDlgItemText(IDC_GOTOPAGE_EDIT), m_pageCount);
    if (!page) {
        const std::string count = std::to_string(m_pageCount);
        const char* args[] = {count.c_str()};
        AfxShowMessageBox(this, AfxFormatInserts(AfxLoadString(IDS_GOTOPAGE_RANGE), args, 1), nullptr,
                          MB_OK | MB_ICONEXCLAMATION);
        if (auto* edit = qobject_cast<QLineEdit*>(GetDlgItemWidget(IDC_GOTOPAGE_EDIT))) {
            edit->setFocus();
            edit->selectAll();
        }
        return;
    }
    m_page = *page;
    EndDialog(IDOK);
}
