// File Open from the page view (its toolbar band and its route): the
// application's open dialog.
#include "viewer/document/VrViewerAppBase.h"
#include "viewer/view/VrViewerView.h"

void CVrViewerView::MapFileCommands() { MapCommand(ID_FILE_OPEN, &CVrViewerView::OnFileOpen); }

void CVrViewerView::OnFileOpen() {
    if (auto* app = CVrViewerAppBase::Get()) app->OnFileOpen();
}
