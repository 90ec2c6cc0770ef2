// LayoutBarHost: the frame of a page view as the view sees it. Both document
// frames (the MDI child frame and the in-place frame) make and destroy the
// layout bar for their page view; the view finds its frame's side through
// this and knows nothing else of the frames.
#pragma once

#include "platform/ui/FrameWnd.h"

class CVrViewerView;

class LayoutBarHost {
public:
    // A new layout bar of the width (an old one goes first) for view, which
    // becomes the frame's page view.
    virtual void CreateLayoutBar(int width, CVrViewerView* view) = 0;
    // The bar goes and the page view is the active view again.
    virtual void DestroyLayoutBar() = 0;
    virtual bool HasLayoutBar() const = 0;
    // Shows tab n of the bar; false when there is no bar.
    virtual bool SelectLayoutBarTab(int n) = 0;
    // The frame of a document shown in place, as a browser hosts it.
    virtual bool IsInPlaceFrame() const = 0;

protected:
    ~LayoutBarHost() = default;
};

// The layout-bar side of frame, null when frame is no document frame.
inline LayoutBarHost* LayoutBarHostOf(CWnd* frame) { return dynamic_cast<LayoutBarHost*>(frame); }
