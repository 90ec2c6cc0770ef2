// CContentsView: the "Contents" tab of the layout bar. So far a blank view
// that knows the frame's page view.
#pragma once

#include "platform/ui/View.h"

class CVrViewerView;

class CContentsView : public CView {
public:
    // Reads the contents file of the page view's document (a null view
    // keeps the one it had).
    void ReadTocFile(CVrViewerView* view) {
        if (view) m_pVrView = view;
    }
    void OnDraw(CDC* pDC) override;

    CVrViewerView* m_pVrView = nullptr;
};
