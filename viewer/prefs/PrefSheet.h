// PrefSheet: the modal preference sheet, one tab per page and OK / Cancel
// (no Apply). OK checks every page; the first message keeps the sheet open
// on its page. Otherwise every page saves its controls into its members.
#pragma once

#include <vector>

#include "platform/ui/Dialog.h"
#include "viewer/prefs/PrefPages.h"

class QTabWidget;

class PrefSheet : public CDialog {
public:
    enum { IDD = 59500 };
    explicit PrefSheet(CWnd* parent = nullptr);
    void AddPage(CPrefPage* page) { m_pages.push_back(page); }
    void SetActivePage(int index) { m_active = index; }
    void OnOK() override;

protected:
    void BuildDialog(QDialog& dialog) override;

private:
    std::vector<CPrefPage*> m_pages;
    QTabWidget* m_tabs = nullptr;
    int m_active = 0;
};
