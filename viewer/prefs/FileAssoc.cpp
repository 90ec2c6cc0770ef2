#include "viewer/prefs/FileAssoc.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/sys/Process.h"
#include "platform/sys/Registry.h"
#include "platform/sys/UserDirs.h"

namespace fs = std::filesystem;

namespace file_assoc {

const char* const kMimeTypes[kKinds] = {"application/x-dvi", "image/tiff", "application/postscript",
                                        "application/pdf"};
const char* const kOwnMimeTypes[kOwnTypes] = {"application/x-veloran-document", "application/x-veloran-compressed-dvi"};

namespace {

constexpr const char* kSection = "[Default Applications]";
// Where the replaced default of a MIME type is kept.
std::string BackupKey(const char* mime) { return std::string("MIME\\Database\\Content Type\\") + mime; }
constexpr const char* kBackupValue = "Default Application.backup";
// Set while the desktop file is one that turning a kind on created.
constexpr const char* kDesktopKey = "Applications\\veloran-viewer.desktop";
constexpr const char* kCreatedValue = "Created";

// Deletes a key that holds nothing, then each parent that is left empty.
void DeleteEmptyKey(sys::Registry& registry, std::string key) {
    const auto root = sys::RegRoot::ClassesRoot;
    while (!key.empty() && registry.KeyExists(root, key) && registry.SubKeys(root, key).empty() &&
           registry.ValueNames(root, key).empty()) {
        if (!registry.DeleteKey(root, key)) return;
        const size_t up = key.find_last_of('\\');
        key = up == std::string::npos ? std::string() : key.substr(0, up);
    }
}

// An empty [Default Applications] section goes, with the blank line before it.
void DropEmptySection(std::vector<std::string>& lines) {
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] != kSection) continue;
        size_t end = i + 1;
        while (end < lines.size() && lines[end].empty()) ++end;
        if (end < lines.size() && lines[end][0] != '[') return;
        size_t begin = i;
        while (begin > 0 && lines[begin - 1].empty()) --begin;
        lines.erase(lines.begin() + long(begin), lines.begin() + long(end));
        return;
    }
}

std::string Home(const char* var, const char* fallback) {
    const char* v = std::getenv(var);
    if (v && v[0] == '/') return v;
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + fallback;
}

std::vector<std::string> ReadLines(const fs::path& p) {
    std::vector<std::string> lines;
    std::ifstream in(p);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

// Saved through a new file renamed over the old one.
bool WriteLines(const fs::path& p, const std::vector<std::string>& lines) {
    std::error_code ec;
    fs::create_directories(p.parent_path(), ec);
    fs::path temp = p;
    temp += "." + std::to_string(getpid()) + ".tmp";
    {
        std::ofstream out(temp, std::ios::trunc);
        for (const std::string& l : lines) out << l << '\n';
        out.flush();
        if (!out) {
            fs::remove(temp, ec);
            return false;
        }
    }
    fs::rename(temp, p, ec);
    if (ec) fs::remove(temp, ec);
    return !ec;
}

fs::path MimeApps() { return fs::path(ConfigHome()) / "mimeapps.list"; }

// The default of mime in the lines' [Default Applications] section: the
// line index, or -1.
int FindDefault(const std::vector<std::string>& lines, const std::string& mime, std::string* value) {
    bool in = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (!l.empty() && l[0] == '[') {
            in = l == kSection;
            continue;
        }
        if (in && l.compare(0, mime.size() + 1, mime + "=") == 0) {
            if (value) *value = l.substr(mime.size() + 1);
            return int(i);
        }
    }
    return -1;
}

void SetDefault(std::vector<std::string>& lines, const std::string& mime, const std::string& value) {
    int at = FindDefault(lines, mime, nullptr);
    if (at >= 0) {
        lines[size_t(at)] = mime + "=" + value;
        return;
    }
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i] == kSection) {
            lines.insert(lines.begin() + long(i) + 1, mime + "=" + value);
            return;
        }
    lines.push_back(kSection);
    lines.push_back(mime + "=" + value);
}

// The program of an Exec line: as it stands, quoted only when it holds a
// character the line reserves (tools that read the line's first word take
// the quotes for part of the name).
std::string ExecProgram(const std::string& path) {
    if (path.find_first_of(" \t\n\"'\\><~|&;$*?#()`") == std::string::npos) return path;
    std::string quoted = "\"";
    // Escaped for the quoting, then each backslash again for the string.
    for (char c : path) {
        if (c == '\\') quoted += "\\\\\\\\";
        else if (c == '"' || c == '`' || c == '$') quoted += std::string("\\\\") + c;
        else quoted += c;
    }
    return quoted + "\"";
}

// The first entry of a ';' list.
std::string FirstEntry(const std::string& list) { return list.substr(0, list.find(';')); }

// The types a kind's default is set for: its own, and for the first kind the
// viewer's types as well.
std::vector<const char*> TypesOfKind(int kind) {
    std::vector<const char*> types{kMimeTypes[kind]};
    if (kind == 0) types.insert(types.end(), kOwnMimeTypes, kOwnMimeTypes + kOwnTypes);
    return types;
}

// Set while the user's mime database folder is one that defining the
// viewer's types created.
constexpr const char* kMimeKey = "MIME\\Packages\\veloran-viewer.xml";
constexpr const char* kFolderCreatedValue = "FolderCreated";

const char* const kPackage =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
    "  <mime-type type=\"application/x-veloran-document\">\n"
    "    <comment>Veloran Document</comment>\n"
    "    <sub-class-of type=\"application/gzip\"/>\n"
    "    <glob pattern=\"*.vrd\"/>\n"
    "  </mime-type>\n"
    "  <mime-type type=\"application/x-veloran-compressed-dvi\">\n"
    "    <comment>Compressed DVI document</comment>\n"
    "    <sub-class-of type=\"application/gzip\"/>\n"
    "    <glob pattern=\"*.dgz\"/>\n"
    "  </mime-type>\n"
    "</mime-info>\n";

// The files update-mime-database writes into a database folder.
const char* const kMimeCacheFiles[] = {"XMLnamespaces", "aliases", "generic-icons", "globs",    "globs2",   "icons",
                                       "magic",         "mime.cache", "subclasses", "treemagic", "types", "version"};

// Rebuilds the user's mime database from its packages; a desktop without the
// tool reads the packages as they are.
void UpdateMimeDatabase(const fs::path& mimeDir) {
    sys::Process tool;
    sys::Process::Options o;
    o.argv = {"update-mime-database", mimeDir.string()};
    o.stdoutMode = o.stderrMode = sys::Process::Stream::Null;
    if (tool.Start(o) && !tool.Wait(60000)) tool.Kill();
}

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Defines the viewer's types (on) or takes them away (off). False when the
// package cannot be written or removed.
bool DefineOwnTypes(bool on, sys::Registry& registry) {
    const fs::path mimeDir = fs::path(DataHome()) / "mime";
    const fs::path package = mimeDir / "packages" / kMimePackage;
    const auto root = sys::RegRoot::ClassesRoot;
    std::error_code ec;
    if (on) {
        if (fs::exists(package) && ReadAll(package) == kPackage) return true;
        if (!fs::exists(mimeDir)) {
            registry.CreateKey(root, kMimeKey);
            registry.SetString(root, kMimeKey, kFolderCreatedValue, "1");
        }
        std::vector<std::string> lines;
        std::istringstream in(kPackage);
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        if (!WriteLines(package, lines)) return false;
        UpdateMimeDatabase(mimeDir);
        return true;
    }
    const bool created = registry.GetString(root, kMimeKey, kFolderCreatedValue).has_value();
    registry.DeleteValue(root, kMimeKey, kFolderCreatedValue);
    DeleteEmptyKey(registry, kMimeKey);
    if (!fs::exists(package)) return true;
    if (!fs::remove(package, ec)) return false;
    const bool othersLeft = fs::exists(mimeDir / "packages") && !fs::is_empty(mimeDir / "packages", ec);
    if (created && !othersLeft) {
        // The database was made for the viewer's types alone: it goes.
        for (const char* f : kMimeCacheFiles) fs::remove(mimeDir / f, ec);
        for (const char* t : kOwnMimeTypes) fs::remove(mimeDir / (std::string(t) + ".xml"), ec);
        for (const char* d : {"application", "packages"})
            if (fs::is_empty(mimeDir / d, ec)) fs::remove(mimeDir / d, ec);
        if (fs::is_empty(mimeDir, ec)) fs::remove(mimeDir, ec);
        return true;
    }
    UpdateMimeDatabase(mimeDir);
    return true;
}

}  // namespace

std::string DataHome() { return Home("XDG_DATA_HOME", "/.local/share"); }
std::string ConfigHome() { return Home("XDG_CONFIG_HOME", "/.config"); }

bool ApplyFileAssociations(int count, const int* states, const std::string& exePath, sys::Registry& registry) {
    if (exePath.empty() || count < 0) return false;
    count = count > kKinds ? kKinds : count;
    std::vector<std::string> lines = ReadLines(MimeApps());
    for (int k = 0; k < count; ++k) {
        for (const char* mime : TypesOfKind(k)) {
            std::string current;
            int at = FindDefault(lines, mime, &current);
            bool ours = at >= 0 && FirstEntry(current) == kDesktopId;
            if (states[k]) {
                if (ours) continue;  // registered already: no backup of itself
                registry.CreateKey(sys::RegRoot::ClassesRoot, BackupKey(mime));
                if (at >= 0) registry.SetString(sys::RegRoot::ClassesRoot, BackupKey(mime), kBackupValue, current);
                else registry.DeleteValue(sys::RegRoot::ClassesRoot, BackupKey(mime), kBackupValue);
                SetDefault(lines, mime, kDesktopId);
            } else {
                auto backup = registry.GetString(sys::RegRoot::ClassesRoot, BackupKey(mime), kBackupValue);
                registry.DeleteValue(sys::RegRoot::ClassesRoot, BackupKey(mime), kBackupValue);
                DeleteEmptyKey(registry, BackupKey(mime));
                // Another program's later choice stays as it is.
                if (!ours) continue;
                if (backup) SetDefault(lines, mime, *backup);
                else lines.erase(lines.begin() + at);
            }
        }
    }
    if (count > 0 && !DefineOwnTypes(states[0] != 0, registry)) return false;
    DropEmptySection(lines);
    const bool blank = std::all_of(lines.begin(), lines.end(), [](const std::string& l) { return l.empty(); });
    std::error_code ec;
    if (blank && fs::exists(MimeApps())) {
        // Nothing left for the desktop to read.
        if (!fs::remove(MimeApps(), ec)) return false;
    } else if (!blank && !WriteLines(MimeApps(), lines)) {
        return false;
    }
    // The desktop file claims the kinds whose default is the viewer's, so
    // that a kind turned off is not offered to the viewer either.
    std::string mimeList;
    std::vector<const char*> all;
    for (int k = 0; k < kKinds; ++k)
        for (const char* m : TypesOfKind(k)) all.push_back(m);
    for (const char* m : all) {
        std::string current;
        if (FindDefault(lines, m, &current) >= 0 && FirstEntry(current) == kDesktopId) mimeList += std::string(m) + ";";
    }
    std::vector<std::string> desktop = {"[Desktop Entry]",
                                        "Type=Application",
                                        "Name=Veloran Viewer",
                                        "Comment=View DVI, TIFF, PostScript and PDF documents",
                                        "Exec=" + ExecProgram(exePath) + " %f",
                                        "Terminal=false",
                                        "Categories=Office;Viewer;"};
    const fs::path desktopFile = fs::path(DataHome()) / "applications" / kDesktopId;
    const bool created = registry.GetString(sys::RegRoot::ClassesRoot, kDesktopKey, kCreatedValue).has_value();
    if (mimeList.empty()) {
        // The last kind off: the desktop file goes when turning a kind on made
        // it; one that was there before (the installation's) stays.
        if (created) {
            registry.DeleteValue(sys::RegRoot::ClassesRoot, kDesktopKey, kCreatedValue);
            DeleteEmptyKey(registry, kDesktopKey);
            if (fs::exists(desktopFile) && !fs::remove(desktopFile, ec)) return false;
            return true;
        }
        if (!fs::exists(desktopFile)) return true;
    } else {
        desktop.push_back("MimeType=" + mimeList);
        if (!created && !fs::exists(desktopFile)) {
            registry.CreateKey(sys::RegRoot::ClassesRoot, kDesktopKey);
            registry.SetString(sys::RegRoot::ClassesRoot, kDesktopKey, kCreatedValue, "1");
        }
    }
    return WriteLines(desktopFile, desktop);
}

void ReadFileAssociations(int states[kKinds]) {
    std::vector<std::string> lines = ReadLines(MimeApps());
    bool desktop = fs::exists(fs::path(DataHome()) / "applications" / kDesktopId);
    for (int k = 0; k < kKinds; ++k) {
        std::string current;
        states[k] = desktop && FindDefault(lines, kMimeTypes[k], &current) >= 0 && FirstEntry(current) == kDesktopId;
    }
}

}  // namespace file_assoc
