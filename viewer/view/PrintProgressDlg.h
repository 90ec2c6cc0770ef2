// PrintProgressDlg: the modeless box shown while a print job runs. One
// object lives for the whole program; its window exists only during a job.
// Cancel sets the cancelled flag (and the job's abort flag, when one is
// given) and destroys the window; the job polls the flag and must not touch
// the window once it is set. Controls 1020, 1021 and 1022 carry the texts
// the job formats (PageText).
#pragma once

#include "platform/ui/Dialog.h"

class PrintProgressDlg : public CDialog {
public:
    enum { IDD = 113 };
    static constexpr UINT IDC_PRINT_ERROR_TEXT = 1020;
    static constexpr UINT IDC_PRINT_RANGE_TEXT = 1021;
    static constexpr UINT IDC_PRINT_PAGE_TEXT = 1022;

    PrintProgressDlg();
    using CDialog::Create;
    BOOL Create(CWnd* pParentWnd = nullptr) override;

    // A text of control 1021 or 1022 with its inserts (1-based pages).
    static CString PageText(const char* format, int firstPage, int lastPage, int currentPage);
    // Writes text into control 1021 and shows it (while the window exists).
    void ShowPageText(const char* text);

    int m_cancelled = 0;
    // When set, Cancel also sets *m_pAbortFlag to 1.
    int* m_pAbortFlag = nullptr;

protected:
    void BuildDialog(QDialog& dialog) override;
    void OnOK() override {}
    void OnCancel() override;
};
