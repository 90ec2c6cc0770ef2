#include "viewer/prefs/PrefSheet.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "platform/ui/MessageBox.h"
#include "platform/ui/StringTable.h"
#include "viewer/res/AppStrings.h"
#include "viewer/res/PrefStrings.h"
#include "viewer/res/ViewerStrings.h"

void PrefSheet::BuildDialog(QDialog& dialog) {
    dialog.setWindowTitle(QString::fromUtf8(AfxLoadString(IDS_PREFERENCES).c_str()));
    auto* layout = new QVBoxLayout(&dialog);
    m_tabs = new QTabWidget(&dialog);
    for (CPrefPage* page : m_pages) m_tabs->addTab(page->Create(m_tabs), QString::fromUtf8(PrefText(page->GetTitle()).c_str()));
    if (m_active >= 0 && m_active < m_tabs->count()) m_tabs->setCurrentIndex(m_active);
    layout->addWidget(m_tabs);
    QDialogButtonBox* buttons = AddButtonBox(dialog);
    layout->addWidget(buttons);
}

void PrefSheet::OnOK() {
    for (int i = 0; i < int(m_pages.size()); ++i) {
        const String8 message = m_pages[i]->Validate();
        if (message.IsNull()) continue;
        if (m_tabs) m_tabs->setCurrentIndex(i);
        AfxMessageBox(message.c_str(), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    for (CPrefPage* page : m_pages) page->Save();
    EndDialog(IDOK);
}

PrefSheet::PrefSheet(CWnd* parent) : CDialog(IDD, parent) { AfxRegisterViewerStrings(); }
