#include "platform/kpathsea/KPathSea.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>
#include <algorithm>

// Declarations only: the functions are reached through dlsym.
#include <kpathsea/progname.h>
#include <kpathsea/tex-file.h>

namespace {

// kpathsea is not re-entrant and keeps its state in globals, shared by every
// object that loads the same library.
std::mutex& KpseMutex() {
    static std::mutex m;
    return m;
}

// Libraries whose global state has been initialised. kpathsea cannot be shut
// down cleanly (its caches outlive kpathsea_finish), so a loaded library stays
// mapped for the rest of the run and is initialised only once.
std::vector<void*> g_initialised; // guarded by KpseMutex

std::string ExecutablePath() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "veloran";
    return std::string(buf, size_t(n));
}

} // namespace

struct KPathSea::Api {
    decltype(&kpse_set_program_name) setProgramName;
    decltype(&kpse_set_program_enabled) setProgramEnabled;
    decltype(&kpse_find_file) findFile;
};

KPathSea::KPathSea() : m_library(nullptr), m_api(nullptr) {}

KPathSea::~KPathSea() { UnloadKPathSeaDLL(); }

void KPathSea::LoadKPathSeaDLLInit(const char* dllPath, const char* programName) {
    UnloadKPathSeaDLL();
    if (!dllPath || !*dllPath) return;

    std::lock_guard<std::mutex> lock(KpseMutex());
    void* handle = dlopen(dllPath, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle) return;

    Api* api = new Api;
    api->setProgramName = reinterpret_cast<decltype(api->setProgramName)>(dlsym(handle, "kpse_set_program_name"));
    api->setProgramEnabled =
        reinterpret_cast<decltype(api->setProgramEnabled)>(dlsym(handle, "kpse_set_program_enabled"));
    api->findFile = reinterpret_cast<decltype(api->findFile)>(dlsym(handle, "kpse_find_file"));
    if (!api->setProgramName || !api->setProgramEnabled || !api->findFile) {
        delete api;
        dlclose(handle);
        return;
    }

    if (std::find(g_initialised.begin(), g_initialised.end(), handle) == g_initialised.end()) {
        std::string argv0 = ExecutablePath();
        api->setProgramName(argv0.c_str(), programName);
        // No mktextfm and friends: a missing font is simply not found.
        const kpse_file_format_type noMake[] = {kpse_tfm_format, kpse_ofm_format, kpse_pk_format, kpse_mf_format};
        for (kpse_file_format_type f : noMake) api->setProgramEnabled(f, 0, kpse_src_cmdline);
        g_initialised.push_back(handle);
    }
    m_api = api;
    m_library = handle;
}

void KPathSea::UnloadKPathSeaDLL() {
    std::lock_guard<std::mutex> lock(KpseMutex());
    if (!m_library) return;
    dlclose(m_library);
    m_library = nullptr;
    delete m_api;
    m_api = nullptr;
}

const char* KPathSea::KPSEFindTfm(const char* fileName) { return Find(fileName, kpse_tfm_format); }

const char* KPathSea::KPSEFindVf(const char* fileName) { return Find(fileName, kpse_vf_format); }

const char* KPathSea::Find(const char* fileName, int format) {
    thread_local std::string result;
    if (!fileName || !*fileName) return nullptr;

    std::lock_guard<std::mutex> lock(KpseMutex());
    if (!m_library) return nullptr;
    char* found = m_api->findFile(fileName, kpse_file_format_type(format), 0);
    if (!found) return nullptr;
    result = found;
    free(found);
    return result.c_str();
}
