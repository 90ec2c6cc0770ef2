// The small window that shows while the previous version is removed: no
// frame, centred on the screen, kept above other windows.
#pragma once

#include <QWidget>

class ProgressWnd : public QWidget {
public:
    explicit ProgressWnd(const QString& text);
    // Shows the window centred on the primary screen and paints it at once.
    void ShowCentred();
};
