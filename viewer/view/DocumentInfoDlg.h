// DocumentInfoDlg: the modal Document Information box. The caller fills the
// members; the box shows the name (its last "/" component), the path and,
// when m_listsFilled is set, the fonts and the pictures in list order.
#pragma once

#include "base/DList.h"
#include "base/String8.h"
#include "platform/ui/Dialog.h"

class DocumentInfoDlg : public CDialog {
public:
    enum { IDD = 121 };
    static constexpr UINT IDC_DOCINFO_NAME = 1031;
    static constexpr UINT IDC_DOCINFO_PATH = 1032;
    static constexpr UINT IDC_DOCINFO_FONTS = 1033;
    static constexpr UINT IDC_DOCINFO_PICTURES = 1034;

    explicit DocumentInfoDlg(CWnd* pParentWnd = nullptr);
    BOOL OnInitDialog() override;

    // The text after the last "/" (all of it when there is none).
    static String8 LastComponent(const String8& name);

    String8 m_path;
    String8 m_name;
    DList<String8> m_fonts;
    DList<String8> m_pictures;
    int m_listsFilled = 0;

protected:
    void BuildDialog(QDialog& dialog) override;
};
