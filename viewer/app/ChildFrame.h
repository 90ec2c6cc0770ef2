// CChildFrame: the MDI child frame of a document. So far the framework's frame.
#pragma once

#include "platform/ui/FrameWnd.h"

class CChildFrame : public CMDIChildWnd {
public:
    CChildFrame() = default;
    ~CChildFrame() override = default;

    // Child frames open maximised.
    BOOL PreCreateWindow(CREATESTRUCT& cs) override {
        cs.style = WS_CHILD | WS_VISIBLE | WS_MAXIMIZE | WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE;
        return CMDIChildWnd::PreCreateWindow(cs);
    }
};
