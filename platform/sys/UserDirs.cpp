#include "platform/sys/UserDirs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace sys {

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string StripTrailingSlashes(std::string s) {
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

}  // namespace

std::string ExecutablePath() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf);
    if (n <= 0 || size_t(n) >= sizeof buf) return std::string();
    return std::string(buf, size_t(n));
}

std::string ConfigDir() {
    std::string dir = Env("VELORAN_CONFIG_HOME");
    if (!dir.empty()) return StripTrailingSlashes(dir);
    dir = Env("XDG_CONFIG_HOME");
    if (!dir.empty() && dir[0] == '/') return StripTrailingSlashes(dir) + "/veloran";
    return StripTrailingSlashes(Env("HOME")) + "/.config/veloran";
}

std::string RuntimeDir() {
    std::string dir = Env("XDG_RUNTIME_DIR");
    if (!dir.empty() && dir[0] == '/') return StripTrailingSlashes(dir) + "/veloran";
    return PrivateTempDir();
}

std::string PrivateTempDir() {
    std::string base = Env("TMPDIR");
    if (base.empty() || base[0] != '/') base = "/tmp";
    base = StripTrailingSlashes(base);
    if (base != "/") base += '/';
    return base + "veloran-" + std::to_string(unsigned(getuid()));
}

bool EnsureDir(const std::string& path) {
    if (path.empty()) return false;
    struct stat st;
    if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !EnsureDir(path.substr(0, slash))) return false;
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool EnsurePrivateDir(const std::string& path, std::string* error) {
    auto fail = [&](const char* why) {
        if (error) *error = path + ": " + why;
        return false;
    };
    if (path.empty() || path[0] != '/') return fail("not an absolute path");
    size_t slash = path.find_last_of('/');
    if (slash > 0 && !EnsureDir(path.substr(0, slash))) return fail("parent folder cannot be made");
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return fail(std::strerror(errno));
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return fail(std::strerror(errno));
    if (!S_ISDIR(st.st_mode)) return fail("not a folder");
    if (st.st_uid != getuid()) return fail("owned by another user");
    if ((st.st_mode & 077) != 0) return fail("open to other users");
    return true;
}

}  // namespace sys
