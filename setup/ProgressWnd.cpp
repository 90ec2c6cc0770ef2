#include "setup/ProgressWnd.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

ProgressWnd::ProgressWnd(const QString& text)
    // A caption bar with the title only: nothing to close or minimise while
    // the old version goes.
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint) {
    setWindowTitle(QStringLiteral("VeloranViewer Installer"));
    setObjectName(QStringLiteral("ProgressWnd"));
    auto* label = new QLabel(text, this);
    label->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 18);
    layout->addWidget(label);
    setFixedSize(QSize(260, 70).expandedTo(sizeHint()));
}

void ProgressWnd::ShowCentred() {
    show();
    // The window with its caption bar goes to the middle of the desktop.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        const QSize whole = frameGeometry().size();
        move(area.left() + area.width() / 2 - whole.width() / 2, area.top() + area.height() / 2 - whole.height() / 2);
    }
    raise();
    repaint();
    QApplication::processEvents();
}
