// MarginDlg: the modeless Margin Setting box of the page view. Its slider
// (0 to 100 percent) gives the view's margin adjustment; Reset returns to
// no margin; Close ends the box. When the box ends it tells the view
// (OnMarginDialogClosed, which saves the view's settings and forgets the
// box) and deletes itself. A view that goes first calls ForgetView.
#pragma once

#include "platform/ui/Dialog.h"

class CVrViewerView;

class MarginDlg : public CDialog {
public:
    enum { IDD = 200 };
    static constexpr UINT IDC_MARGIN_SLIDER = 1083;
    static constexpr UINT IDC_MARGIN_VALUE = 1084;
    static constexpr UINT IDC_MARGIN_RESET = 1085;
    static constexpr UINT IDC_MARGIN_CLOSE = 1086;

    MarginDlg();
    // Keeps the view and creates the box (its parent).
    BOOL Create(CVrViewerView* pView);
    BOOL OnInitDialog() override;

    // The slider and the value text at value, without telling the view.
    void SetValue(int value);
    int GetMargin() const { return m_margin; }
    // "%3d" of value.
    static CString ValueText(int value);
    // The view is going: the box no longer reports to it.
    void ForgetView() { m_pView = nullptr; }

    // The slider moved (also by keys).
    void OnHScroll();
    void OnReset();
    void OnCloseButton() { DestroyWindow(); }

protected:
    void BuildDialog(QDialog& dialog) override;
    void OnOK() override {}
    void OnCancel() override { DestroyWindow(); }
    void PostNcDestroy() override;

private:
    using CDialog::Create;
    CVrViewerView* m_pView = nullptr;
    int m_margin = 0;
    CString m_valueText{"0"};
};
