// Rendered glyphs of one font instance (face, size, style, rotation), by
// character code. When the cache outgrows its budget it starts afresh;
// glyphs already handed out stay valid while they are held.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/core/WinTypes.h"

struct CachedGlyph {
    int advance = 0;  // pixels along the baseline
    int left = 0;     // top-left of the coverage relative to the glyph's origin, y down
    int top = 0;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> alpha;  // width * height bytes
};

class GlyphCache {
public:
    explicit GlyphCache(size_t budgetBytes = size_t(1) << 20) : budget_(budgetBytes) {}
    void SetBudget(size_t budgetBytes) { budget_ = budgetBytes; }

    std::shared_ptr<const CachedGlyph> Find(WCHAR code) const {
        if (code < kDirect) return direct_[code];
        auto it = others_.find(code);
        return it == others_.end() ? nullptr : it->second;
    }
    std::shared_ptr<const CachedGlyph> Insert(WCHAR code, CachedGlyph glyph);
    size_t Bytes() const { return bytes_; }

private:
    static constexpr WCHAR kDirect = 256;
    size_t budget_;
    size_t bytes_ = 0;
    std::shared_ptr<const CachedGlyph> direct_[kDirect];
    std::unordered_map<WCHAR, std::shared_ptr<const CachedGlyph>> others_;
};
