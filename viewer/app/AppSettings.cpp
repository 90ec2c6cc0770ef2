// The viewer's settings in the registry: the shared profile (font path
// lists, kpathsea, Ghostscript, contents) and the main window placement.
#include <QWidget>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "platform/ghostscript/GS.h"
#include "platform/ui/Wnd.h"
#include "platform/sys/Registry.h"
#include "viewer/app/VrViewerApp.h"

namespace viewer_app {

static bool IsSeparator(char c) { return c == '/' || c == '\\'; }

std::string FolderWithSeparator(std::string text) {
    size_t b = text.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    size_t e = text.find_last_not_of(" \t");
    text = text.substr(b, e - b + 1);
    if (!IsSeparator(text.back())) text += '/';
    return text;
}

std::string ExpandPathEntry(const std::string& entry, const std::string& baseDir) {
    if (!baseDir.empty() && entry.size() >= 2 && entry[0] == ':' && IsSeparator(entry[1]))
        return baseDir + entry.substr(1);
    return entry;
}

std::string SingleSeparators(std::string path) {
    std::string out;
    out.reserve(path.size());
    for (char c : path)
        if (!(c == '/' && !out.empty() && out.back() == '/')) out += c;
    return out;
}

bool IsRestorableWindowRect(const RECT& r, const std::vector<RECT>& screens) {
    if (r.right - r.left <= 0 || r.bottom - r.top <= 0) return false;
    for (const RECT& s : screens)
        if (r.left < s.right && s.left < r.right && r.top < s.bottom && s.top < r.bottom) return true;
    return false;
}

std::string BaseDirFromExecutable(const std::string& exePath) {
    size_t slash = exePath.rfind('/');
    if (slash == std::string::npos) return {};
    std::string binDir = exePath.substr(0, slash);
    size_t up = binDir.rfind('/');
    std::string prefix = up == std::string::npos ? std::string() : binDir.substr(0, up);
    return prefix + "/share/veloran/";
}

std::string FindProgramFolder(const std::string& program, const char* pathVar) {
    if (!pathVar) return {};
    std::string path(pathVar);
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(':', start);
        if (end == std::string::npos) end = path.size();
        std::string dir = path.substr(start, end - start);
        if (!dir.empty() && dir[0] == '/') {
            if (dir.back() != '/') dir += '/';
            if (access((dir + program).c_str(), X_OK) == 0) return dir;
        }
        start = end + 1;
    }
    return {};
}

}  // namespace viewer_app

namespace {
// Ghostscript as its installation registered it: the folder of its library
// and its library path. A missing key or value leaves its text empty.
void ReadGhostscriptInstallKeys(std::string& dir, std::string& lib) {
    sys::Registry& reg = sys::Registry::Default();
    for (const char* product : {"Software\\AFPL Ghostscript", "Software\\Aladdin Ghostscript"}) {
        if (!reg.KeyExists(sys::RegRoot::LocalMachine, product)) continue;
        std::vector<std::string> versions = reg.SubKeys(sys::RegRoot::LocalMachine, product);
        if (!versions.empty()) {
            std::string key = std::string(product) + "\\" + versions.front();
            dir = reg.GetString(sys::RegRoot::LocalMachine, key, "GS_DLL").value_or("");
            lib = reg.GetString(sys::RegRoot::LocalMachine, key, "GS_LIB").value_or("");
            size_t cut = dir.find_last_of("/\\");
            if (cut != std::string::npos) dir.resize(cut + 1);
        }
        return;
    }
}
}  // namespace

void CVrViewerApp::LoadSharedSettings() {
    using namespace viewer_app;
    std::string installDir, installLib;
    ReadGhostscriptInstallKeys(installDir, installLib);

    // Every value here is read from the shared profile by name: the current
    // profile stays the viewer's own for any other thread.
    const char* shared = kSharedProfile;

    m_kpathseaDir = FolderWithSeparator(GetProfileString(shared, "KPathSea", "DLLPath", "").str()).c_str();

    ReadPathList("TfmPathList", ":/tfm/", m_tfmPathList, m_tfmPathListExpanded);
    ReadPathList("VfPathList", ":/vf/", m_vfPathList, m_vfPathListExpanded);
    ReadPathList("TtfPathList", ":/ttf/", m_ttfPathList, m_ttfPathListExpanded);

    // The Ghostscript folder holds its console program; the library itself
    // is found by its name.
    std::string gsDir = installDir;
    if (gsDir.empty()) {
        std::string setting = FolderWithSeparator(GetProfileString(shared, "GhostScript", "DLLPath", "").str());
        if (!setting.empty() && access((setting + kGSConsoleProgram).c_str(), X_OK) == 0)
            gsDir = setting;
        else
            gsDir = FindProgramFolder(kGSConsoleProgram, std::getenv("PATH"));
    }
    m_gsDllPath = FolderWithSeparator(gsDir).c_str();

    if (!installLib.empty()) {
        m_ghostscriptLibPath = installLib.c_str();
    } else {
        std::string lib = GetProfileString(shared, "GhostScript", "LibPath", "").str();
        m_ghostscriptLibPath = FolderWithSeparator(lib).c_str();
    }

    m_contentsPath = GetProfileString(shared, "Contents", "Path", "");
}

void CVrViewerApp::ReadPathList(const char* section, const char* defaultEntry, DList<String8>& list,
                                DList<String8>& expanded) {
    list.RemoveAll();
    for (int i = 0;; ++i) {
        CString value = GetProfileString(kSharedProfile, section, std::to_string(i).c_str(), kListEnd);
        if (value == kListEnd) break;
        // An empty entry would name the root folder: it is left out.
        std::string folder = viewer_app::FolderWithSeparator(value.str());
        if (!folder.empty()) list.AddTail(String8(folder.c_str()));
    }
    if (list.IsEmpty()) list.AddTail(String8(defaultEntry));

    expanded.RemoveAll();
    std::string base = m_baseDir.c_str();
    for (const String8& entry : list) expanded.AddTail(String8(viewer_app::ExpandPathEntry(entry.c_str(), base).c_str()));
}

void CVrViewerApp::SaveSharedSettings() {
    const char* shared = kSharedProfile;
    WriteProfileString(shared, "KPathSea", "DLLPath", m_kpathseaDir);
    struct {
        const char* section;
        DList<String8>* list;
    } lists[] = {{"TfmPathList", &m_tfmPathList}, {"VfPathList", &m_vfPathList}, {"TtfPathList", &m_ttfPathList}};
    for (auto& l : lists) {
        int n = 0;
        for (const String8& entry : *l.list) WriteProfileString(shared, l.section, std::to_string(n++).c_str(), entry);
        // A shortened list leaves no stale entries behind.
        for (;; ++n) {
            std::string name = std::to_string(n);
            if (GetProfileString(shared, l.section, name.c_str(), kListEnd) == kListEnd) break;
            WriteProfileString(shared, l.section, name.c_str(), nullptr);
        }
    }
    WriteProfileString(shared, "GhostScript", "DLLPath", m_gsDllPath);
    WriteProfileString(shared, "GhostScript", "LibPath", m_ghostscriptLibPath);
    WriteProfileString(shared, "Contents", "Path", m_contentsPath);
}

void CVrViewerApp::LoadWindowPlacement() {
    m_windowRect.left = int(GetProfileInt(kAppProfile, "Settings", "Window Left", 0));
    m_windowRect.top = int(GetProfileInt(kAppProfile, "Settings", "Window Top", 0));
    m_windowRect.right = int(GetProfileInt(kAppProfile, "Settings", "Window Right", 0));
    m_windowRect.bottom = int(GetProfileInt(kAppProfile, "Settings", "Window Bottom", 0));
}

void CVrViewerApp::SaveWindowPlacement() {
    QWidget* w = m_pMainWnd ? m_pMainWnd->GetWidget() : nullptr;
    // A window that was never shown (or is gone) keeps the saved placement.
    if (!w || !w->isVisible()) return;
    // The normal placement, also of a minimised or maximised window; the
    // size is the one SetWindowPos gives back at the next start.
    QRect frame = w->frameGeometry();
    QRect g = w->geometry();
    if (w->isMinimized() || w->isMaximized() || w->isFullScreen()) {
        g = w->normalGeometry();
        if (!g.isValid()) return;
        frame = QRect(g.topLeft() - (w->geometry().topLeft() - w->frameGeometry().topLeft()), g.size());
    }
    int left = frame.x(), top = frame.y();
    WriteProfileInt(kAppProfile, "Settings", "Window Left", left);
    WriteProfileInt(kAppProfile, "Settings", "Window Right", left + g.width());
    WriteProfileInt(kAppProfile, "Settings", "Window Top", top);
    WriteProfileInt(kAppProfile, "Settings", "Window Bottom", top + g.height());
}
