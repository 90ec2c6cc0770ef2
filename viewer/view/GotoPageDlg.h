// GotoPageDlg: the modal Goto Page box. The caller sets the page count and
// the page shown (1-based); OK is refused with a message unless the edit
// holds a whole number from 1 to the page count, which then is m_page.
#pragma once

#include <optional>

#include "platform/ui/Dialog.h"

class GotoPageDlg : public CDialog {
public:
    enum { IDD = 106 };
    static constexpr UINT IDC_GOTOPAGE_EDIT = 1000;
    static constexpr UINT IDC_GOTOPAGE_LABEL = 1011;

    explicit GotoPageDlg(CWnd* pParentWnd = nullptr);
    BOOL OnInitDialog() override;
    void OnOK() override;

    // The label with the page count inserted.
    static CString LabelText(int pageCount);
    // The page an edit text asks for: a whole number (white space around it
    // allowed) from 1 to pageCount; nothing otherwise.
    static std::optional<int> ParsePage(const char* text, int pageCount);

    int m_pageCount = 0;
    int m_page = 1;

protected:
    void BuildDialog(QDialog& dialog) override;
};
