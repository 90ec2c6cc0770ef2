#include "platform/gdi/GlyphCache.h"

#include <utility>

GlyphPool::~GlyphPool() {
    while (!lru_.empty()) Remove(std::prev(lru_.end()));
}

GlyphPool& GlyphPool::Shared() {
    // Never destroyed: fonts may still be released during static destruction.
    static auto* pool = new GlyphPool(kSharedBudget);
    return *pool;
}

void GlyphPool::SetBudget(size_t budgetBytes) {
    budget_ = budgetBytes;
    Trim(lru_.end());
}

GlyphPool::Order::iterator GlyphPool::Add(GlyphCache* owner, WCHAR code, size_t cost, bool* used) {
    lru_.push_front({owner, code, cost, used});
    bytes_ += cost;
    return lru_.begin();
}

void GlyphPool::Remove(Order::iterator it) {
    Entry e = *it;
    lru_.erase(it);
    bytes_ -= e.cost;
    e.owner->Drop(e.code, e.cost);
}

void GlyphPool::Trim(Order::iterator keep) {
    while (bytes_ > budget_ && !lru_.empty()) {
        auto last = std::prev(lru_.end());
        if (last == keep && lru_.size() == 1) break;
        if (last == keep || *last->used) {
            *last->used = false;
            lru_.splice(lru_.begin(), lru_, last);
        } else {
            Remove(last);
        }
    }
}

std::shared_ptr<const CachedGlyph> GlyphCache::Insert(WCHAR code, CachedGlyph glyph) {
    ++pool_->misses_;
    const size_t cost = Cost(glyph);
    auto g = std::make_shared<const CachedGlyph>(std::move(glyph));
    if (cost > budget_ || cost > pool_->budget_) return g;
    if (Slot* old = SlotOf(code)) pool_->Remove(old->entry);
    if (bytes_ + cost > budget_) Clear();
    Slot& s = code < kDirect ? direct_[code] : others_[code];
    s.glyph = g;
    s.used = false;
    s.entry = pool_->Add(this, code, cost, &s.used);
    bytes_ += cost;
    pool_->Trim(s.entry);
    return g;
}

void GlyphCache::Clear() {
    for (Slot& s : direct_)
        if (s.glyph) pool_->Remove(s.entry);
    while (!others_.empty()) pool_->Remove(others_.begin()->second.entry);
}

void GlyphCache::Drop(WCHAR code, size_t cost) {
    bytes_ -= cost;
    if (code < kDirect) direct_[code] = Slot{};
    else others_.erase(code);
}
