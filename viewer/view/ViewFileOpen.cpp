// File Open from the page view (its toolbar band and its route): the
// application's open dialog.
#include "viewer/app/VrViewerApp.h"
#include "viewer/view/VrViewerView.h"

void CVrViewerView::MapFileCommands() { MapCommand(ID_FILE_OPEN, &CVrViewerView::OnFileOpen); }

void CVrViewerView::OnFileOpen() {
    if (auto* app = dynamic_cast<CVrViewerApp*>(AfxGetApp())) app->OnFileOpen();
}
