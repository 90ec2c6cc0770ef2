#include "platform/sys/TempFiles.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "platform/sys/FileSearch.h"
#include "platform/sys/UserDirs.h"

namespace sys {

namespace {

std::string FormName(std::string_view dir, std::string_view prefix, std::string_view number) {
    std::string name(dir);
    if (!name.empty() && name.back() != '/' && name.back() != '\\') name += '/';
    name += prefix.substr(0, 3);
    name += number;
    name += ".tmp";
    return name;
}

// Makes a new file of the temporary shape with an unguessable number (64
// random bits), so that nothing can plant or take a name before it is made;
// its descriptor in *fd.
std::string MakeUniqueFile(std::string_view dir, std::string_view prefix, int* fd) {
    *fd = -1;
    for (int attempt = 0; attempt < 100; ++attempt) {
        uint64_t random = 0;
        if (getrandom(&random, sizeof random, 0) != ssize_t(sizeof random)) return std::string();
        char hex[24];
        std::snprintf(hex, sizeof hex, "%016llX", static_cast<unsigned long long>(random));
        const std::string name = FormName(dir, prefix, hex);
        int f = open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (f >= 0) {
            *fd = f;
            return name;
        }
        if (errno != EEXIST) break;
    }
    return std::string();
}

}  // namespace

FileShareLock::FileShareLock(FileShareLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

FileShareLock& FileShareLock::operator=(FileShareLock&& other) noexcept {
    if (this != &other) {
        Release();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

FileShareLock FileShareLock::TryAcquire(const std::string& path, Mode mode) {
    FileShareLock lock;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return lock;
    int op = (mode == Mode::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
    int rc;
    while ((rc = flock(fd, op)) != 0 && errno == EINTR) {
    }
    if (rc != 0) {
        close(fd);
        return lock;
    }
    lock.fd_ = fd;
    return lock;
}

void FileShareLock::Release() {
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
}

std::string GetTempPath() {
    std::string dir = PrivateTempDir();
    if (!EnsurePrivateDir(dir)) return std::string();
    return dir + '/';
}

std::string GetTempFileName(std::string_view dir, std::string_view prefix, unsigned unique) {
    if (unique != 0) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%X", unique & 0xFFFFu);
        return FormName(dir, prefix, hex);
    }
    int fd;
    std::string name = MakeUniqueFile(dir, prefix, &fd);
    if (fd >= 0) close(fd);
    return name;
}

TempFile CreateTempFile(const std::string& dir, std::string_view prefix) {
    TempFile tf;
    int fd;
    std::string name = MakeUniqueFile(dir, prefix, &fd);
    if (fd < 0) return tf;
    if (flock(fd, LOCK_SH | LOCK_NB) != 0) {
        close(fd);
        unlink(name.c_str());
        return tf;
    }
    tf.path = std::move(name);
    tf.lock.fd_ = fd;
    return tf;
}

int DeleteUnusedFiles(const std::string& dir, std::string_view pattern) {
    std::string prefix = dir;
    if (!prefix.empty() && prefix.back() != '/') prefix += '/';
    int deleted = 0;
    for (const FoundFile& f : FindFiles(prefix + std::string(pattern))) {
        if (f.isDirectory) continue;
        int fd = open(f.path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0) continue;
        struct stat held, named;
        // Delete only a regular file that we hold exclusively and that the
        // name still refers to.
        if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
            lstat(f.path.c_str(), &named) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino &&
            unlink(f.path.c_str()) == 0)
            ++deleted;
        close(fd);
    }
    return deleted;
}

}  // namespace sys
