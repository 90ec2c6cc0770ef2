#include "viewer/prefs/FileAssoc.h"

#include <unistd.h>

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
            // Another program's later choice stays as it is.
            if (!ours) continue;
            if (backup) SetDefault(lines, mime, *backup);
            else lines.erase(lines.begin() + at);
        }
    }
    if (!WriteLines(MimeApps(), lines)) return false;
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
    if (!mimeList.empty()) desktop.push_back("MimeType=" + mimeList);
    return WriteLines(fs::path(DataHome()) / "applications" / kDesktopId, desktop);
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
