// The preference pages that edit the application's shared settings (the
// path lists, the kpathsea and Ghostscript folders, the file associations
// and the contents folder), preset from the application and applied to it.
#pragma once

#include "viewer/prefs/FileAssocPPage.h"
#include "viewer/prefs/PrefPathPages.h"

class CVrViewerAppBase;
class PrefSheet;

// Whether the Ghostscript library loads.
bool GhostscriptLibraryLoads(CVrViewerAppBase& app);

struct AppPrefPages {
    PrefPathPPage tfm{108}, vf{126}, ttf{123};
    PrefKPSEPPage kpathsea;
    PrefGSPPage ghostscript;
    FileAssocPPage fileAssoc;
    PrefContents contents;

    void Preset(CVrViewerAppBase& app, bool ghostscriptInstalled);
    // After OK: associations when changed, then the lists and folders, then
    // the shared settings are written.
    void Apply(CVrViewerAppBase& app);
};

// The application's Viewer Options: the sheet of the shared settings, when no view takes the command.
void RunAppPreferences(CVrViewerAppBase& app);
