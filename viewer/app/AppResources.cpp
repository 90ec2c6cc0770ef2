// The resources outside the program that the documents share, loaded at
// start and released at exit: the installation folder, the shared settings,
// the installation's fonts (added for this process only), the default face
// and the CJK face lists in the shared block, the TrueType map files,
// kpathsea and Ghostscript.
#include <sys/stat.h>

#include "dvilib/CharCodes.h"
#include "dvilib/FaceLists.h"
#include "dvilib/SharedBlock.h"
#include "platform/gdi/FontEngine.h"
#include "platform/ghostscript/GS.h"
#include "platform/ghostscript/GSChildJob.h"
#include "platform/sys/FileSearch.h"
#include "platform/sys/InstanceLock.h"
#include "platform/sys/NamedBlock.h"
#include "platform/sys/Registry.h"
#include "platform/sys/UserDirs.h"
#include "viewer/res/AppStrings.h"
#include "viewer/app/VrViewerApp.h"

namespace {
// The version the design reads from the system: a system of the NT family,
// major version 5. Windows may be translucent here.
constexpr unsigned kOsVersion = 0x00000005;

bool IsFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
}  // namespace

int CVrViewerApp::LoadExternalResources(BOOL bLoad) {
    if (!bLoad) {
        if (m_resourcesLoaded != 1) return 1;
        SaveSharedSettings();
        for (const std::string& font : m_addedFonts) FontEngine::RemoveFontResource(font.c_str());
        m_addedFonts.clear();
        GetGS()->UnloadGSDLL();
        m_kpathsea.UnloadKPathSeaDLL();
        m_tfmPathList.RemoveAll();
        m_tfmPathListExpanded.RemoveAll();
        m_vfPathList.RemoveAll();
        m_vfPathListExpanded.RemoveAll();
        m_ttfPathList.RemoveAll();
        m_ttfPathListExpanded.RemoveAll();
        m_instanceLock.reset();
        return 1;
    }

    m_osVersion = kOsVersion;
    m_osMajorVersion = int(m_osVersion & 0xff);
    m_osMinorVersion = int((m_osVersion >> 8) & 0xff);
    g_bLayeredWindowsAllowed = (m_osVersion & 0x80000000u) == 0 && m_osMajorVersion > 3 ? 1 : 0;

    m_resourcesLoaded = 1;

    SetRegistryKey(kRegistryKey);
    SetAppProfile();
    LoadStdProfileSettings(5);

    // The installation: its base folder is the one the registry names, else
    // share/veloran beside the program's bin folder.
    sys::Registry& reg = sys::Registry::Default();
    std::string base;
    if (reg.KeyExists(sys::RegRoot::LocalMachine, kInstallKey)) {
        if (auto dir = reg.GetString(sys::RegRoot::LocalMachine, kInstallKey, "VeloranBaseDir"); dir && !dir->empty()) {
            base = *dir;
            if (base.back() != '/' && base.back() != '\\') base += '/';
        }
        auto first = reg.GetString(sys::RegRoot::LocalMachine, kInstallKey, "FirstRunning");
        if (!first || *first == "TRUE") m_firstRun = 1;
    }
    if (base.empty()) {
        std::string beside = viewer_app::BaseDirFromExecutable(sys::ExecutablePath());
        if (!beside.empty() && IsFolder(beside)) base = beside;
    }
    if (!base.empty()) {
        m_baseDir = base.c_str();
        m_viewerDir = (base + "Viewer/").c_str();
    }

    LoadSharedSettings();

    // The installation's fonts, for this process and this run only.
    for (const String8& folder : m_ttfPathListExpanded) {
        for (const sys::FoundFile& f : sys::FindFiles(std::string(folder.c_str()) + "*.ttf")) {
            if (f.isDirectory) continue;
            std::string path = viewer_app::SingleSeparators(f.path);
            if (FontEngine::AddFontResource(path.c_str()) > 0) m_addedFonts.push_back(path);
        }
    }

    SharedBlock published;
    published.defaultFace = String8(LoadString(IDS_DEFAULT_FACE).c_str());
    if (m_baseDir.GetLength() > 0) {
        for (const sys::FoundFile& f : sys::FindFiles(base + "ttfcfg/*.map"))
            if (!f.isDirectory) m_ttfMap.AppendTTFMapFile(f.path.c_str());
        FaceLists faces;
        faces.Read((base + "ttfcfg/winfont.alt").c_str());
        for (int c = 0; c < FaceLists::CategoryCount; ++c) published.faceLists[c] = faces.Names(c);
        vrcodes::LoadCodeTables((base + vrcodes::kCodeTableFolder).c_str());
    }
    if (m_sharedBlock) published.Store(*m_sharedBlock);

    std::string kpathsea = std::string(m_kpathseaDir.c_str()) + kKPathSeaLibraryName;
    m_kpathsea.LoadKPathSeaDLLInit(kpathsea.c_str(), nullptr);

    // The library is found by its name; its resource path is the setting, or
    // (empty) the library's own. It loads with the first picture or
    // PostScript page: a page without them never waits for it.
    GetGS()->LoadGSDLLWhenNeeded(kGSLibraryName, m_ghostscriptLibPath);
    // Pictures run in the console program of the same folder.
    GSChildJob::SetProgram(std::string(m_gsDllPath.c_str()) + kGSConsoleProgram);

    m_fileAssocCount = 4;
    for (int& state : m_fileAssocStates) state = 0;
    return 1;
}
