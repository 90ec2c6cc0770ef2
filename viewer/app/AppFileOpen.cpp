// The application's File Open command: the open dialog with the viewer's
// document kinds; the chosen file opens (or its open document comes forward).
#include "platform/ui/FileDialog.h"
#include "viewer/app/AboutDlg.h"
#include "viewer/app/VrViewerApp.h"

// The first kind lists every name the viewer saves DVI under. Documents
// fetched from packed ".tgz" names are refused, so none is offered.
const char* CVrViewerApp::OpenFilter() {
    return "Veloran Document (*.vrd,*.dvi,*.dgz,*.gz)|*.vrd;*.dvi;*.dgz;*.gz|"
           "Tag Image File Format(*.tif,*.tiff)|*.tif;*.tiff|"
           "PostScript Language(*.ai,*.eps,*.ps)|*.ai;*.eps;*.ps|"
           "Adobe Portable Document Format(*.pdf)|*.pdf|"
           "All Files (*.*)|*.*||";
}

void CVrViewerApp::OnFileOpen() {
    CFileDialog dialog(TRUE, "vrd", nullptr, OFN_EXPLORER, OpenFilter());
    if (dialog.DoModal() != IDOK) return;
    // The whole path, however long.
    OpenDocumentFile(dialog.GetPathName());
}

void CVrViewerApp::OnAppAbout() {
    CAboutDlg dlg;
    dlg.DoModal();
}
