// KPathSea: TeX file lookup through the kpathsea library, loaded at run time
// from a configured path. Font generation is off, so a lookup never starts a
// program. Calls are serialised: the library keeps global state.
#pragma once

// The system's kpathsea library; dlopen's search order finds it when no
// folder is given.
inline constexpr const char kKPathSeaLibraryName[] = "libkpathsea.so.6";

class KPathSea {
public:
    KPathSea();
    ~KPathSea();

    KPathSea(const KPathSea&) = delete;
    KPathSea& operator=(const KPathSea&) = delete;

    // Loads the library at dllPath (a file name alone uses the system's search
    // order) and initialises it. programName names the program to kpathsea
    // (its "progname"); null takes the executable's own name. On failure the
    // object stays unloaded. Loading again first unloads.
    void LoadKPathSeaDLLInit(const char* dllPath, const char* programName);
    void UnloadKPathSeaDLL();
    int IsKPathSeaDLLLoaded() const { return m_library != nullptr; }

    // Full path of the TFM file fileName ("cmr10.tfm"), or null when it is not
    // found or nothing is loaded. The text stays valid on the calling thread
    // until its next lookup.
    const char* KPSEFindTfm(const char* fileName);
    // Likewise for a virtual font file ("ptmr8t.vf").
    const char* KPSEFindVf(const char* fileName);

private:
    struct Api;

    const char* Find(const char* fileName, int format);

    void* m_library; // dlopen handle; null when not loaded
    Api* m_api;
};
