// PageIndicatorDlg: the small modeless box beside the vertical scroll bar
// that shows "page/count" while the bar's thumb is dragged.
#pragma once

#include "platform/ui/Dialog.h"

class PageIndicatorDlg : public CDialog {
public:
    enum { IDD = 204 };
    static constexpr UINT IDC_PAGE_INDICATOR_TEXT = 1087;

    PageIndicatorDlg();
    using CDialog::Create;
    // Empties the text and creates the box (hidden until placed).
    BOOL Create(CWnd* pParentWnd = nullptr) override;
    BOOL OnInitDialog() override;
    // string 61896 "%d/%d" of page (1-based) and count.
    static CString PageText(int page, int count);
    void SetText(const char* text);
    const CString& GetText() const { return m_text; }

protected:
    void BuildDialog(QDialog& dialog) override;
    void OnOK() override {}
    void OnCancel() override { ShowWindow(SW_HIDE); }

private:
    CString m_text;
};
