// The path pages of the preference sheet: an editable list of folders (TFM,
// VF and TrueType paths), the Edit Path box, the kpathsea folder and the
// contents folder.
#pragma once

#include "base/DList.h"
#include "base/String8.h"
#include "platform/ui/Dialog.h"
#include "viewer/prefs/PrefPages.h"

class QListWidget;
class QPushButton;

// "Edit Path": one line of text.
class EditPathDlg : public CDialog {
public:
    enum { IDD = 124 };
    static constexpr UINT IDC_PATH_EDIT = 1009;
    explicit EditPathDlg(CWnd* parent = nullptr) : CDialog(IDD, parent) {}
    BOOL OnInitDialog() override;
    void OnOK() override;
    String8 m_path;

protected:
    void BuildDialog(QDialog& dialog) override;
};

// 108 "TFM Paths", 126 "VF Paths", 123 "Truetype Paths".
class PrefPathPPage : public CPrefPage {
public:
    explicit PrefPathPPage(unsigned nIDTemplate);
    DList<String8> m_pathList;

    void Load() override;
    void Save() override;
    // The buttons and a double click in the list.
    void OnNew();
    void OnRemove();
    void OnUp();
    void OnDown();
    void OnEdit();

protected:
    void Build(QWidget& page) override;

private:
    void UpdateButtons();
    QListWidget* m_list = nullptr;
    QPushButton *m_remove = nullptr, *m_edit = nullptr;
};

// "kpathsea": the folder of the kpathsea library.
class PrefKPSEPPage : public CPrefPage {
public:
    PrefKPSEPPage() : CPrefPage(122, "kpathsea") {}
    String8 m_folder;
    void Load() override;
    void Save() override;

protected:
    void Build(QWidget& page) override;
};

// "Contents": the folder of the contents files.
class PrefContents : public CPrefPage {
public:
    PrefContents() : CPrefPage(233, "Contents") {}
    String8 m_folder;
    void Load() override;
    void Save() override;

protected:
    void Build(QWidget& page) override;
};
