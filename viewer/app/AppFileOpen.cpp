// The application's File Open command: the open dialog with the viewer's
// document kinds; the chosen file opens (or its open document comes forward).
#include "platform/ui/FileDialog.h"
#include "viewer/app/VrViewerApp.h"

namespace {
const char kOpenFilter[] =
    "Veloran Document (*.vrd,*.dvi,*.tgz)|*.vrd;*.dvi;*.tgz|"
    "Tag Image File Format(*.tif,*.tiff)|*.tif;*.tiff|"
    "PostScript Language(*.ai,*.eps,*.ps)|*.ai;*.eps;*.ps|"
    "Adobe Portable Document Format(*.pdf)|*.pdf|"
    "All Files (*.*)|*.*||";
}  // namespace

void CVrViewerApp::OnFileOpen() {
    char fileName[300] = {};
    CFileDialog dialog(TRUE, "vrd", nullptr, OFN_EXPLORER, kOpenFilter);
    dialog.m_ofn.lpstrFile = fileName;
    dialog.m_ofn.nMaxFile = sizeof fileName;
    if (dialog.DoModal() != IDOK) return;
    OpenDocumentFile(dialog.GetPathName());
}
