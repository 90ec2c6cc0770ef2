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
