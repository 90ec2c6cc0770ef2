// Frames: CFrameWnd (a window with menu, bars and a view), the MDI main frame,
// its child frames, and the in-place frame. Every frame's body is a
// QMainWindow, so bars dock around the client area.
#pragma once

#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <map>
#include <vector>

#include "platform/ui/Menu.h"
#include "platform/ui/Wnd.h"

class CControlBar;
class CDocument;
class CStatusBar;
class CView;
struct CCreateContext;

class CFrameWnd : public CWnd {
public:
    CFrameWnd();
    ~CFrameWnd() override;

    // Creates the frame with the resources of nIDResource: the title from the
    // string table (text before the first "\n"), the menu and accelerators of
    // that id when registered. pContext makes the view.
    virtual BOOL LoadFrame(UINT nIDResource, DWORD dwDefaultStyle = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE,
                           CWnd* pParentWnd = nullptr, CCreateContext* pContext = nullptr);
    QMainWindow* GetBody() const { return m_body; }
    QWidget* GetClientWidget() const override;
    // The resource id the frame was loaded from (title, menu, accelerators).
    UINT GetResourceID() const { return m_nIDHelp; }

    CView* GetActiveView() const { return m_pViewActive; }
    void SetActiveView(CView* pViewNew, BOOL bNotify = TRUE);
    virtual CDocument* GetActiveDocument();
    virtual CFrameWnd* GetActiveFrame() { return this; }
    CFrameWnd* GetParentFrame() const;
    CFrameWnd* GetTopLevelFrame();

    // Sizes docked bars from their CalcFixedLayout and lays out the client area.
    virtual void RecalcLayout(BOOL bNotify = TRUE);
    // RecalcLayout once the current message is done.
    void DelayRecalcLayout(BOOL bNotify = TRUE);
    virtual void InitialUpdateFrame(CDocument* pDoc, BOOL bMakeVisible);
    virtual void OnUpdateFrameTitle(BOOL bAddToTitle);
    void SetTitle(const char* lpszTitle) { m_strTitle = lpszTitle; }
    const CString& GetTitle() const { return m_strTitle; }

    // Text of the message pane (pane 0 of the status bar).
    void SetMessageText(const char* lpszText);
    void SetMessageText(UINT nID);
    CStatusBar* GetStatusBar() const { return m_pStatusBar; }

    // Control bars.
    void EnableDocking(DWORD dwDockStyle);
    // A toolbar goes into the tool bar area of that side; another bar into a
    // dock area of that side (AFX_IDW_DOCKBAR_*; 0 is the top), without
    // title or floating, sized by RecalcLayout.
    void DockControlBar(CControlBar* pBar, UINT nDockBarID = 0);
    void ShowControlBar(CControlBar* pBar, BOOL bShow, BOOL bDelay);
    CControlBar* GetControlBar(UINT nID) const;
    void DragAcceptFiles(BOOL bAccept = TRUE);

    // Commands from menus, toolbars and accelerators start here.
    virtual BOOL OnCommand(UINT nID);
    // Runs the update-UI handlers of every item of this frame (and of the MDI
    // children of a main frame).
    virtual void UpdateCmdUI();
    // UpdateCmdUI of the top-level frame once the current message is done;
    // calls before then share that one update. Items follow state changes
    // through this (a page, a mode, the focus), not through polling.
    void DelayUpdateCmdUI();
    // Makes an action send its command through this frame and take part in update-UI.
    void AddCommandAction(QAction* action, UINT nID);
    // Makes an action take part in update-UI only; its owner sends its command.
    void AddUpdateAction(QAction* action, UINT nID);
    // The actions of this frame that carry nID.
    std::vector<QAction*> FindCommandActions(UINT nID) const;

    // Active view, own map, then the application (top-level frames).
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;
    void OnClose() override;

protected:
    virtual QWidget* CreateFrameWidget(QWidget* parent, const CREATESTRUCT& cs);
    virtual BOOL OnCreateClient(LPCREATESTRUCT lpcs, CCreateContext* pContext);
    // Puts the menu of nIDResource into the frame's menu bar and its
    // accelerators onto the frame.
    virtual void BuildMenuAndAccelerators(UINT nIDResource);
    // An accelerator of this frame: the command is sent only while its
    // update-UI leaves it enabled, as a greyed menu item takes no key either.
    QAction* AddAccelerator(const AccelTemplate& accel);
    CView* CreateView(CCreateContext* pContext, UINT nID = 0);
    void PostNcDestroy() override;
    void OnDestroy() override;

    BOOL m_bAutoMenuEnable = TRUE;
    CString m_strTitle;
    UINT m_nIDHelp = 0;

private:
    friend class CControlBar;
    friend class CStatusBar;
    void OnBarCheck(UINT nID);
    void OnUpdateControlBarMenu(CCmdUI* pCmdUI);

    QPointer<QMainWindow> m_body;
    CView* m_pViewActive = nullptr;
    CStatusBar* m_pStatusBar = nullptr;
    std::vector<CControlBar*> m_bars;
    bool m_recalcQueued = false;
    bool m_updateQueued = false;
    std::vector<QPointer<QAction>> m_actions;
};

class CMDIChildWnd;

class CMDIFrameWnd : public CFrameWnd {
public:
    CMDIFrameWnd();
    QMdiArea* GetMdiArea() const { return m_mdiArea; }
    QWidget* GetClientWidget() const override;

    CMDIChildWnd* MDIGetActive(BOOL* pbMaximized = nullptr) const;
    // Shows the menu and accelerators of the active child frame's resource,
    // or the frame's own when no child frame is open (or its resource has no
    // menu). Called whenever the active child changes.
    void OnUpdateFrameMenu();
    // The resource whose menu the menu bar shows.
    UINT GetMenuResourceShown() const { return m_nIDMenuShown; }
    void MDIActivate(CWnd* pWndActivate);
    void MDIMaximize(CWnd* pWnd);
    std::vector<CMDIChildWnd*> GetChildFrames() const;
    CFrameWnd* GetActiveFrame() override;
    CDocument* GetActiveDocument() override;

    // The active child frame first, then this frame.
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;
    void UpdateCmdUI() override;
    void OnUpdateFrameTitle(BOOL bAddToTitle) override;
    void OnClose() override;

    // The first id of the child-window list in the Window menu: item i
    // (numbered i + 1, the active child checked) activates child i.
    static constexpr UINT AFX_IDM_FIRST_MDICHILD = 0xFF00;
    // The popup of the shown menu bar that lists the child windows (null
    // when there is none).
    QMenu* GetWindowMenuPopup() const;

protected:
    QWidget* CreateFrameWidget(QWidget* parent, const CREATESTRUCT& cs) override;
    BOOL OnCreateClient(LPCREATESTRUCT lpcs, CCreateContext* pContext) override;
    void BuildMenuAndAccelerators(UINT nIDResource) override;
    // Whether the popup with these command ids (in order) is the Window
    // menu: by default the one that ends in a framework window command.
    virtual bool IsWindowMenuPopup(const std::vector<UINT>& itemIds) const;

private:
    // The menus and accelerators of one resource, made once and swapped in.
    struct MenuSet {
        std::vector<QPointer<QMenu>> menus;
        std::vector<QPointer<QAction>> accelerators;
    };
    void ShowMenuSet(UINT nIDResource);
    // This frame's title with the active child's document.
    CString ComposeTitle(BOOL bAddToTitle);
    // Puts the numbered list of child windows at the end of the popup.
    void FillWindowList(QMenu* popup);

    QPointer<QMdiArea> m_mdiArea;
    std::map<UINT, MenuSet> m_menuSets;
    UINT m_nIDMenuDefault = 0;
    UINT m_nIDMenuShown = 0;
    bool m_titleQueued = false;
};

class CMDIChildWnd : public CFrameWnd {
public:
    CMDIChildWnd();
    CMDIFrameWnd* GetMDIFrame() const;
    QMdiSubWindow* GetSubWindow() const { return m_subWindow; }
    void MDIActivate();
    void MDIMaximize();
    BOOL DestroyWindow() override;
    void OnUpdateFrameTitle(BOOL bAddToTitle) override;
    void InitialUpdateFrame(CDocument* pDoc, BOOL bMakeVisible) override;

protected:
    QWidget* CreateFrameWidget(QWidget* parent, const CREATESTRUCT& cs) override;
    // The MDI main frame shows the child's menu and takes its accelerators.
    void BuildMenuAndAccelerators(UINT) override {}

private:
    QPointer<QMdiSubWindow> m_subWindow;
};

// The frame of a document shown in place in a host. Without a host on this
// platform it is a top-level frame; the client area takes the position that
// RepositionFrame gives it.
class COleDocIPFrameWnd : public CFrameWnd {
public:
    COleDocIPFrameWnd();
    // Bars the frame would put into the container; TRUE when done.
    virtual BOOL OnCreateControlBars(CFrameWnd* pWndFrame, CFrameWnd* pWndDoc);
    // Places the client area at lpPosRect (frame coordinates); lpClipRect clips it.
    virtual void RepositionFrame(LPCRECT lpPosRect, LPCRECT lpClipRect);
    const CRect& GetPositionRect() const { return m_rectPos; }
    void InitialUpdateFrame(CDocument* pDoc, BOOL bMakeVisible) override;

private:
    CRect m_rectPos;
};
