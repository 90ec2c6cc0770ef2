// CVrViewerView: the page view of a document. So far an empty window in the
// document's child frame.
#pragma once

#include "platform/ui/View.h"

class CVrViewerView : public CView {
public:
    CVrViewerView() = default;
    ~CVrViewerView() override = default;

    void OnDraw(CDC* pDC) override;
};
