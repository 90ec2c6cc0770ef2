// DocSaveDVIDlg: the save dialog of a DVI document, with the check box that
// asks for the pictures to be copied beside the saved document.
#pragma once

#include "platform/ui/FileDialog.h"

constexpr UINT IDD_SAVE_DVI = 154;
constexpr UINT IDC_SAVE_PICTURES = 1007;

class DocSaveDVIDlg : public CFileDialog {
public:
    static constexpr const char* kFilter =
        "DVI Files (*.dvi)|*.dvi|Compressed DVI Files (*.vrd,*.dgz)|*.vrd;*.dgz|All Files (*.*)|*.*||";
    static constexpr DWORD kFlags = OFN_EXPLORER | OFN_ENABLETEMPLATE | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;

    DocSaveDVIDlg(const char* fileName, const char* title, CWnd* parent, int flag);

    // 1 when the pictures are to be copied (after OK).
    int m_flag;

protected:
    void OnInitDone() override;

private:
    CString m_title;
};
