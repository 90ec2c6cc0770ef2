#include "viewer/app/VrViewerDoc.h"

BOOL CVrViewerDoc::OnNewDocument() { return CDocument::OnNewDocument(); }

BOOL CVrViewerDoc::OnOpenDocument(const char* lpszPathName) {
    return lpszPathName && *lpszPathName ? TRUE : FALSE;
}
