#include "viewer/view/DocumentInfoDlg.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>

#include "platform/ui/StringTable.h"
#include "viewer/res/ViewDialogStrings.h"
#include "viewer/res/ViewerStrings.h"

namespace {
QString Text(UINT id) { return QString::fromUtf8(AfxLoadString(id).c_str()); }

QListWidget* MakeList(QWidget* parent) {
    auto* list = new QListWidget(parent);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    list->setMinimumHeight(90);
    // Long lines scroll sideways, as far as the longest one reaches.
    return list;
}

void Fill(QListWidget* list, const DList<String8>& items) {
    list->clear();
    for (auto it = items.Begin(); !it.AtEnd(); it.Next()) list->addItem(QString::fromUtf8(it.Value().c_str()));
}
}  // namespace

DocumentInfoDlg::DocumentInfoDlg(CWnd* pParentWnd) : CDialog(IDD, pParentWnd) { AfxRegisterViewerStrings(); }

String8 DocumentInfoDlg::LastComponent(const String8& name) {
    const char* s = name.c_str();
    const char* slash = std::strrchr(s, '/');
    return String8(slash ? slash + 1 : s);
}

void DocumentInfoDlg::BuildDialog(QDialog& dialog) {
    dialog.setWindowTitle(Text(IDS_DOCINFO_CAPTION));
    dialog.resize(460, 420);
    auto* layout = new QVBoxLayout(&dialog);
    auto* form = new QFormLayout;
    auto* name = new QLineEdit(&dialog);
    auto* path = new QLineEdit(&dialog);
    for (QLineEdit* e : {name, path}) e->setReadOnly(true);
    form->addRow(Text(IDS_DOCINFO_NAME), name);
    form->addRow(Text(IDS_DOCINFO_PATH), path);
    layout->addLayout(form);
    layout->addWidget(new QLabel(Text(IDS_DOCINFO_FONTS), &dialog));
    QListWidget* fonts = MakeList(&dialog);
    layout->addWidget(fonts, 2);
    layout->addWidget(new QLabel(Text(IDS_DOCINFO_PICTURES), &dialog));
    QListWidget* pictures = MakeList(&dialog);
    layout->addWidget(pictures, 1);
    layout->addWidget(new QLabel(Text(IDS_DOCINFO_COMMENTS), &dialog));
    for (UINT id : {IDS_DOCINFO_STAR_NOTE, IDS_DOCINFO_TRUETYPE_NOTE}) {
        auto* note = new QLabel(Text(id), &dialog);
        note->setWordWrap(true);
        layout->addWidget(note);
    }
    QDialogButtonBox* buttons = AddButtonBox(dialog, kOkButton, false);
    layout->addWidget(buttons);
    AddDlgItem(IDC_DOCINFO_NAME, name);
    AddDlgItem(IDC_DOCINFO_PATH, path);
    AddDlgItem(IDC_DOCINFO_FONTS, fonts);
    AddDlgItem(IDC_DOCINFO_PICTURES, pictures);
}

BOOL DocumentInfoDlg::OnInitDialog() {
    SetDlgItemText(IDC_DOCINFO_NAME, LastComponent(m_name).c_str());
    SetDlgItemText(IDC_DOCINFO_PATH, m_path.c_str());
    auto* fonts = qobject_cast<QListWidget*>(GetDlgItemWidget(IDC_DOCINFO_FONTS));
    auto* pictures = qobject_cast<QListWidget*>(GetDlgItemWidget(IDC_DOCINFO_PICTURES));
    const DList<String8> none;
    if (fonts) Fill(fonts, m_listsFilled ? m_fonts : none);
    if (pictures) Fill(pictures, m_listsFilled ? m_pictures : none);
    return TRUE;
}
