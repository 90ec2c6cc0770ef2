#include "viewer/prefs/PrefPathPages.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/ui/AfxIds.h"
#include "platform/ui/StringTable.h"
#include "viewer/res/PrefStrings.h"

namespace {

QString Q(const char* text) { return QString::fromUtf8(text); }
// A text of the page in the interface's language.
QString T(const char* english) { return QString::fromUtf8(PrefText(english).c_str()); }
String8 S(const QString& text) { return String8(text.toUtf8().constData()); }

constexpr const char* kNewEntry = "(New Entry)";

const char* PathTitle(unsigned id) {
    switch (id) {
        case 126: return "VF Paths";
        case 123: return "Truetype Paths";
        default: return "TFM Paths";
    }
}

QLineEdit* FolderPage(QWidget& page, const char* label, int id) {
    auto* form = new QFormLayout(&page);
    auto* edit = new QLineEdit(&page);
    edit->setObjectName(QString::number(id));
    edit->setMinimumWidth(280);
    form->addRow(T(label), edit);
    return edit;
}

}  // namespace

// ---- Edit Path ----

void EditPathDlg::BuildDialog(QDialog& dialog) {
    dialog.setWindowTitle(T("Edit Path"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* edit = new QLineEdit(&dialog);
    edit->setMinimumWidth(320);
    layout->addWidget(edit);
    QDialogButtonBox* buttons = AddButtonBox(dialog);
    layout->addWidget(buttons);
    AddDlgItem(IDC_PATH_EDIT, edit);
}

BOOL EditPathDlg::OnInitDialog() {
    auto* edit = static_cast<QLineEdit*>(GetDlgItemWidget(IDC_PATH_EDIT));
    edit->setText(Q(m_path.c_str()));
    edit->setFocus();
    edit->selectAll();
    return FALSE;
}

void EditPathDlg::OnOK() {
    m_path = S(static_cast<QLineEdit*>(GetDlgItemWidget(IDC_PATH_EDIT))->text());
    EndDialog(IDOK);
}

// ---- Path list ----

PrefPathPPage::PrefPathPPage(unsigned nIDTemplate) : CPrefPage(nIDTemplate, PathTitle(nIDTemplate)) {}

void PrefPathPPage::Build(QWidget& page) {
    auto* grid = new QGridLayout(&page);
    m_list = new QListWidget(&page);
    m_list->setObjectName("1015");
    grid->addWidget(m_list, 0, 0, 6, 1);
    struct {
        int id;
        const char* text;
        void (PrefPathPPage::*handler)();
    } buttons[] = {{1018, "&New", &PrefPathPPage::OnNew},   {1020, "&Remove", &PrefPathPPage::OnRemove},
                   {1021, "&Up", &PrefPathPPage::OnUp},     {1022, "&Down", &PrefPathPPage::OnDown},
                   {1019, "&Edit", &PrefPathPPage::OnEdit}};
    int row = 0;
    for (const auto& b : buttons) {
        auto* button = new QPushButton(T(b.text), &page);
        button->setObjectName(QString::number(b.id));
        grid->addWidget(button, row++, 1);
        QObject::connect(button, &QPushButton::clicked, &page, [this, h = b.handler] { (this->*h)(); });
        if (b.id == 1020) m_remove = button;
        if (b.id == 1019) m_edit = button;
    }
    auto* note = new QLabel(T("Note: Modified paths become effective after the next start of the viewer."), &page);
    note->setWordWrap(true);
    grid->addWidget(note, 6, 0, 1, 2);
    QObject::connect(m_list, &QListWidget::currentRowChanged, &page, [this] { UpdateButtons(); });
    QObject::connect(m_list, &QListWidget::itemDoubleClicked, &page, [this] { OnEdit(); });
}

void PrefPathPPage::UpdateButtons() {
    const bool selected = m_list->currentRow() >= 0;
    m_remove->setEnabled(selected);
    m_edit->setEnabled(selected);
}

void PrefPathPPage::Load() {
    if (!m_widget) return;
    m_list->clear();
    for (DList<String8>::Iterator it(m_pathList); it; it.Next()) m_list->addItem(Q(it.Value().c_str()));
    m_list->setCurrentRow(m_list->count() > 0 ? 0 : -1);
    UpdateButtons();
}

void PrefPathPPage::Save() {
    m_pathList.RemoveAll();
    for (int i = 0; i < m_list->count(); ++i) m_pathList.AddTail(S(m_list->item(i)->text()));
}

void PrefPathPPage::OnNew() {
    const int sel = m_list->currentRow();
    if (sel < 0) {
        m_list->addItem(T(kNewEntry));
        m_list->setCurrentRow(m_list->count() - 1);
    } else {
        m_list->insertItem(sel, T(kNewEntry));
        m_list->setCurrentRow(sel);
    }
    UpdateButtons();
}

void PrefPathPPage::OnRemove() {
    const int sel = m_list->currentRow();
    if (sel < 0) return;
    delete m_list->takeItem(sel);
    m_list->setCurrentRow(m_list->count() == 0 ? -1 : std::min(sel, m_list->count() - 1));
    UpdateButtons();
}

void PrefPathPPage::OnUp() {
    const int sel = m_list->currentRow();
    if (sel < 1) return;
    m_list->insertItem(sel - 1, m_list->takeItem(sel));
    m_list->setCurrentRow(sel - 1);
}

void PrefPathPPage::OnDown() {
    const int sel = m_list->currentRow();
    if (sel < 0 || sel >= m_list->count() - 1) return;
    m_list->insertItem(sel + 1, m_list->takeItem(sel));
    m_list->setCurrentRow(sel + 1);
}

void PrefPathPPage::OnEdit() {
    const int sel = m_list->currentRow();
    if (sel < 0) return;
    EditPathDlg dlg;
    dlg.m_path = S(m_list->item(sel)->text());
    if (dlg.DoModal() == IDOK) m_list->item(sel)->setText(Q(dlg.m_path.c_str()));
    m_list->setCurrentRow(sel);
}

// ---- kpathsea and contents folders ----

void PrefKPSEPPage::Build(QWidget& page) { FolderPage(page, "Folder of the kpathsea library:", 1003); }
void PrefKPSEPPage::Load() { m_widget->findChild<QLineEdit*>("1003")->setText(Q(m_folder.c_str())); }
void PrefKPSEPPage::Save() { m_folder = S(m_widget->findChild<QLineEdit*>("1003")->text()); }

void PrefContents::Build(QWidget& page) { FolderPage(page, "Contents folder:", 1095); }
void PrefContents::Load() { m_widget->findChild<QLineEdit*>("1095")->setText(Q(m_folder.c_str())); }
void PrefContents::Save() { m_folder = S(m_widget->findChild<QLineEdit*>("1095")->text()); }
