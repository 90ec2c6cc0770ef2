// CVrViewerView: the page view of a document. So far an empty window in the
// document's child frame, with the operations the document and its fetch
// thread call (they do nothing yet).
#pragma once

#include "platform/core/CString.h"
#include "platform/ui/View.h"

// The part of the view's status record that the document reads.
struct ViewStatus {
    int page = 0;
    int scrollX = 0;
    int scrollY = 0;
};

class CVrViewerView : public CView {
public:
    CVrViewerView() = default;
    ~CVrViewerView() override = default;

    void OnDraw(CDC* pDC) override;

    // Called by the document before a load, and by its fetch thread (on the
    // UI thread, through the dispatcher).
    int SetWindow() { return 0; }
    int SetRetrievingStatus() { return 1; }
    void SetDocType(int) {}
    void SetPageCount(int) {}
    void SetDownloadRange(int) {}
    void SetDownloadPos(int) {}
    void SetStatusText(CString) {}
    void GetViewStatus(ViewStatus*) {}

    int m_isBrowser = 0;         // the document came from a web address
    int m_topOffset = 0;         // height of the view's toolbar band
    CWnd* m_pNoteWnd = nullptr;  // the open note window, if any
};
