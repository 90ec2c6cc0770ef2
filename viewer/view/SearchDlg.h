// SearchDlg: the modal search dialog (155): the text to find, the direction
// (Up or Down) and Match Case. Asked to, it opens near a screen point: below
// it, or above it when there is no room, and always on the desktop.
#pragma once

#include "platform/core/CString.h"
#include "platform/core/Geometry.h"
#include "platform/ui/Dialog.h"

constexpr UINT IDD_SEARCH = 155;
constexpr UINT IDC_SEARCH_TEXT = 1030;
constexpr UINT IDC_SEARCH_CASE = 1031;
constexpr UINT IDC_SEARCH_UP = 1032;
constexpr UINT IDC_SEARCH_DOWN = 1033;

class SearchDlg : public CDialog {
public:
    explicit SearchDlg(CWnd* pParent = nullptr);

    // Top-left corner of a width x height dialog placed near point on a
    // desktop.
    static CPoint Placement(CPoint point, int width, int height, const RECT& desktop);

    int m_placeNear = 0;
    int m_x = 0, m_y = 0;
    int m_direction = 1;  // 0 up, 1 down
    int m_matchCase = 0;
    CString m_text;

    BOOL OnInitDialog() override;
    void OnOK() override;

protected:
    void BuildDialog(QDialog& dialog) override;
};
