#include "viewer/prefs/FileAssoc.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/sys/Registry.h"
#include "platform/sys/UserDirs.h"

namespace fs = std::filesystem;

namespace file_assoc {

const char* const kMimeTypes[kKinds] = {"application/x-dvi", "image/tiff", "application/postscript",
                                        "application/pdf"};

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

// The first entry of a ';' list.
std::string FirstEntry(const std::string& list) { return list.substr(0, list.find(';')); }

}  // namespace

std::string DataHome() { return Home("XDG_DATA_HOME", "/.local/share"); }
std::string ConfigHome() { return Home("XDG_CONFIG_HOME", "/.config"); }

bool ApplyFileAssociations(int count, const int* states, const std::string& exePath, sys::Registry& registry) {
    if (exePath.empty() || count < 0) return false;
    count = count > kKinds ? kKinds : count;
    std::vector<std::string> lines = ReadLines(MimeApps());
    for (int k = 0; k < count; ++k) {
        const char* mime = kMimeTypes[k];
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
    for (const char* m : kMimeTypes) {
        std::string current;
        if (FindDefault(lines, m, &current) >= 0 && FirstEntry(current) == kDesktopId) mimeList += std::string(m) + ";";
    }
    std::vector<std::string> desktop = {"[Desktop Entry]",
                                        "Type=Application",
                                        "Name=Veloran Viewer",
                                        "Comment=View DVI, TIFF, PostScript and PDF documents",
                                        "Exec=\"" + exePath + "\" %f",
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
