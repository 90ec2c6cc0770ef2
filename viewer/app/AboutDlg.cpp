#include "viewer/app/AboutDlg.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "platform/ui/StringTable.h"
#include "viewer/res/AppStrings.h"

#ifndef VELORAN_VERSION
#define VELORAN_VERSION "5.0"
#endif

const char* CAboutDlg::VersionLine() { return "Version " VELORAN_VERSION; }

void CAboutDlg::BuildDialog(QDialog& dialog) {
    dialog.setWindowTitle(QString::fromUtf8(AfxLoadString(IDS_ABOUT_CAPTION).c_str()));
    auto* layout = new QVBoxLayout(&dialog);
    auto* row = new QHBoxLayout;
    auto* icon = new QLabel(&dialog);
    icon->setPixmap(dialog.style()->standardIcon(QStyle::SP_FileIcon).pixmap(32, 32));
    auto* texts = new QVBoxLayout;
    auto* name = new QLabel("Veloran Viewer", &dialog);
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    CString versionLine;
    AfxFormatString1(versionLine, IDS_ABOUT_VERSION, VELORAN_VERSION);
    auto* version = new QLabel(QString::fromUtf8(versionLine.c_str()), &dialog);
    auto* about = new QLabel(QString::fromUtf8(AfxLoadString(IDS_ABOUT_TEXT).c_str()), &dialog);
    texts->addWidget(name);
    texts->addWidget(version);
    texts->addWidget(about);
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addLayout(texts, 1);
    layout->addLayout(row);
    QDialogButtonBox* buttons = AddButtonBox(dialog, kOkButton, false);
    layout->addWidget(buttons);
    AddDlgItem(IDC_ABOUT_VERSION, version);
}
