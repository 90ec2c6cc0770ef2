#include "viewer/app/MainFrame.h"

#include "viewer/app/VrViewerApp.h"

void CMainFrame::OnDestroy() {
    if (auto* app = dynamic_cast<CVrViewerApp*>(AfxGetApp()); app && app->m_pMainWnd == this)
        app->SaveWindowPlacement();
    CMDIFrameWnd::OnDestroy();
}
