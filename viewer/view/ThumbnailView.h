// CThumbnailView: the "Thumbnails" tab of the layout bar. So far a blank
// view that knows the frame's page view.
#pragma once

#include "platform/ui/View.h"

class CVrViewerView;

class CThumbnailView : public CView {
public:
    void OnDraw(CDC* pDC) override;

    CVrViewerView* m_pVrView = nullptr;
};
