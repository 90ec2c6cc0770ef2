// CVrViewerSrvrItem: the document's item for a host that embeds it. A host
// asks its extent and has it drawn; showing it gives the views their first
// update. Without an embedding host on this platform nothing else uses it.
#pragma once

#include "platform/core/Geometry.h"
#include "platform/core/WinTypes.h"

class CDC;
class CVrViewerDoc;

constexpr int DVASPECT_CONTENT = 1;

class CVrViewerSrvrItem {
public:
    explicit CVrViewerSrvrItem(CVrViewerDoc* pDoc) : m_pDocument(pDoc) {}
    CVrViewerDoc* GetDocument() const { return m_pDocument; }

    // (3000, 3000) for the content aspect; FALSE without a document or for
    // another aspect.
    BOOL OnGetExtent(int nDrawAspect, CSize& rSize);
    // Sets up the mapping of the extent; nothing is painted.
    BOOL OnDraw(CDC* pDC, CSize& rSize);
    // The document shows: it is not modified, and its views get their
    // first update.
    void OnShow();

private:
    CVrViewerDoc* m_pDocument;
};
