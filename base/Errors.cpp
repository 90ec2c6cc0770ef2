#include "base/Errors.h"

#include <cstring>

FileIOError::FileIOError(const char* p) {
    path[0] = '\0';
    if (p) {
        std::strncpy(path, p, sizeof(path) - 1);
        path[sizeof(path) - 1] = '\0';
    }
}

namespace pellix {
namespace {
std::new_handler g_previous = nullptr;
bool g_installed = false;

struct HandlerGuard {
    HandlerGuard() { InstallNewHandler(); }
    ~HandlerGuard() { UninstallNewHandler(); }
} g_guard;
} // namespace

void NewHandler() { throw MemoryAllocError(0); }

void InstallNewHandler() {
    if (g_installed) return;
    g_previous = std::set_new_handler(&NewHandler);
    g_installed = true;
}

void UninstallNewHandler() {
    if (!g_installed) return;
    std::set_new_handler(g_previous);
    g_installed = false;
}
} // namespace pellix
