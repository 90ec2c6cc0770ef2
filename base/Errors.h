// Exceptions thrown by value by the libraries, and the process-wide
// allocation-failure handler that the base library installs while loaded.
#pragma once

#include <new>

#define PELLIX_API __attribute__((visibility("default")))

class PELLIX_API uError {
public:
    virtual ~uError() = default;
};

class PELLIX_API FileIOError : public uError {
public:
    explicit FileIOError(const char* path);
    const char* Path() const { return path; }

    char path[512];
};

class PELLIX_API FileOpenError : public FileIOError {
public:
    explicit FileOpenError(const char* path) : FileIOError(path) {}
};

// Also a std::bad_alloc, so code that catches the standard type (and the
// nothrow operator new, which relies on it) keeps working.
class PELLIX_API MemoryAllocError : public uError, public std::bad_alloc {
public:
    explicit MemoryAllocError(int size) : size(size) {}
    const char* what() const noexcept override { return "memory allocation failed"; }

    int size;
};

namespace pellix {
// The handler the base library installs: throws MemoryAllocError. The standard
// handler receives no size, so the size it carries is 0.
PELLIX_API void NewHandler();
// Installs NewHandler and remembers the one before; Uninstall puts that back.
// The library calls both itself when it loads and unloads.
PELLIX_API void InstallNewHandler();
PELLIX_API void UninstallNewHandler();
} // namespace pellix
