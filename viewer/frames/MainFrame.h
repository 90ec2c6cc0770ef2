// CMainFrame: the viewer's MDI main window. It has the status bar with the
// position and page panes, maximises the active document on command, runs
// the two housekeeping timers that documents arm (quit once the last
// document has gone, close document frames that never got a document) and
// saves the window placement when it is destroyed.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/ControlBars.h"
#include "platform/ui/FrameWnd.h"

class CMainFrame : public CMDIFrameWnd {
public:
    CMainFrame();
    ~CMainFrame() override;

    int OnCreate(LPCREATESTRUCT lpcs) override;
    void OnTimer(UINT_PTR nIDEvent) override;

    // 40106: the active document frame is maximised.
    void OnWindowMaximize();
    // With all, deletes the viewer's temporary files that no document or
    // other viewer holds; without, nothing is deleted.
    void GarbageCollect(BOOL all);
    // Closes the document frames whose document never got a file or an
    // address (and frames without a document).
    void FindChildWindow();

    CStatusBar& GetStatusBarCtrl() { return m_wndStatusBar; }

    // The viewer's temporary files in folder dir (ending in '/') that no one
    // holds are deleted; returns how many.
    static int DeleteViewerTempFiles(const std::string& dir);

    // The message pane follows the active document.
    void OnUpdateFrameTitle(BOOL bAddToTitle) override;

protected:
    void OnDestroy() override;
    // The viewer's Window menu: the one with Close All.
    bool IsWindowMenuPopup(const std::vector<UINT>& itemIds) const override;
    // The orderly end of the program (timer 122).
    virtual void QuitApplication();

private:
    void OnUpdateViewToolbar(CCmdUI* pCmdUI);

    CStatusBar m_wndStatusBar;
};
