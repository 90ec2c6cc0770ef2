// Rendered glyphs of one font instance (face, size, style, rotation), by
// character code. Every cache draws on a GlyphPool, which holds the bytes of
// all its caches under one budget and drops the least recently used glyphs,
// of whichever instance, to stay within it. A cache also has a budget of its
// own: when it outgrows that it starts afresh. Glyphs already handed out stay
// valid while they are held.
// Caches on the shared pool need FontLibrary::Mutex() for every call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
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

class GlyphCache;

// Outlives the caches that draw on it.
class GlyphPool {
public:
    explicit GlyphPool(size_t budgetBytes) : budget_(budgetBytes) {}
    ~GlyphPool();
    GlyphPool(const GlyphPool&) = delete;
    GlyphPool& operator=(const GlyphPool&) = delete;

    // The pool of every font instance's cache.
    static GlyphPool& Shared();
    static constexpr size_t kSharedBudget = size_t(64) << 20;

    // Lowering the budget drops glyphs at once.
    void SetBudget(size_t budgetBytes);
    size_t Budget() const { return budget_; }
    size_t Bytes() const { return bytes_; }
    size_t Glyphs() const { return lru_.size(); }
    // Glyphs inserted so far: one for every lookup that missed.
    uint64_t Misses() const { return misses_; }

private:
    friend class GlyphCache;
    struct Entry {
        GlyphCache* owner;
        WCHAR code;
        size_t cost;
        bool* used;  // the owner's flag, set by every lookup
    };
    using Order = std::list<Entry>;  // most recently used first

    Order::iterator Add(GlyphCache* owner, WCHAR code, size_t cost, bool* used);
    void Remove(Order::iterator it);
    // Drops least recently used glyphs, never `keep`, until the pool fits its
    // budget. Order is by insertion; a glyph found since it was last passed
    // over gets a second chance at the front (clock eviction), which keeps
    // the lookup itself down to setting a flag.
    void Trim(Order::iterator keep);

    size_t budget_;
    size_t bytes_ = 0;
    uint64_t misses_ = 0;
    Order lru_;
};

class GlyphCache {
public:
    explicit GlyphCache(size_t budgetBytes = size_t(1) << 20, GlyphPool& pool = GlyphPool::Shared())
        : budget_(budgetBytes), pool_(&pool) {}
    ~GlyphCache() { Clear(); }
    GlyphCache(const GlyphCache&) = delete;
    GlyphCache& operator=(const GlyphCache&) = delete;

    void SetBudget(size_t budgetBytes) { budget_ = budgetBytes; }

    // The glyph, marked as recently used; null when not cached.
    std::shared_ptr<const CachedGlyph> Find(WCHAR code) {
        Slot* s = SlotOf(code);
        if (!s) return nullptr;
        s->used = true;
        return s->glyph;
    }
    // Caches the glyph unless it alone is larger than either budget.
    std::shared_ptr<const CachedGlyph> Insert(WCHAR code, CachedGlyph glyph);
    // Gives every glyph back to the pool.
    void Clear();
    size_t Bytes() const { return bytes_; }

    // What a glyph counts against the budgets.
    static size_t Cost(const CachedGlyph& g) { return g.alpha.size() + sizeof(CachedGlyph) + sizeof(Slot); }

private:
    friend class GlyphPool;
    struct Slot {
        std::shared_ptr<const CachedGlyph> glyph;
        GlyphPool::Order::iterator entry;
        bool used = false;
    };
    Slot* SlotOf(WCHAR code) {
        if (code < kDirect) return direct_[code].glyph ? &direct_[code] : nullptr;
        auto it = others_.find(code);
        return it == others_.end() ? nullptr : &it->second;
    }
    void Drop(WCHAR code, size_t cost);  // from the pool, which forgets the entry itself

    static constexpr WCHAR kDirect = 256;
    size_t budget_;
    size_t bytes_ = 0;
    GlyphPool* pool_;
    Slot direct_[kDirect];
    std::unordered_map<WCHAR, Slot> others_;
};
