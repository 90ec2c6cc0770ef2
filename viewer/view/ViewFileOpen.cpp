// File Open from the page view (its toolbar band and its route): the
// application's open dialog.
#include "viewer/document/VrViewerAppBase.h"
#include "viewer/view/VrViewerView.h"

void CVrViewerView::MapFileCommands() {
    MapCommand(ID_FILE_OPEN, &CVrViewerView::OnFileOpen);
    // The document saves; the view knows whether there are pages to save.
    MapUpdateUI(ID_FILE_SAVE_AS, &CVrViewerView::OnUpdateFileSaveAs);
}

void CVrViewerView::OnUpdateFileSaveAs(CCmdUI* pCmdUI) { pCmdUI->Enable(GetDocument() && m_page < m_pageCount); }

void CVrViewerView::OnFileOpen() {
    if (auto* app = CVrViewerAppBase::Get()) app->OnFileOpen();
}
