#include "viewer/prefs/AppPreferences.h"

#include <string>

#include "platform/ghostscript/GS.h"
#include "platform/sys/Registry.h"
#include "platform/sys/UserDirs.h"
#include "viewer/prefs/FileAssoc.h"
#include "viewer/prefs/PrefSheet.h"
#include "viewer/document/VrViewerAppBase.h"

namespace {

// A typed folder as the loader keeps it: trimmed, and ending in '/' unless empty.
String8 FolderOf(const String8& typed) {
    std::string s = typed.c_str();
    const auto b = s.find_first_not_of(" \t");
    const auto e = s.find_last_not_of(" \t");
    s = b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
    if (!s.empty() && s.back() != '/') s += '/';
    return String8(s.c_str());
}

}  // namespace

bool GhostscriptLibraryLoads(CVrViewerAppBase& app) {
    GS* gs = GetGS();
    if (!gs) return false;
    return gs->IsGSDLLLoaded() || gs->LoadGSDLL(kGSLibraryName, app.m_ghostscriptLibPath.c_str()) != 0;
}

void AppPrefPages::Preset(CVrViewerAppBase& app, bool ghostscriptInstalled) {
    tfm.m_pathList = app.m_tfmPathList;
    vf.m_pathList = app.m_vfPathList;
    ttf.m_pathList = app.m_ttfPathList;
    kpathsea.m_folder = app.m_kpathseaDir;
    ghostscript.m_folder = app.m_gsDllPath;
    ghostscript.m_libraryPath = app.m_ghostscriptLibPath;
    fileAssoc.SetGhostscriptInstalled(ghostscriptInstalled ? 1 : 0);
    int states[4] = {};
    file_assoc::ReadFileAssociations(states);
    fileAssoc.SetStates(4, states);
    contents.m_folder = String8(app.GetContentsPath());
}

void AppPrefPages::Apply(CVrViewerAppBase& app) {
    if (fileAssoc.m_changed == 1) {
        const std::vector<int> states = fileAssoc.GetStates();
        file_assoc::ApplyFileAssociations(int(states.size()), states.data(), sys::ExecutablePath(), sys::Registry::Default());
    }
    file_assoc::ReadFileAssociations(app.m_fileAssocStates);
    app.m_fileAssocCount = 4;
    app.m_tfmPathList = tfm.m_pathList;
    app.m_vfPathList = vf.m_pathList;
    app.m_ttfPathList = ttf.m_pathList;
    app.m_kpathseaDir = FolderOf(kpathsea.m_folder);
    app.m_gsDllPath = FolderOf(ghostscript.m_folder);
    app.m_ghostscriptLibPath = ghostscript.m_libraryPath;
    app.SetContentsPath(contents.m_folder.c_str());
    app.SaveSharedSettings();
}

void RunAppPreferences(CVrViewerAppBase& app) {
    AppPrefPages pages;
    pages.Preset(app, GhostscriptLibraryLoads(app));
    PrefSheet sheet(app.m_pMainWnd);
    for (CPrefPage* p : std::initializer_list<CPrefPage*>{&pages.tfm, &pages.vf, &pages.kpathsea, &pages.ttf,
                                                          &pages.ghostscript, &pages.fileAssoc, &pages.contents})
        sheet.AddPage(p);
    sheet.SetActivePage(5);
    if (sheet.DoModal() == IDOK) pages.Apply(app);
}
