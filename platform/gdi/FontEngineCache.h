// What the font engine keeps for reuse: the resolved instances, most recently
// used first, and the glyphs of every instance in one pool under a byte
// budget. An instance a caller holds stays usable after the engine drops it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace FontEngine {
struct CacheUsage {
    size_t instances = 0;         // resolved instances the engine holds
    size_t instanceCapacity = 0;  // the most it holds
    uint64_t resolveMisses = 0;   // Resolve calls that made a new instance
    size_t glyphBytes = 0;        // glyph masks cached across all instances
    size_t glyphBudget = 0;
    uint64_t glyphMisses = 0;     // glyphs rendered because they were not cached
};
CacheUsage Usage();

// Budget of the glyph pool shared by all instances; lowering it drops the
// least recently used glyphs at once.
void SetGlyphBudget(size_t bytes);
}  // namespace FontEngine
