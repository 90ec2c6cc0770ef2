// Cursors by resource id and the standard cursors. SetCursor applies to the
// window under the pointer (the one whose OnSetCursor runs), as the system's
// code expects from WM_SETCURSOR handling. UI thread only.
#pragma once

#include <QCursor>
#include <QImage>

#include "platform/core/WinTypes.h"

class QWidget;

struct CursorHandle {
    QCursor cursor;
};
using HCURSOR = const CursorHandle*;

// Resource cursors are registered by the program's resources: an image with
// its hot spot, or one of Qt's shapes. Registering an id again replaces it.
void AfxRegisterCursor(UINT nID, const QImage& image, int hotX, int hotY);
void AfxRegisterCursor(UINT nID, Qt::CursorShape shape);

// Null for an unknown id. Handles live as long as the process.
HCURSOR AfxLoadCursor(UINT nID);
HCURSOR AfxLoadStandardCursor(UINT nIDC);
// Sets the cursor of the current cursor window; returns the previous cursor.
HCURSOR SetCursor(HCURSOR hCursor);
HCURSOR GetCursor();

// The window that SetCursor acts on; kept up to date by the windows' mouse events.
void AfxSetCursorWindow(QWidget* widget);

// Shows the wait cursor for its lifetime.
class CWaitCursor {
public:
    CWaitCursor();
    ~CWaitCursor();
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
    void Restore();
};
