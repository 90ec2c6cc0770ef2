#include "platform/gdi/GlyphCache.h"

#include <utility>

std::shared_ptr<const CachedGlyph> GlyphCache::Insert(WCHAR code, CachedGlyph glyph) {
    size_t cost = glyph.alpha.size() + sizeof(CachedGlyph);
    if (bytes_ + cost > budget_) {
        for (auto& g : direct_) g.reset();
        others_.clear();
        bytes_ = 0;
    }
    auto g = std::make_shared<const CachedGlyph>(std::move(glyph));
    bytes_ += cost;
    if (code < kDirect) direct_[code] = g;
    else others_[code] = g;
    return g;
}
