#include "viewer/prefs/FileAssocPPage.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "platform/sys/ShellOpen.h"
#include "platform/ui/MessageBox.h"
#include "viewer/res/PrefStrings.h"

namespace {

struct Box {
    int id;
    const char* text;
} const kBoxes[4] = {
    {1079, "&Veloran Document(*.vrd,*.dvi)"},
    {1080, "Tag &Image File Format(*.tif,*.tiff)"},
    {1081, "PostScript &Language(*.ai,*.eps,*.ps)"},
    {1082, "Adobe &Portable Document Format(*.pdf)"},
};

}  // namespace

void FileAssocPPage::Build(QWidget& page) {
    auto* layout = new QVBoxLayout(&page);
    for (int i = 0; i < 4; ++i) {
        m_boxes[i] = new QCheckBox(QString::fromUtf8(PrefText(kBoxes[i].text).c_str()), &page);
        m_boxes[i]->setObjectName(QString::number(kBoxes[i].id));
        layout->addWidget(m_boxes[i]);
        QObject::connect(m_boxes[i], &QCheckBox::clicked, &page, [this, i] { OnClicked(i); });
    }
    auto* row = new QHBoxLayout;
    auto* all = new QPushButton(QString::fromUtf8(PrefText("Select &All").c_str()), &page);
    auto* none = new QPushButton(QString::fromUtf8(PrefText("&Deselect All").c_str()), &page);
    all->setObjectName("1072");
    none->setObjectName("1073");
    row->addWidget(all);
    row->addWidget(none);
    row->addStretch();
    layout->addLayout(row);
    layout->addStretch();
    QObject::connect(all, &QPushButton::clicked, &page, [this] { OnSelectAll(); });
    QObject::connect(none, &QPushButton::clicked, &page, [this] { OnClearAll(); });
}

void FileAssocPPage::SetStates(int count, const int* states) {
    m_count = std::clamp(count, 0, 4);
    for (int i = 0; i < m_count; ++i) m_states[i] = states[i] ? 1 : 0;
    Load();
    if (!m_ghostscriptInstalled && (m_states[2] || m_states[3])) AskForGhostscript();
}

std::vector<int> FileAssocPPage::GetStates() const { return std::vector<int>(m_states, m_states + m_count); }

void FileAssocPPage::Load() {
    m_changed = 0;
    if (!m_widget) return;
    for (int i = 0; i < 4; ++i) m_boxes[i]->setChecked(m_states[i] != 0);
}

void FileAssocPPage::OnSelectAll() {
    for (int i = 0; i < 4; ++i) {
        m_states[i] = 1;
        if (m_boxes[i]) m_boxes[i]->setChecked(true);
    }
    m_changed = 1;
}

void FileAssocPPage::OnClearAll() {
    for (int i = 0; i < 4; ++i) {
        m_states[i] = 0;
        if (m_boxes[i]) m_boxes[i]->setChecked(false);
    }
    m_changed = 1;
}

void FileAssocPPage::OnClicked(int kind) {
    m_states[kind] = m_boxes[kind] && m_boxes[kind]->isChecked() ? 1 : 0;
    m_changed = 1;
    if (kind >= 2 && m_states[kind] && !m_ghostscriptInstalled) AskForGhostscript();
}

void FileAssocPPage::AskForGhostscript() {
    if (AfxMessageBox(IDS_GHOSTSCRIPT_MISSING, MB_YESNO | MB_ICONQUESTION | MB_SYSTEMMODAL) == IDYES)
        sys::ShellOpen(kGhostscriptDownloadPage);
}
