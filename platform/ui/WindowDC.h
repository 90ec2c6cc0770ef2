// Device contexts on a window's back buffer, as the system's code makes them:
// CPaintDC in a WM_PAINT handler, CClientDC anywhere else. Both draw into
// the window's WindowSurface; the widget shows the result at its next paint.
#pragma once

#include "platform/gdi/DC.h"

class CWnd;

class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* pWnd);
    // Schedules the widget's repaint, so drawing outside a paint shows.
    ~CClientDC() override;

protected:
    CWnd* m_pWnd;
    // A paint shows its own rectangle when it ends.
    bool m_updateOnClose = true;
};

class CPaintDC : public CClientDC {
public:
    // Clipped to the part of the window the paint covers; inside a paint the
    // window shows that part when the paint ends.
    explicit CPaintDC(CWnd* pWnd);
};
