#include "viewer/app/VrViewerDoc.h"

#include "platform/ui/WinApp.h"
#include "viewer/app/VrViewerApp.h"
#include "viewer/view/VrViewerView.h"

BOOL CVrViewerDoc::OnNewDocument() { return CDocument::OnNewDocument(); }

BOOL CVrViewerDoc::OnOpenDocument(const char* lpszPathName) {
    if (!lpszPathName || !*lpszPathName) return FALSE;
    m_localPath = lpszPathName;
    m_dvi.Close();
    if (auto* app = dynamic_cast<CVrViewerApp*>(AfxGetApp())) {
        m_dvi.SetKPathSea(&app->m_kpathsea);
        m_dvi.SetDviTTFMap(&app->m_ttfMap);
    }
    CVrViewerView* view = nullptr;
    for (CView* v : GetViews())
        if ((view = dynamic_cast<CVrViewerView*>(v))) break;
    if (view) {
        view->SetTopOffset(28);
        view->SetWindow();
    }
    try {
        m_dvi.Open(lpszPathName, DList<String8>(), DList<String8>());
        m_dvi.NewPageWritten(0);
    } catch (...) {
        m_errorText += "\nThe document cannot be read.";
    }
    if (view) {
        view->SetDocType(0);
        view->SetLoadingComplete(1);
        view->SetPageCount(m_dvi.GetNPage());
        view->SetInitialViewStatus(InitialViewRequest());
    }
    return TRUE;
}
