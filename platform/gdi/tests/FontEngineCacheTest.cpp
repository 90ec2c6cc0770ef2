// The engine's memory stays bounded however many sizes are made: instances
// in a least-recently-used list, glyphs of all instances under one byte
// budget. Repeated draws at one size still come from the cache, and an
// instance a caller holds keeps drawing after the engine has dropped it.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "platform/gdi/FontEngineCache.h"
#include "platform/gdi/tests/FontTestSupport.h"

using namespace fonttest;

namespace {
class FontEngineCache : public ::testing::Test {
protected:
    void SetUp() override { saved_ = FontEngine::Usage().glyphBudget; }
    void TearDown() override { FontEngine::SetGlyphBudget(saved_); }

private:
    size_t saved_ = 0;
};
}  // namespace

TEST_F(FontEngineCache, ThousandsOfSizesStayWithinTheBudget) {
    constexpr size_t kBudget = size_t(2) << 20;
    FontEngine::SetGlyphBudget(kBudget);
    const uint64_t missesBefore = FontEngine::Usage().glyphMisses;
    size_t peak = 0, overBudget = 0, overCapacity = 0;
    // 3,000 distinct instances: every em height from 8 to 107 at 30 widths.
    for (LONG height = 8; height < 108; ++height)
        for (LONG width = 0; width < 30; ++width) {
            auto font = FontEngine::Resolve(Font(width % 2 ? "DejaVu Sans" : "DejaVu Serif", -height, 0, 0, 0,
                                                 width ? height / 3 + width : 0));
            EXPECT_GT(InkOf(Draw(*font, u"Sphinx of black quartz").mask).sum, 0);
            const FontEngine::CacheUsage u = FontEngine::Usage();
            peak = std::max(peak, u.glyphBytes);
            overBudget += u.glyphBytes > u.glyphBudget;
            overCapacity += u.instances > u.instanceCapacity;
        }
    EXPECT_EQ(overBudget, 0u);
    EXPECT_EQ(overCapacity, 0u);
    // The pool filled up, so glyphs were evicted to keep within it.
    EXPECT_GT(peak, kBudget / 2);
    EXPECT_GE(FontEngine::Usage().glyphMisses - missesBefore, 3000u * 17);

    // Lowering the budget drops glyphs at once.
    FontEngine::SetGlyphBudget(kBudget / 8);
    EXPECT_LE(FontEngine::Usage().glyphBytes, kBudget / 8);
}

TEST_F(FontEngineCache, RepeatedDrawsHitTheCache) {
    const std::u16string text = u"The quick brown fox jumps over the lazy dog";
    const LOGFONT fonts[] = {Font("DejaVu Serif", -17), Font("DejaVu Sans", 40, FW_BOLD), Font("CMR10", -25),
                             Font("DejaVu Sans", -14, 0, 1, 900)};
    std::vector<std::shared_ptr<const FontInstance>> first;
    std::vector<FontInstance::Mask> masks;
    for (const LOGFONT& lf : fonts) {
        first.push_back(FontEngine::Resolve(lf));
        masks.push_back(Draw(*first.back(), text).mask);
    }
    const FontEngine::CacheUsage before = FontEngine::Usage();
    // Interleaved, as a page that switches fonts draws them.
    for (int round = 0; round < 10; ++round)
        for (size_t i = 0; i < std::size(fonts); ++i) {
            auto font = FontEngine::Resolve(fonts[i]);
            EXPECT_EQ(font, first[i]);
            EXPECT_TRUE(SameMask(Draw(*font, text).mask, masks[i]));
            EXPECT_EQ(font->Advance(u'q'), first[i]->Advance(u'q'));
        }
    const FontEngine::CacheUsage after = FontEngine::Usage();
    EXPECT_EQ(after.glyphMisses, before.glyphMisses);
    EXPECT_EQ(after.resolveMisses, before.resolveMisses);
}

TEST_F(FontEngineCache, HeldInstanceSurvivesEviction) {
    const std::u16string text = u"Held: AVWag";
    const LOGFONT lf = Font("DejaVu Serif", -33, FW_BOLD, 1, 450);
    auto held = FontEngine::Resolve(lf);
    const FontInstance::Mask expected = Draw(*held, text).mask;
    ASSERT_GT(InkOf(expected).sum, 0);

    // Enough other instances and glyphs to push both it and its glyphs out.
    FontEngine::SetGlyphBudget(size_t(256) << 10);
    const size_t others = FontEngine::Usage().instanceCapacity * 2;
    for (size_t i = 0; i < others; ++i) Draw(Font("DejaVu Sans", -LONG(20 + i)), u"WMQ@");
    const uint64_t misses = FontEngine::Usage().glyphMisses;

    EXPECT_TRUE(SameMask(Draw(*held, text).mask, expected));
    EXPECT_GT(FontEngine::Usage().glyphMisses, misses);  // its glyphs were drawn again
    auto fresh = FontEngine::Resolve(lf);
    EXPECT_NE(fresh, held);  // the engine had let it go
    EXPECT_TRUE(SameMask(Draw(*fresh, text).mask, expected));
    held.reset();
    EXPECT_TRUE(SameMask(Draw(*fresh, text).mask, expected));
}

TEST_F(FontEngineCache, ThreadsEvictEachOthersGlyphs) {
    // A budget smaller than one run's glyphs at these sizes: every thread's
    // inserts evict glyphs of the instances the others are drawing.
    const std::u16string text = u"Sphinx of black quartz, judge my vow";
    const LONG sizes[] = {-60, -71, -83, -97};
    std::vector<FontInstance::Mask> expected;
    for (LONG h : sizes) expected.push_back(Draw(Font("DejaVu Sans", h), text).mask);
    FontEngine::SetGlyphBudget(size_t(64) << 10);
    std::vector<int> failures(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 10; ++round)
                for (size_t i = 0; i < std::size(sizes); ++i) {
                    const size_t k = (i + size_t(t)) % std::size(sizes);
                    if (!SameMask(Draw(Font("DejaVu Sans", sizes[k]), text).mask, expected[k])) ++failures[size_t(t)];
                }
        });
    for (auto& th : threads) th.join();
    for (int f : failures) EXPECT_EQ(f, 0);
    EXPECT_LE(FontEngine::Usage().glyphBytes, size_t(64) << 10);
}
