#include "platform/gdi/FontLibrary.h"

#include <cstdlib>

namespace FontLibrary {
std::recursive_mutex& Mutex() {
    // Never destroyed: fonts may still be released during static destruction.
    static auto* m = new std::recursive_mutex;
    return *m;
}

FT_Library Library() {
    static FT_Library lib = [] {
        FT_Library l = nullptr;
        if (FT_Init_FreeType(&l) != 0) std::abort();
        return l;
    }();
    return lib;
}
}  // namespace FontLibrary
