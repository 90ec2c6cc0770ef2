// The process's FreeType library and the one lock that guards every use of
// FreeType, fontconfig and the font engine's tables. Text is drawn on the UI
// thread and may be drawn on workers; FreeType objects are not thread-safe.
#pragma once

#include <mutex>

#include <ft2build.h>
#include FT_FREETYPE_H

namespace FontLibrary {
// Guards the FreeType library and every face made from it (FreeType is not
// thread-safe per library). Recursive, so that a font released while the
// lock is held (a cache eviction) may take it again in its destructor.
std::recursive_mutex& Mutex();
// Initialised on first use; lives until the process ends. Call with Mutex() held.
FT_Library Library();
}  // namespace FontLibrary
