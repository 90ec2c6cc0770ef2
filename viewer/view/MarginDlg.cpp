#include "viewer/view/MarginDlg.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>
#include <cstdio>

#include "platform/ui/StringTable.h"
#include "viewer/res/ViewDialogStrings.h"
#include "viewer/view/VrViewerView.h"
#include "viewer/res/ViewerStrings.h"

namespace {
QString Text(UINT id) { return QString::fromUtf8(AfxLoadString(id).c_str()); }
}  // namespace

MarginDlg::MarginDlg() : CDialog(IDD) { AfxRegisterViewerStrings(); }

BOOL MarginDlg::Create(CVrViewerView* pView) {
    m_pView = pView;
    return CDialog::Create(pView);
}

CString MarginDlg::ValueText(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%3d", value);
    return CString(text);
}

void MarginDlg::BuildDialog(QDialog& dialog) {
    dialog.setWindowTitle(Text(IDS_MARGIN_CAPTION));
    auto* layout = new QVBoxLayout(&dialog);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(Text(IDS_MARGIN_LABEL), &dialog));
    auto* slider = new QSlider(Qt::Horizontal, &dialog);
    slider->setMinimumWidth(200);
    auto* value = new QLabel(QString::fromUtf8(m_valueText.c_str()), &dialog);
    value->setMinimumWidth(value->fontMetrics().horizontalAdvance("0000"));
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row->addWidget(slider, 1);
    row->addWidget(value);
    layout->addLayout(row);
    auto* buttons = new QHBoxLayout;
    auto* reset = new QPushButton(Text(IDS_MARGIN_RESET), &dialog);
    auto* close = new QPushButton(Text(IDS_MARGIN_CLOSE), &dialog);
    reset->setAutoDefault(false);
    close->setAutoDefault(false);
    buttons->addStretch(1);
    buttons->addWidget(reset);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    QObject::connect(slider, &QSlider::valueChanged, &dialog, [this] { OnHScroll(); });
    QObject::connect(reset, &QPushButton::clicked, &dialog, [this] { OnReset(); });
    QObject::connect(close, &QPushButton::clicked, &dialog, [this] { OnCloseButton(); });
    AddDlgItem(IDC_MARGIN_SLIDER, slider);
    AddDlgItem(IDC_MARGIN_VALUE, value);
    AddDlgItem(IDC_MARGIN_RESET, reset);
    AddDlgItem(IDC_MARGIN_CLOSE, close);
}

BOOL MarginDlg::OnInitDialog() {
    if (auto* slider = qobject_cast<QSlider*>(GetDlgItemWidget(IDC_MARGIN_SLIDER))) {
        const QSignalBlocker block(slider);
        slider->setRange(0, 100);
        slider->setPageStep(10);
        slider->setValue(0);
    }
    return TRUE;
}

void MarginDlg::SetValue(int value) {
    m_margin = value;
    if (auto* slider = qobject_cast<QSlider*>(GetDlgItemWidget(IDC_MARGIN_SLIDER))) {
        const QSignalBlocker block(slider);
        slider->setValue(value);
    }
    m_valueText = ValueText(value);
    SetDlgItemText(IDC_MARGIN_VALUE, m_valueText);
}

void MarginDlg::OnHScroll() {
    auto* slider = qobject_cast<QSlider*>(GetDlgItemWidget(IDC_MARGIN_SLIDER));
    if (!slider) return;
    m_margin = slider->value();
    m_valueText = ValueText(m_margin);
    SetDlgItemText(IDC_MARGIN_VALUE, m_valueText);
    if (m_pView) m_pView->SetMarginShift(m_margin);
}

void MarginDlg::OnReset() {
    m_margin = 0;
    if (auto* slider = qobject_cast<QSlider*>(GetDlgItemWidget(IDC_MARGIN_SLIDER))) {
        const QSignalBlocker block(slider);
        slider->setValue(0);
    }
    m_valueText = "0";
    SetDlgItemText(IDC_MARGIN_VALUE, m_valueText);
    if (m_pView) m_pView->SetMarginShift(0);
}

void MarginDlg::PostNcDestroy() {
    if (CVrViewerView* view = m_pView) {
        m_pView = nullptr;
        view->OnMarginDialogClosed(this);
    }
    delete this;
}
