#include "viewer/document/DocSaveDlg.h"

#include <QCheckBox>
#include <QGridLayout>

DocSaveDVIDlg::DocSaveDVIDlg(const char* fileName, const char* title, CWnd* parent, int flag)
    : CFileDialog(FALSE, "dvi", fileName, kFlags, kFilter, parent, IDD_SAVE_DVI), m_flag(flag), m_title(title) {
    m_ofn.lpstrTitle = m_title.c_str();
}

void DocSaveDVIDlg::OnInitDone() {
    QFileDialog* dialog = GetFileDialog();
    if (!dialog) return;
    auto* box = new QCheckBox("Save external picture files in the same directory", dialog);
    box->setChecked(m_flag != 0);
    QObject::connect(box, &QCheckBox::toggled, [this](bool on) { m_flag = on ? 1 : 0; });
    if (auto* grid = qobject_cast<QGridLayout*>(dialog->layout())) grid->addWidget(box, grid->rowCount(), 0, 1, -1);
    AddDlgItem(IDC_SAVE_PICTURES, box);
}
