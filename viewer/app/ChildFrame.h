// CChildFrame: the MDI child frame of a document. So far the framework's frame.
#pragma once

#include "platform/ui/FrameWnd.h"

class CChildFrame : public CMDIChildWnd {
public:
    CChildFrame() = default;
    ~CChildFrame() override = default;
};
