#include "setup/Installer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

#include "platform/sys/Process.h"
#include "platform/sys/Registry.h"
#include "platform/sys/UserDirs.h"
#include "setup/SetupLauncher.h"

namespace fs = std::filesystem;

namespace {

bool IsDir(const fs::path& p) {
    std::error_code ec;
    return fs::is_directory(fs::symlink_status(p, ec));
}

// Folders between prefix (excluded) and path (excluded), outermost first.
std::vector<fs::path> FoldersBetween(const fs::path& prefix, const fs::path& path) {
    std::vector<fs::path> out;
    for (fs::path p = path.parent_path(); p != prefix && p.has_relative_path() && p != p.parent_path();
         p = p.parent_path()) {
        out.push_back(p);
    }
    std::reverse(out.begin(), out.end());
    return out;
}

// Folders the install step may make: bin, lib, share, share/applications and the
// build's share/veloran tree, mapped into the prefix.
std::set<fs::path> CandidateFolders(const fs::path& buildDir, const fs::path& prefix) {
    std::set<fs::path> dirs{prefix / "bin", prefix / "lib", prefix / "share", prefix / "share" / "applications",
                            prefix / "share" / "veloran"};
    std::error_code ec;
    fs::path share = buildDir / "share" / "veloran";
    for (auto it = fs::recursive_directory_iterator(share, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        if (it->is_directory()) dirs.insert(prefix / "share" / "veloran" / fs::relative(it->path(), share));
    return dirs;
}

}  // namespace

Installer::Installer(std::string buildDir, sys::Registry& registry)
    : buildDir_(std::move(buildDir)), registry_(registry) {}

std::string Installer::BuildDirOfExecutable() {
    fs::path exe = sys::ExecutablePath();
    return exe.parent_path().parent_path().string();
}

std::string Installer::DefaultPrefix() {
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.local";
}

InstallResult Installer::Install(const std::string& prefixText) {
    InstallResult r;
    fs::path prefix = fs::path(prefixText).lexically_normal();
    if (!prefix.is_absolute()) {
        r.message = "The install folder must be an absolute path: " + prefixText;
        return r;
    }
    while (prefix.has_relative_path() && prefix.filename().empty()) prefix = prefix.parent_path();
    if (!fs::exists(fs::path(buildDir_) / "cmake_install.cmake")) {
        r.message = "No build to install in " + buildDir_;
        return r;
    }
    // A recorded installation goes first, so its list stays true.
    if (SetupLauncher::PreviousInstallation(registry_)) {
        InstallResult old = Uninstall();
        if (!old.ok) return old;
    }

    // What exists before, to tell afterwards which folders the install made.
    std::set<fs::path> before;
    bool prefixExisted = IsDir(prefix);
    for (const fs::path& d : CandidateFolders(buildDir_, prefix))
        if (IsDir(d)) before.insert(d);

    sys::Process cmake;
    sys::Process::Options o;
    o.argv = {VELORAN_CMAKE_COMMAND, "--install", buildDir_, "--prefix", prefix.string()};
    o.stdoutMode = sys::Process::Stream::Null;
    std::string error;
    if (!cmake.Start(o, &error) || !cmake.Wait() || cmake.ExitCode() != 0) {
        r.message = "The install step failed" + (error.empty() ? std::string() : ": " + error);
        return r;
    }

    std::vector<fs::path> files;
    {
        std::ifstream manifest(fs::path(buildDir_) / "install_manifest.txt");
        std::string line;
        while (std::getline(manifest, line))
            if (!line.empty()) files.emplace_back(line);
    }
    const std::set<fs::path> candidates = CandidateFolders(buildDir_, prefix);
    std::set<fs::path> made;
    for (const fs::path& f : files)
        for (const fs::path& d : FoldersBetween(prefix, f))
            // A folder outside the known layout is taken as one that was there.
            if (candidates.count(d) && !before.count(d)) made.insert(d);

    fs::path base = prefix / "share" / "veloran";
    fs::path record = base / kRecordName;
    {
        std::ofstream out(record, std::ios::trunc);
        for (const fs::path& f : files) out << "F " << f.string() << '\n';
        out << "F " << record.string() << '\n';
        for (const fs::path& d : made) out << "D " << d.string() << '\n';
        if (!prefixExisted) out << "D " << prefix.string() << '\n';
        // The settings keys that are made, outermost first.
        std::string key;
        for (const char* part : {"SOFTWARE", "Veloran", "Viewer"}) {
            key += key.empty() ? part : std::string("\\") + part;
            if (!registry_.KeyExists(sys::RegRoot::LocalMachine, key)) out << "K " << key << '\n';
        }
        if (!out) {
            r.message = "Can not write " + record.string();
            return r;
        }
    }
    if (!registry_.CreateKey(sys::RegRoot::LocalMachine, SetupLauncher::kInstallKey) ||
        !registry_.SetString(sys::RegRoot::LocalMachine, SetupLauncher::kInstallKey, SetupLauncher::kBaseDirValue,
                             base.string() + "/")) {
        r.message = "Can not record the installation in the settings";
        return r;
    }
    r.ok = true;
    r.message = "Installed into " + prefix.string();
    return r;
}

InstallResult Installer::Uninstall() {
    InstallResult r;
    auto baseDir = registry_.GetString(sys::RegRoot::LocalMachine, SetupLauncher::kInstallKey,
                                       SetupLauncher::kBaseDirValue);
    if (!baseDir) {
        r.ok = true;
        r.message = "Nothing is installed";
        return r;
    }
    std::vector<fs::path> files, dirs;
    std::vector<std::string> keys;
    {
        std::ifstream in(fs::path(*baseDir) / kRecordName);
        std::string line;
        while (std::getline(in, line)) {
            if (line.size() < 3 || line[1] != ' ') continue;
            if (line[0] == 'F') files.emplace_back(line.substr(2));
            else if (line[0] == 'D') dirs.emplace_back(line.substr(2));
            else if (line[0] == 'K') keys.push_back(line.substr(2));
        }
    }
    std::error_code ec;
    for (const fs::path& f : files) fs::remove(f, ec);
    // Innermost first, and only when nothing else has come into them.
    std::sort(dirs.begin(), dirs.end(), [](const fs::path& a, const fs::path& b) {
        return a.string().size() > b.string().size();
    });
    for (const fs::path& d : dirs)
        if (IsDir(d) && fs::is_empty(d, ec)) fs::remove(d, ec);
    registry_.DeleteValue(sys::RegRoot::LocalMachine, SetupLauncher::kInstallKey, SetupLauncher::kBaseDirValue);
    // Keys it made, innermost first, when nothing else has come into them.
    for (auto it = keys.rbegin(); it != keys.rend(); ++it)
        if (registry_.ValueNames(sys::RegRoot::LocalMachine, *it).empty() &&
            registry_.SubKeys(sys::RegRoot::LocalMachine, *it).empty())
            registry_.DeleteKey(sys::RegRoot::LocalMachine, *it);
    r.ok = true;
    r.message = "Removed the installation in " + *baseDir;
    return r;
}
