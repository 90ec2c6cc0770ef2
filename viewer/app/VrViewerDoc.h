// CVrViewerDoc: the viewer's document. So far it opens a local DVI file at
// once (no fetch thread yet) and shows it in its view; it holds the reader
// and the error log that the view uses.
#pragma once

#include "base/String8.h"
#include "dvilib/VrDvi.h"
#include "platform/core/CString.h"
#include "platform/ui/Document.h"

class CVrViewerDoc : public CDocument {
public:
    CVrViewerDoc() = default;
    ~CVrViewerDoc() override = default;

    BOOL OnNewDocument() override;
    BOOL OnOpenDocument(const char* lpszPathName) override;

    // The file the view reads pages from (TIFF pages).
    String8 GetViewFileName() const { return m_localPath; }

    VrDvi m_dvi;            // the reader
    CString m_errorText;    // errors collected during the load
    String8 m_localPath;
};
