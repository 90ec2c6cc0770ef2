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
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->geometry();
        move(area.left() + area.width() / 2 - width() / 2, area.top() + area.height() / 2 - height() / 2);
    }
    show();
    raise();
    repaint();
    QApplication::processEvents();
}
