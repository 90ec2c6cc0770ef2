// CMainFrame: the viewer's MDI main window. So far the framework's frame,
// which saves the window placement when it is destroyed.
#pragma once

#include "platform/ui/FrameWnd.h"

class CMainFrame : public CMDIFrameWnd {
public:
    CMainFrame() = default;
    ~CMainFrame() override = default;

protected:
    void OnDestroy() override;
};
