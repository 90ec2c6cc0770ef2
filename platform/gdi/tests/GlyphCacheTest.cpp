// The glyph cache starts afresh when it outgrows its budget; glyphs already
// handed out stay valid, and a run longer than the budget still draws whole.
#include <gtest/gtest.h>

#include "platform/gdi/GlyphCache.h"
#include "platform/gdi/tests/FontTestSupport.h"

using namespace fonttest;

TEST(GlyphCache, HeldGlyphsOutliveAFlush) {
    GlyphCache cache(64 * 1024);
    CachedGlyph big;
    big.width = 100;
    big.height = 300;
    big.alpha.assign(30000, 7);
    auto first = cache.Insert(u'a', big);
    auto high = cache.Insert(u'\u4E00', big);
    EXPECT_EQ(cache.Find(u'a'), first);
    EXPECT_EQ(cache.Find(u'\u4E00'), high);
    auto third = cache.Insert(u'b', big);  // over budget: the others go
    EXPECT_EQ(cache.Find(u'a'), nullptr);
    EXPECT_EQ(cache.Find(u'\u4E00'), nullptr);
    EXPECT_EQ(cache.Find(u'b'), third);
    EXPECT_LE(cache.Bytes(), size_t(64 * 1024));
    EXPECT_EQ(first->alpha.size(), 30000u);
    EXPECT_EQ(high->alpha[29999], 7);
}

TEST(GlyphCache, RunLongerThanTheCacheDrawsEveryGlyph) {
    // At the largest size some ten capitals fill an instance's cache.
    auto font = FontEngine::Resolve(Font("DejaVu Sans", -2048));
    const std::u16string text = u"HIEILITIMINIWIKIFIXIUIZIHIE";
    long separate = 0;
    for (char16_t c : text) separate += InkOf(Draw(*font, std::u16string(1, c)).mask, 1).sum;
    TextRun run = Draw(*font, text);
    EXPECT_EQ(InkOf(run.mask, 1).sum, separate);
}

TEST(GlyphCache, PoolEvictsLeastRecentlyUsedAcrossCaches) {
    auto glyph = [](uint8_t v) {
        CachedGlyph g;
        g.width = 100;
        g.height = 10;
        g.alpha.assign(1000, v);
        return g;
    };
    const size_t cost = GlyphCache::Cost(glyph(0));
    GlyphPool pool(cost * 3);
    auto a = std::make_unique<GlyphCache>(cost * 10, pool);
    GlyphCache b(cost * 10, pool);
    auto a1 = a->Insert(u'1', glyph(1));
    b.Insert(u'\u4E00', glyph(2));
    a->Insert(u'3', glyph(3));
    EXPECT_EQ(pool.Bytes(), cost * 3);
    EXPECT_NE(a->Find(u'1'), nullptr);  // now the most recently used
    b.Insert(u'4', glyph(4));           // the oldest, in the other cache, goes
    EXPECT_EQ(b.Find(u'\u4E00'), nullptr);
    EXPECT_NE(a->Find(u'1'), nullptr);
    b.Insert(u'5', glyph(5));
    EXPECT_EQ(a->Find(u'3'), nullptr);
    EXPECT_EQ(pool.Bytes(), cost * 3);
    EXPECT_EQ(a->Bytes() + b.Bytes(), pool.Bytes());
    EXPECT_EQ(pool.Misses(), 5u);

    // Replacing a code counts it once; a glyph larger than the pool is handed
    // out uncached; a cache that goes away gives its bytes back.
    b.Insert(u'5', glyph(6));
    EXPECT_EQ(b.Find(u'5')->alpha[0], 6);
    EXPECT_EQ(pool.Bytes(), cost * 3);
    CachedGlyph huge = glyph(7);
    huge.alpha.assign(cost * 4, 7);
    EXPECT_EQ(a->Insert(u'h', huge)->alpha.size(), cost * 4);
    EXPECT_EQ(a->Find(u'h'), nullptr);
    a.reset();
    EXPECT_EQ(pool.Bytes(), b.Bytes());
    EXPECT_EQ(a1->alpha[999], 1);
    pool.SetBudget(0);
    EXPECT_EQ(pool.Bytes(), 0u);
    EXPECT_EQ(b.Bytes(), 0u);
    EXPECT_EQ(b.Find(u'4'), nullptr);
}
