// CVrViewerAppBase: what the application object keeps for its documents,
// views and frames: the profile and key names, the settings shared with the
// installation's other tools (font path lists, the kpathsea and Ghostscript
// folders, file associations, the contents folder) and the external
// resources loaded from them (kpathsea, the TrueType map). CVrViewerApp
// derives from it, loads and saves them; the layers below it reach them
// through Get().
#pragma once

#include "base/DList.h"
#include "base/String8.h"
#include "dvilib/VrDviTTFMap.h"
#include "platform/kpathsea/KPathSea.h"
#include "platform/ui/WinApp.h"

class CVrViewerAppBase : public CWinApp {
public:
    static constexpr const char* kRegistryKey = "Veloran";
    static constexpr const char* kAppProfile = "Veloran Viewer 5.0";
    static constexpr const char* kSharedProfile = "Shared";
    // Installation values: HKLM\Software\Veloran\Viewer.
    static constexpr const char* kInstallKey = "Software\\Veloran\\Viewer";
    // Ends a numbered path list: the value read back for a missing number.
    static constexpr const char* kListEnd = "<<End>>";

    explicit CVrViewerAppBase(const char* appName) : CWinApp(appName) {}

    // The running application, or null when there is none of this kind.
    static CVrViewerAppBase* Get() { return dynamic_cast<CVrViewerAppBase*>(AfxGetApp()); }

    // ID_FILE_OPEN: the open dialog, then the chosen document.
    virtual void OnFileOpen() = 0;
    // Writes the shared settings.
    virtual void SaveSharedSettings() = 0;
    // Main window placement ("Settings" "Window Left/Top/Right/Bottom").
    virtual void SaveWindowPlacement() = 0;

    CString GetContentsPath() const { return m_contentsPath; }
    void SetContentsPath(const char* path) { m_contentsPath = path ? path : ""; }

    DList<String8> m_tfmPathList, m_tfmPathListExpanded;
    DList<String8> m_vfPathList, m_vfPathListExpanded;
    DList<String8> m_ttfPathList, m_ttfPathListExpanded;
    KPathSea m_kpathsea;
    String8 m_kpathseaDir;         // folder of the kpathsea library: empty or ending in '/'
    VrDviTTFMap m_ttfMap;
    String8 m_gsDllPath;           // folder of the Ghostscript console program: empty or ending in '/'
    String8 m_ghostscriptLibPath;  // Ghostscript resource search path (':' list), may be empty
    int m_fileAssocStates[4] = {};
    int m_fileAssocCount = 0;
    int m_firstRun = 0;            // the installation key says "FirstRunning" (or nothing)
    CString m_contentsPath;
};
