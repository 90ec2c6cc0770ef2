// CVrViewerDoc: the viewer's document. So far it only takes its place in the
// document template: it accepts the file or web address it is opened on and
// loads nothing yet.
#pragma once

#include "platform/ui/Document.h"

class CVrViewerDoc : public CDocument {
public:
    CVrViewerDoc() = default;
    ~CVrViewerDoc() override = default;

    BOOL OnNewDocument() override;
    BOOL OnOpenDocument(const char* lpszPathName) override;
};
