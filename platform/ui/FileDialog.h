// CFileDialog: the open and save file dialogs. Filters are given in the
// system's form ("Description|*.a;*.b|...||"); a name chosen without an
// extension gets the default extension. With OFN_OVERWRITEPROMPT a save
// dialog asks (a message box) before it takes a name that, with that
// extension, names an existing file; No keeps it open. DoModal runs through the modal
// answerer (the QFileDialog is handed to the script, which selects a file).
#pragma once

#include <QFileDialog>
#include <vector>

#include "platform/ui/Dialog.h"

constexpr DWORD OFN_READONLY = 0x00000001;
constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
constexpr DWORD OFN_NOCHANGEDIR = 0x00000008;
constexpr DWORD OFN_ENABLETEMPLATE = 0x00000040;
constexpr DWORD OFN_ALLOWMULTISELECT = 0x00000200;
constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;
constexpr DWORD OFN_EXPLORER = 0x00080000;

// The fields of the dialog's parameter block that the system's code sets.
struct OPENFILENAME {
    DWORD Flags = 0;
    char* lpstrFile = nullptr; // receives the chosen path when set
    DWORD nMaxFile = 0;
    const char* lpstrTitle = nullptr;
    const char* lpstrDefExt = nullptr;
    const char* lpstrInitialDir = nullptr;
    DWORD nFilterIndex = 1;
};

class CFileDialog : public CDialog {
public:
    CFileDialog(BOOL bOpenFileDialog, const char* lpszDefExt = nullptr, const char* lpszFileName = nullptr,
                DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, const char* lpszFilter = nullptr,
                CWnd* pParentWnd = nullptr, UINT nIDTemplate = 0);

    INT_PTR DoModal() override;

    CString GetPathName() const { return m_strPathName; }
    CString GetFileName() const;
    CString GetFileExt() const;
    CString GetFileTitle() const;
    QFileDialog* GetFileDialog() const { return m_fileDialog; }

    // The folder of the file last chosen in any file dialog of the process
    // (empty before the first).
    static CString GetLastFolder();

    // "Description|patterns|..." turned into Qt name filters ("Description (*.a *.b)").
    static QStringList ParseFilter(const char* lpszFilter);

    OPENFILENAME m_ofn;

protected:
    // Extra controls of the dialog's template are added here.
    virtual void OnInitDone() {}

private:
    BOOL m_bOpenFileDialog;
    CString m_strDefExt, m_strFileName, m_strFilter, m_strTitle, m_strPathName;
    QPointer<QFileDialog> m_fileDialog;
};
