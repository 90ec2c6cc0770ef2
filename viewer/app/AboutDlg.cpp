#include "viewer/app/AboutDlg.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "platform/ui/StringTable.h"

#ifndef VELORAN_VERSION
#define VELORAN_VERSION "5.0"
#endif

const char* CAboutDlg::VersionLine() { return "Version " VELORAN_VERSION; }

void CAboutDlg::BuildDialog(QDialog& dialog) {
    dialog.setWindowTitle("About Veloran Viewer");
    auto* layout = new QVBoxLayout(&dialog);
    auto* row = new QHBoxLayout;
    auto* icon = new QLabel(&dialog);
    icon->setPixmap(dialog.style()->standardIcon(QStyle::SP_FileIcon).pixmap(32, 32));
    auto* texts = new QVBoxLayout;
    auto* name = new QLabel("Veloran Viewer", &dialog);
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    auto* version = new QLabel(VersionLine(), &dialog);
    auto* about = new QLabel("Shows and prints DVI, TIFF, PostScript and PDF documents,\n"
                             "from files or from the web, with notes on their pages.",
                             &dialog);
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
