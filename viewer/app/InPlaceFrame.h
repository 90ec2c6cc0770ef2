// CInPlaceFrame: the frame of a document shown in place in a host. So far the
// framework's frame.
#pragma once

#include "platform/ui/FrameWnd.h"

class CInPlaceFrame : public COleDocIPFrameWnd {
public:
    CInPlaceFrame() = default;
    ~CInPlaceFrame() override = default;
};
