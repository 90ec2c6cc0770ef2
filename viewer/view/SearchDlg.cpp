#include "viewer/view/SearchDlg.h"

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/ui/StringTable.h"
#include "viewer/res/ViewDialogStrings.h"
#include "viewer/res/ViewerStrings.h"

namespace {
QString Text(UINT id) { return QString::fromUtf8(AfxLoadString(id).c_str()); }
}  // namespace

SearchDlg::SearchDlg(CWnd* pParent) : CDialog(IDD_SEARCH, pParent) { AfxRegisterViewerStrings(); }

CPoint SearchDlg::Placement(CPoint point, int width, int height, const RECT& desktop) {
    int x = std::max<int>(point.x - width / 2, 0);
    if (x + width > desktop.right) x = std::max<int>(desktop.right - width, 0);
    int y = std::max<int>(point.y + 20, 0);
    if (y + height > desktop.bottom) y = std::max<int>(point.y - height - 30, 0);
    return CPoint(x, y);
}

void SearchDlg::BuildDialog(QDialog& dialog) {
    dialog.setWindowTitle(Text(IDS_SEARCH_CAPTION));
    auto* layout = new QHBoxLayout(&dialog);
    auto* left = new QVBoxLayout;
    auto* row = new QHBoxLayout;
    auto* edit = new QLineEdit(&dialog);
    auto* label = new QLabel(Text(IDS_SEARCH_FIND_WHAT), &dialog);
    label->setBuddy(edit);
    row->addWidget(label);
    row->addWidget(edit);
    left->addLayout(row);
    auto* lower = new QHBoxLayout;
    auto* matchCase = new QCheckBox(Text(IDS_SEARCH_MATCH_CASE), &dialog);
    lower->addWidget(matchCase, 0, Qt::AlignBottom);
    auto* group = new QGroupBox(Text(IDS_SEARCH_DIRECTION), &dialog);
    auto* radios = new QHBoxLayout(group);
    auto* up = new QRadioButton(Text(IDS_SEARCH_UP), group);
    auto* down = new QRadioButton(Text(IDS_SEARCH_DOWN), group);
    radios->addWidget(up);
    radios->addWidget(down);
    lower->addWidget(group);
    left->addLayout(lower);
    layout->addLayout(left);
    auto* buttons = new QVBoxLayout;
    auto* search = new QPushButton(Text(IDS_SEARCH_SEARCH), &dialog);
    auto* cancel = new QPushButton(Text(IDS_SEARCH_CANCEL), &dialog);
    search->setDefault(true);
    buttons->addWidget(search);
    buttons->addWidget(cancel);
    buttons->addStretch();
    layout->addLayout(buttons);
    QObject::connect(search, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    edit->setObjectName("text");
    matchCase->setObjectName("case");
    up->setObjectName("up");
    down->setObjectName("down");
    AddDlgItem(IDC_SEARCH_TEXT, edit);
    AddDlgItem(IDC_SEARCH_CASE, matchCase);
    AddDlgItem(IDC_SEARCH_UP, up);
    AddDlgItem(IDC_SEARCH_DOWN, down);
    AddDlgItem(IDOK, search);
    AddDlgItem(IDCANCEL, cancel);
}

BOOL SearchDlg::OnInitDialog() {
    SetDlgItemText(IDC_SEARCH_TEXT, m_text);
    CheckDlgButton(IDC_SEARCH_CASE, m_matchCase ? 1 : 0);
    CheckDlgButton(m_direction ? IDC_SEARCH_DOWN : IDC_SEARCH_UP, 1);
    if (auto* edit = qobject_cast<QLineEdit*>(GetDlgItemWidget(IDC_SEARCH_TEXT))) {
        edit->selectAll();
        edit->setFocus();
    }
    QDialog* dialog = GetDialog();
    if (m_placeNear && dialog) {
        dialog->adjustSize();
        QScreen* screen = QGuiApplication::screenAt(QPoint(m_x, m_y));
        if (!screen) screen = QGuiApplication::primaryScreen();
        const QRect g = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
        const RECT desktop{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
        const CPoint p = Placement(CPoint(m_x, m_y), dialog->width(), dialog->height(), desktop);
        dialog->move(p.x, p.y);
    }
    return TRUE;
}

void SearchDlg::OnOK() {
    m_text = GetDlgItemText(IDC_SEARCH_TEXT);
    m_matchCase = IsDlgButtonChecked(IDC_SEARCH_CASE) ? 1 : 0;
    m_direction = IsDlgButtonChecked(IDC_SEARCH_UP) ? 0 : 1;
    CDialog::OnOK();
}
