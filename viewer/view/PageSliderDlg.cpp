#include "viewer/view/PageSliderDlg.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include <string>

#include "platform/ui/StringTable.h"
#include "viewer/res/ViewDialogStrings.h"
#include "viewer/view/VrViewerView.h"

PageSliderDlg::PageSliderDlg(CVrViewerView* view) : CDialog(IDD, view), m_pVrView(view) {}

void PageSliderDlg::SetRange(int minimum, int maximum) {
    m_min = minimum;
    m_max = maximum;
    if (QSlider* s = Slider()) s->setRange(minimum, maximum);
}

QSlider* PageSliderDlg::Slider() const { return qobject_cast<QSlider*>(GetDlgItemWidget(IDC_PAGE_SLIDER)); }

void PageSliderDlg::BuildDialog(QDialog& dialog) {
    dialog.setWindowTitle(QString::fromUtf8(AfxLoadString(IDS_GOTOPAGE_CAPTION).c_str()));
    auto* grid = new QGridLayout(&dialog);
    auto* slider = new QSlider(Qt::Horizontal, &dialog);
    slider->setMinimumWidth(240);
    slider->setPageStep(1);
    auto* minimum = new QLineEdit(&dialog);
    auto* maximum = new QLineEdit(&dialog);
    auto* position = new QLineEdit(&dialog);
    for (QLineEdit* e : {minimum, maximum, position}) {
        e->setReadOnly(true);
        e->setMaximumWidth(60);
        e->setAlignment(Qt::AlignCenter);
    }
    grid->addWidget(minimum, 0, 0);
    grid->addWidget(slider, 0, 1);
    grid->addWidget(maximum, 0, 2);
    grid->addWidget(position, 1, 1, Qt::AlignHCenter);
    QDialogButtonBox* buttons = AddButtonBox(dialog);
    grid->addWidget(buttons, 2, 0, 1, 3);
    QObject::connect(slider, &QSlider::valueChanged, &dialog, [this] { OnHScroll(); });
    QObject::connect(slider, &QSlider::sliderPressed, &dialog, [this] {
        m_buttonHeld = 1;
        KillTimer(ID_PAGE_SLIDER_TIMER);
    });
    // The button let go: the page follows once the slider has rested.
    QObject::connect(slider, &QSlider::sliderReleased, &dialog, [this] {
        m_buttonHeld = 0;
        KillTimer(ID_PAGE_SLIDER_TIMER);
        SetTimer(ID_PAGE_SLIDER_TIMER, kSettleMs);
    });
    AddDlgItem(IDC_PAGE_SLIDER, slider);
    AddDlgItem(IDC_SLIDER_MIN, minimum);
    AddDlgItem(IDC_SLIDER_MAX, maximum);
    AddDlgItem(IDC_SLIDER_POS, position);
}

BOOL PageSliderDlg::OnInitDialog() {
    if (QSlider* s = Slider()) {
        const QSignalBlocker quiet(s);
        s->setRange(m_min, m_max);
        s->setValue(m_pos);
        s->setFocus();
    }
    SetDlgItemText(IDC_SLIDER_MIN, std::to_string(m_min).c_str());
    SetDlgItemText(IDC_SLIDER_MAX, std::to_string(m_max).c_str());
    SetDlgItemText(IDC_SLIDER_POS, std::to_string(m_pos).c_str());
    return FALSE;
}

void PageSliderDlg::OnHScroll() {
    QSlider* s = Slider();
    if (!s) return;
    m_pos = s->value();
    const std::string shown = std::to_string(m_pos);
    if (std::string(GetDlgItemText(IDC_SLIDER_POS)) == shown) return;
    SetDlgItemText(IDC_SLIDER_POS, shown.c_str());
    KillTimer(ID_PAGE_SLIDER_TIMER);
    if (!m_buttonHeld) SetTimer(ID_PAGE_SLIDER_TIMER, kSettleMs);
}

void PageSliderDlg::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent != ID_PAGE_SLIDER_TIMER) return CDialog::OnTimer(nIDEvent);
    // Once per rest of the slider, not every half second after it.
    KillTimer(ID_PAGE_SLIDER_TIMER);
    if (m_pVrView) m_pVrView->GotoPage(m_pos - 1);
}

void PageSliderDlg::OnOK() {
    KillTimer(ID_PAGE_SLIDER_TIMER);
    if (QSlider* s = Slider()) m_pos = s->value();
    CDialog::OnOK();
}
