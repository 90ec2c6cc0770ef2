// CVrViewerApp: the viewer's application object. It keeps one running
// instance per user (a later start hands its document over and ends), sets
// up the document template and the main frame, loads the settings and the
// external resources the documents share (font path lists, kpathsea, the
// TrueType map, Ghostscript, the installation's fonts and face lists) and
// releases them at exit.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/DList.h"
#include "base/String8.h"
#include "platform/core/Geometry.h"
#include "platform/ui/DocTemplate.h"
#include "viewer/document/VrViewerAppBase.h"

class CMainFrame;
class CMultiDocTemplate;
class NamedBlock;
namespace sys {
class InstanceLock;
}

// Windows may be made translucent (read by the note window and the main
// frame's timer).
extern int g_bLayeredWindowsAllowed;

class CVrViewerApp : public CVrViewerAppBase {
public:
    static constexpr const char* kInstanceName = "VeloranViewerInstanceMutex";

    CVrViewerApp();
    ~CVrViewerApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;

    // Profiles. The shared settings are read and written with the profile
    // named in each call, so the current profile stays the viewer's own.
    void SetProfileSection(const char* profile) { SetProfileName(profile); }
    void SetAppProfile() { SetProfileSection(kAppProfile); }
    void SetSharedProfile() { SetProfileSection(kSharedProfile); }

    // Settings shared with the installation's other tools.
    void LoadSharedSettings();
    void ReadPathList(const char* section, const char* defaultEntry, DList<String8>& list,
                      DList<String8>& expanded);
    void SaveSharedSettings() override;
    // Main window placement ("Settings" "Window Left/Top/Right/Bottom").
    void LoadWindowPlacement();
    void SaveWindowPlacement() override;

    // The one document template, its views made by viewClass (null: the
    // page view); the in-place frame serves hosted documents. Added, and kept
    // in m_pDocTemplate.
    CMultiDocTemplate* AddViewerTemplate(ViewFactory viewClass = nullptr);
    // The main frame, loaded and made the main window; null when it cannot
    // be made.
    CMainFrame* MakeMainFrame();

    // Loads (bLoad) or releases the external resources; returns 1.
    int LoadExternalResources(BOOL bLoad);

    const String8& GetBaseDir() const { return m_baseDir; }

    // The document (absolute path or web address) another start handed over
    // is opened here, on the UI thread.
    void OnHandOver(const std::string& target);
    // A web address opens in place, as a browser hosts a document; a path
    // opens in a child frame.
    CDocument* OpenDocumentFile(const char* lpszFileName) override;
    // ID_FILE_OPEN: the open dialog, then the chosen document.
    void OnFileOpen() override;
    // The open dialog's filter (the document's File Open uses it too).
    static const char* OpenFilter();
    // ID_APP_ABOUT: the About box.
    void OnAppAbout();
    // Fonts added for this run (full paths), removed at exit.
    const std::vector<std::string>& GetAddedFonts() const { return m_addedFonts; }
    // The "shared_memory" block (null when it could not be made).
    NamedBlock* GetSharedBlock() const { return m_sharedBlock.get(); }

    int m_resourcesLoaded = 0;
    String8 m_baseDir;    // ends with '/' once known
    String8 m_viewerDir;  // m_baseDir + "Viewer/"
    RECT m_windowRect = {0, 0, 0, 0};
    CMultiDocTemplate* m_pDocTemplate = nullptr;
    unsigned m_osVersion = 0;
    int m_osMajorVersion = 0, m_osMinorVersion = 0;

private:
    std::unique_ptr<sys::InstanceLock> m_instanceLock;
    // The exit code of a start that ended in InitInstance: 1 when a later
    // start could not hand its document over or the lock was unusable.
    int m_startExitCode = 0;
    std::shared_ptr<NamedBlock> m_sharedBlock;
    std::vector<std::string> m_addedFonts;
    // Queued hand-overs check it, so none runs after the object is gone.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

// Helpers of the start-up and settings, kept apart for their tests.
namespace viewer_app {
// Trims blanks on both sides and appends '/' unless the text ends with a
// separator; empty stays empty.
std::string FolderWithSeparator(std::string text);
// ":/x" and ":\x" entries relative to the installation base folder (base ends
// with a separator, so the result holds two in a row); others as they stand.
std::string ExpandPathEntry(const std::string& entry, const std::string& baseDir);
// Every run of separators reduced to one.
std::string SingleSeparators(std::string path);
// Whether a saved window rectangle may be restored: positive width and
// height, and overlapping one of the screens.
bool IsRestorableWindowRect(const RECT& rect, const std::vector<RECT>& screens);
// "share/veloran/" beside the folder of the executable's folder ("" when the
// executable is unknown).
std::string BaseDirFromExecutable(const std::string& exePath);
// The folder (ending in '/') on PATH that holds an executable of that name;
// "" when none does.
std::string FindProgramFolder(const std::string& program, const char* pathVar);
}  // namespace viewer_app
