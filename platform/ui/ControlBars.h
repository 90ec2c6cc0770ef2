// Control bars of a frame: toolbars (one button per command id) and the
// status bar with its panes.
#pragma once

#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QStatusBar>
#include <QToolBar>
#include <vector>

#include "platform/ui/Wnd.h"

class CFrameWnd;

// CalcDynamicLayout modes.
constexpr DWORD LM_STRETCH = 0x01;
constexpr DWORD LM_HORZ = 0x02;
constexpr DWORD LM_MRUWIDTH = 0x04;
constexpr DWORD LM_HORZDOCK = 0x08;
constexpr DWORD LM_VERTDOCK = 0x10;
constexpr DWORD LM_LENGTHY = 0x20;
constexpr DWORD LM_COMMIT = 0x40;

// A bar of a frame. Toolbars and the status bar take their place in the
// frame's body themselves; other bars (made with CWnd::Create on the frame)
// are docked with CFrameWnd::DockControlBar and sized by CalcFixedLayout.
class CControlBar : public CWnd {
public:
    ~CControlBar() override;
    // Size when docked: the width (vertical bars) or height (horizontal
    // bars) of the result is used. The default is the widget's own size hint.
    virtual CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz);
    virtual CSize CalcDynamicLayout(int nLength, DWORD nMode);
    // The dock bar id (AFX_IDW_DOCKBAR_*) the bar is docked at, 0 when not docked.
    UINT GetDockBarID() const { return m_nDockBarID; }
    BOOL IsFloating() const { return FALSE; }
    BOOL IsHorzDocked() const { return m_nDockBarID == AFX_IDW_DOCKBAR_TOP || m_nDockBarID == AFX_IDW_DOCKBAR_BOTTOM; }
    CFrameWnd* GetDockingFrame() const { return m_pDockSite; }
    DWORD GetBarStyle() const { return m_dwBarStyle; }
    void SetBarStyle(DWORD dwStyle) { m_dwBarStyle = dwStyle; }
    void EnableDocking(DWORD dwDockStyle) { m_dwDockStyle = dwDockStyle; }
    DWORD GetDockStyle() const { return m_dwDockStyle; }
    virtual void OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHndler) = 0;

protected:
    friend class CFrameWnd;
    // Hooks the bar's widget into the frame's body.
    void AttachToFrame(CFrameWnd* pFrame, QWidget* widget, UINT nID, DWORD dwStyle);
    CFrameWnd* m_pDockSite = nullptr;
    UINT m_nDockBarID = 0;
    DWORD m_dwBarStyle = 0;
    DWORD m_dwDockStyle = 0;
};

// A toolbar resource: the button commands (ID_SEPARATOR for a gap) and a
// strip of button images, one per command in order.
struct ToolBarTemplate {
    std::vector<UINT> buttons;
    QImage images;
    int imageWidth = 16;
};
void AfxRegisterToolBar(UINT nIDResource, ToolBarTemplate toolbar);

class CToolBar : public CControlBar {
public:
    BOOL Create(CFrameWnd* pParentWnd, DWORD dwStyle = WS_CHILD | WS_VISIBLE | CBRS_TOP,
                UINT nID = AFX_IDW_TOOLBAR);
    BOOL CreateEx(CFrameWnd* pParentWnd, DWORD dwCtrlStyle = 0, DWORD dwStyle = WS_CHILD | WS_VISIBLE | CBRS_TOP,
                  CRect rcBorders = CRect(0, 0, 0, 0), UINT nID = AFX_IDW_TOOLBAR);
    BOOL LoadToolBar(UINT nIDResource);
    // Buttons with the given commands; the tool tip of a button is the text
    // after "\n" in the string of its id (the whole string when there is none).
    BOOL SetButtons(const UINT* lpIDArray, int nIDCount);
    int GetCount() const { return int(m_buttons.size()); }
    UINT GetItemID(int nIndex) const;
    int CommandToIndex(UINT nIDFind) const;
    QAction* GetButtonAction(int nIndex) const;
    QToolBar* GetToolBar() const { return m_toolBar; }
    void OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHndler) override;

private:
    QPointer<QToolBar> m_toolBar;
    std::vector<QPointer<QAction>> m_buttons;
    std::vector<UINT> m_ids;
    QImage m_images;
    int m_imageWidth = 16;
};

constexpr UINT SBPS_NORMAL = 0x0000;
constexpr UINT SBPS_NOBORDERS = 0x0100;
constexpr UINT SBPS_POPOUT = 0x0200;
constexpr UINT SBPS_DISABLED = 0x04000000;
constexpr UINT SBPS_STRETCH = 0x08000000;

class CStatusBar : public CControlBar {
public:
    BOOL Create(CFrameWnd* pParentWnd, DWORD dwStyle = WS_CHILD | WS_VISIBLE | CBRS_BOTTOM,
                UINT nID = AFX_IDW_STATUS_BAR);
    // Panes in order; ID_SEPARATOR makes the stretching message pane. A pane's
    // width comes from the string of its id when there is one.
    BOOL SetIndicators(const UINT* lpIDArray, int nIDCount);
    int GetCount() const { return int(m_panes.size()); }
    UINT GetItemID(int nIndex) const;
    int CommandToIndex(UINT nIDFind) const;
    void SetPaneInfo(int nIndex, UINT nID, UINT nStyle, int cxWidth);
    void GetPaneInfo(int nIndex, UINT& nID, UINT& nStyle, int& cxWidth) const;
    BOOL SetPaneText(int nIndex, const char* lpszNewText, BOOL bUpdate = TRUE);
    CString GetPaneText(int nIndex) const;
    // Width in pixels of text in the bar's font.
    int GetTextWidth(const char* lpszText) const;
    void OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHndler) override;

private:
    friend class CStatusCmdUI;
    struct Pane {
        UINT id = 0;
        UINT style = 0;
        int width = 0;
        CString text;
        QPointer<QLabel> label;
    };
    void ShowPane(int nIndex);
    QPointer<QStatusBar> m_statusBar;
    std::vector<Pane> m_panes;
};

// Update-UI of one status pane: SetText sets the text, Enable(FALSE) hides it.
class CStatusCmdUI : public CCmdUI {
public:
    CStatusCmdUI(CStatusBar* bar, int index);
    void Enable(BOOL bOn = TRUE) override;
    void SetCheck(int nCheck = 1) override;
    void SetText(const char* lpszText) override;

private:
    CStatusBar* m_bar;
};
