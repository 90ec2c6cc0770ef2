// CWnd: a window of the framework over a Qt widget. Windows that draw own a
// back buffer (WindowSurface) and draw into it through a device context, also
// outside paint events; the Qt paint event only shows the surface. Timers by
// id, invalidation and window placement may be requested from any thread;
// they are carried to the UI thread by the dispatcher.
#pragma once

#include <QPointer>
#include <QWidget>
#include <atomic>
#include <map>
#include <memory>

#include "platform/core/CString.h"
#include "platform/core/Geometry.h"
#include "platform/gdi/Surface.h"
#include "platform/ui/AfxIds.h"
#include "platform/ui/CmdTarget.h"
#include "platform/ui/UiDispatcher.h"

class QTimer;
class CDC;

struct CREATESTRUCT {
    const char* lpszName = nullptr;
    const char* lpszClass = nullptr;
    DWORD style = 0;
    DWORD dwExStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    class CWnd* hwndParent = nullptr;
};
using LPCREATESTRUCT = CREATESTRUCT*;

class CWnd : public CCmdTarget {
public:
    CWnd();
    ~CWnd() override;

    // Creates the window as a plain drawing window (a child when pParentWnd is
    // given). rect is in the parent's client coordinates.
    virtual BOOL Create(const char* lpszClassName, const char* lpszWindowName, DWORD dwStyle, const RECT& rect,
                        CWnd* pParentWnd, UINT nID);
    virtual BOOL DestroyWindow();
    // Hooks of creation: the style may be changed before the window exists;
    // OnCreate runs once it does (-1 fails the creation).
    virtual BOOL PreCreateWindow(CREATESTRUCT&) { return TRUE; }
    virtual int OnCreate(LPCREATESTRUCT) { return 0; }
    DWORD GetStyle() const { return m_dwStyle; }

    // The Qt widget (null before creation and after destruction).
    QWidget* GetWidget() const { return m_widget; }
    // Where child windows go (a frame's client area; the widget itself otherwise).
    virtual QWidget* GetClientWidget() const { return m_widget; }
    BOOL IsWindow() const { return m_widget != nullptr; }
    static CWnd* FromWidget(const QWidget* widget);
    // Safe from any thread while the CWnd object itself exists.
    WndGuard GetGuard() const { return m_life.load(); }

    CWnd* GetParent() const;
    UINT GetDlgCtrlID() const { return m_nID; }
    void SetDlgCtrlID(UINT nID) { m_nID = nID; }

    // Placement and state.
    void GetClientRect(LPRECT lpRect) const;
    void GetWindowRect(LPRECT lpRect) const;
    BOOL SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags);
    void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE);
    void MoveWindow(const RECT& rect, BOOL bRepaint = TRUE);
    BOOL ShowWindow(int nCmdShow);
    BOOL IsWindowVisible() const;
    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL IsWindowEnabled() const;
    void SetWindowText(const char* lpszString);
    CString GetWindowText() const;
    void GetWindowText(CString& rString) const { rString = GetWindowText(); }
    CWnd* SetFocus();
    static CWnd* GetFocus();
    void ClientToScreen(LPPOINT lpPoint) const;
    void ScreenToClient(LPPOINT lpPoint) const;
    void SetCapture();
    static void ReleaseCapture();

    // Painting. Invalidate marks the window for a WM_PAINT that draws into the
    // back buffer; UpdateWindow delivers it at once when one is pending.
    // InvalidateRect marks a part of the client area (null: all of it); the
    // parts marked before a paint make one rectangle.
    void Invalidate(BOOL bErase = TRUE);
    void InvalidateRect(const RECT* lpRect, BOOL bErase = TRUE);
    void UpdateWindow();
    // During a paint: the client rectangle it covers (a CPaintDC draws only
    // there); false outside paints.
    bool GetPaintRect(RECT* rect) const;
    // The back buffer, sized to the client area.
    WindowSurface& GetSurface() { return m_surface; }
    const WindowSurface& GetSurface() const { return m_surface; }
    // A device context on the back buffer, usable outside paint events.
    std::unique_ptr<CDC> GetSurfaceDC();

    // Timers by id. Setting an id that runs already restarts it with the new
    // period. Safe from any thread.
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, void* lpfnTimer = nullptr);
    BOOL KillTimer(UINT_PTR nIDEvent);
    bool HasTimer(UINT_PTR nIDEvent) const;

    // Message box owned by this window (see MessageBox.h).
    int MessageBox(const char* lpszText, const char* lpszCaption = nullptr, UINT nType = MB_OK);

    // Handlers of window messages.
    virtual void OnPaint();
    virtual void OnSize(UINT nType, int cx, int cy);
    virtual void OnTimer(UINT_PTR nIDEvent);
    virtual void OnDestroy() {}
    virtual void OnClose();
    virtual void OnLButtonDown(UINT, CPoint) {}
    virtual void OnLButtonUp(UINT, CPoint) {}
    virtual void OnLButtonDblClk(UINT, CPoint) {}
    virtual void OnRButtonDown(UINT, CPoint) {}
    virtual void OnRButtonUp(UINT, CPoint) {}
    virtual void OnMouseMove(UINT, CPoint) {}
    virtual BOOL OnMouseWheel(UINT, short, CPoint) { return FALSE; }
    virtual void OnKeyDown(UINT, UINT, UINT) {}
    virtual void OnKeyUp(UINT, UINT, UINT) {}
    virtual void OnChar(UINT, UINT, UINT) {}
    virtual void OnSetFocus(CWnd*) {}
    virtual void OnKillFocus(CWnd*) {}
    // Called before every mouse move (and on entering): TRUE when the handler
    // set the cursor; otherwise the window's class cursor (the arrow) is used.
    virtual BOOL OnSetCursor(CWnd*, UINT, UINT) { return FALSE; }
    // After the window is gone; frames and views delete themselves here.
    virtual void PostNcDestroy() {}

    // Own map only; views, frames and documents extend the route.
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

protected:
    // Takes over a widget made by a derived class (frames); hooks its life.
    void AttachWidget(QWidget* widget, CWnd* pParent);
    // The widget of a drawing window; the default shows the back buffer.
    virtual QWidget* CreateSurfaceWidget(QWidget* parent);

    DWORD m_dwStyle = 0;

private:
    friend class SurfaceWidget;
    friend class WndHook;
    void WidgetGone();
    // Paints what is marked; the widget rectangle that changed.
    QRect DeliverPaint();
    void StartTimerOnUi(UINT_PTR id, UINT ms);
    void StopTimerOnUi(UINT_PTR id);
    void DetachAndRelease(bool callPostNcDestroy);

    QPointer<QWidget> m_widget;
    CWnd* m_pParentWnd = nullptr;
    UINT m_nID = 0;
    WindowSurface m_surface;
    std::atomic<std::shared_ptr<const void>> m_life;
    std::map<UINT_PTR, QTimer*> m_timers;
    bool m_paintPending = false;
    bool m_destroying = false;
    bool m_paintQueued = false;
    // The marked part (m_invalidAll: the whole client area) and, during a
    // paint, the part it covers.
    bool m_invalidAll = false;
    RECT m_invalid{0, 0, 0, 0};
    bool m_painting = false;
    RECT m_paintRect{0, 0, 0, 0};
    std::atomic<int> m_clientWidth{0}, m_clientHeight{0};
};

// The application's main window (null before it exists and after it is gone).
CWnd* AfxGetMainWnd();
