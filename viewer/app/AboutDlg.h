// The About box: the program's icon, name, version and what it does.
#pragma once

#include "platform/ui/Dialog.h"

constexpr UINT IDD_ABOUTBOX = 100;
constexpr UINT IDC_ABOUT_VERSION = 1001;

class CAboutDlg : public CDialog {
public:
    CAboutDlg() : CDialog(IDD_ABOUTBOX) {}
    static const char* VersionLine();

protected:
    void BuildDialog(QDialog& dialog) override;
};
