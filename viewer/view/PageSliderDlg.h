// PageSliderDlg: the modal Goto Page box with a slider over the pages. The
// page view shows the page the slider rests on: half a second after the
// slider stops moving, and not while its button is held.
#pragma once

#include "platform/ui/Dialog.h"

class CVrViewerView;
class QSlider;

class PageSliderDlg : public CDialog {
public:
    enum { IDD = 198 };
    static constexpr UINT IDC_PAGE_SLIDER = 1080;
    static constexpr UINT IDC_SLIDER_MIN = 1083;
    static constexpr UINT IDC_SLIDER_MAX = 1084;
    static constexpr UINT IDC_SLIDER_POS = 1085;
    static constexpr UINT_PTR ID_PAGE_SLIDER_TIMER = 127;
    static constexpr UINT kSettleMs = 500;

    explicit PageSliderDlg(CVrViewerView* view);

    void SetRange(int minimum, int maximum);
    void SetPos(int position) { m_pos = position; }
    int GetPos() const { return m_pos; }

    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnTimer(UINT_PTR nIDEvent) override;
    // The slider moved (WM_HSCROLL).
    void OnHScroll();

    int m_pos = 1;
    int m_max = 1;
    int m_min = 1;
    int m_buttonHeld = 0;

protected:
    void BuildDialog(QDialog& dialog) override;

private:
    QSlider* Slider() const;
    CVrViewerView* m_pVrView;
};
