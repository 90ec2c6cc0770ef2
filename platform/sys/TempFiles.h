// Temporary files: the private per-user temporary folder, names of the shape
// <prefix><hex>.tmp (unguessable), advisory locks standing in for file share modes, and the
// clean-up of temporary files that no document holds.
//
// Share modes become flock() locks: a document holds a Shared lock on each
// file it uses for as long as it uses it (others may still read and write);
// the clean-up deletes a file only when it can take an Exclusive lock on it
// ("open with other readers denied"), so a file in use is never deleted.
#pragma once

#include <string>
#include <string_view>

namespace sys {

struct TempFile;

// Advisory lock on one file, held through its own descriptor until Release or
// destruction. Move-only.
class FileShareLock {
public:
    enum class Mode { Shared, Exclusive };

    FileShareLock() = default;
    FileShareLock(FileShareLock&& other) noexcept;
    FileShareLock& operator=(FileShareLock&& other) noexcept;
    ~FileShareLock() { Release(); }

    // Takes the lock without waiting; an invalid lock when the file cannot be
    // opened or a conflicting lock is held.
    static FileShareLock TryAcquire(const std::string& path, Mode mode);

    bool IsHeld() const { return fd_ >= 0; }
    explicit operator bool() const { return IsHeld(); }
    void Release();

private:
    friend TempFile CreateTempFile(const std::string&, std::string_view);
    int fd_ = -1;
};

// The private temporary folder with a trailing '/', made (mode 0700) when
// missing; "" when it cannot be made or is not private to this user.
std::string GetTempPath();

// GetTempFileName's shape: the first three characters of `prefix`, the
// number in upper-case hexadecimal and ".tmp", in folder `dir` (a separator is
// added when missing). With unique 0 a random 64-bit number (16 digits) is
// chosen, so that nobody can guess the name in advance, and the new empty
// file is made (mode 0600); otherwise the name is only formed.
// "" on failure.
std::string GetTempFileName(std::string_view dir, std::string_view prefix, unsigned unique = 0);

// A new temporary file (as GetTempFileName with unique 0) that is Shared-locked
// from the moment it exists, so the clean-up cannot take it before its user
// holds it.
struct TempFile {
    std::string path;  // "" on failure
    FileShareLock lock;
};
TempFile CreateTempFile(const std::string& dir, std::string_view prefix);

// Deletes every file in `dir` matching the wildcard `pattern` (as FindFiles)
// that nobody holds locked; returns how many were deleted.
int DeleteUnusedFiles(const std::string& dir, std::string_view pattern);

}  // namespace sys
