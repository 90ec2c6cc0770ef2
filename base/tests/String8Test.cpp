#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "base/String8.h"
#include "platform/core/CString.h"

TEST(String8, NullAndEmptyAreDistinctAndNullReadsAsEmpty) {
    String8 n(static_cast<const char*>(nullptr)), e("");
    EXPECT_TRUE(n.IsNull());
    EXPECT_FALSE(e.IsNull());
    EXPECT_EQ(n.GetLength(), 0);
    EXPECT_EQ(e.GetLength(), 0);
    EXPECT_STREQ(n, "");
    EXPECT_TRUE(n == e);
    EXPECT_TRUE(String8::Null.IsNull());
    EXPECT_STREQ(String8(CString("fw")), "fw");
    const unsigned char u[] = {0xB0, 0xA1, 0};
    EXPECT_EQ(String8(u).GetLength(), 2);
}

TEST(String8, CopiesShareOneRecordAndSelfAssignmentKeepsIt) {
    String8 a("text");
    {
        String8 b(a), c;
        c = b;
        EXPECT_EQ(static_cast<const char*>(a), static_cast<const char*>(c));
        EXPECT_EQ(a.RefCount(), 3);
    }
    EXPECT_EQ(a.RefCount(), 1);
    String8& alias = a;
    a = alias;
    EXPECT_STREQ(a, "text");
    EXPECT_EQ(a.RefCount(), 1);
}

TEST(String8, ConcatenationAndAppend) {
    String8 a, b("xy");
    a += b;  // null += b shares b
    EXPECT_EQ(static_cast<const char*>(a), static_cast<const char*>(b));
    a += String8("z");
    EXPECT_STREQ(a, "xyz");
    EXPECT_STREQ(b, "xy");
    EXPECT_EQ((String8("ab") + String8("cd")).GetLength(), 4);
    EXPECT_STREQ(String8("ab") + String8::Null, "ab");
}

TEST(String8, OrderingComparesSignedBytes) {
    const char hiB0[] = {'a', 'b', char(0xB0), 0};
    const char firstB0[] = {char(0xB0), 0};
    struct { String8 lo, hi; } cases[] = {
        {"Z", "a"}, {"abc", "abd"}, {"ab", "abc"}, {firstB0, "A"}, {hiB0, "ab"}, {"", "a"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.lo.c_str());
        EXPECT_TRUE(c.lo < c.hi);
        EXPECT_TRUE(c.hi > c.lo);
        EXPECT_TRUE(c.lo <= c.hi);
        EXPECT_TRUE(c.hi >= c.lo);
        EXPECT_TRUE(c.lo != c.hi);
        EXPECT_FALSE(c.lo == c.hi);
        EXPECT_FALSE(c.hi < c.lo);
    }
    EXPECT_TRUE(String8("same") <= String8("same"));
    EXPECT_TRUE(String8("same") >= String8("same"));
}

TEST(String8, SubStrClampsToTheText) {
    struct { int start, count; const char* want; } cases[] = {
        {1, 3, "bcd"}, {0, 6, "abcdef"}, {4, 10, "ef"}, {10, 2, ""}, {-3, 2, "ab"}, {2, -1, ""}, {6, 0, ""},
    };
    String8 s("abcdef");
    for (auto& c : cases) {
        String8 r = s.SubStr(c.start, c.count);
        EXPECT_STREQ(r, c.want) << c.start << "," << c.count;
        EXPECT_EQ(r.GetLength(), int(std::strlen(c.want)));
    }
}

TEST(String8, CaseMappingKeepsDoubleByteCharacters) {
    const char in[] = {'a', 'b', char(0xB0), 0x61, 'c', 0};
    const char up[] = {'A', 'B', char(0xB0), 0x61, 'C', 0};
    EXPECT_STREQ(String8(in).UpCase(), up);
    const char in2[] = {'X', char(0xC7), 'Q', 'Y', 0};
    const char down2[] = {'x', char(0xC7), 'Q', 'y', 0};
    EXPECT_STREQ(String8(in2).DownCase(), down2);
    const char lastLead[] = {'a', char(0xB0), 0};
    EXPECT_EQ(String8(lastLead).UpCase().GetLength(), 2);
    EXPECT_STREQ(String8("Mixed 123").UpCase(), "MIXED 123");
    EXPECT_TRUE(String8::Null.UpCase().IsNull());
}

TEST(String8, HashFollowsTheText) {
    std::hash<String8> h;
    EXPECT_EQ(h(String8("cmr10")), h(String8("cmr") + String8("10")));
    EXPECT_NE(h(String8("cmr10")), h(String8("cmr12")));
}

TEST(String8, RecordAllocationFailureThrowsAndLeavesTargetNull) {
    String8 target("kept");
    auto prev = String8::SetRecordAllocator([](std::size_t) -> void* { return nullptr; });
    try {
        target = String8("new");
        FAIL() << "no exception";
    } catch (const MemoryAllocError& e) {
        EXPECT_GT(e.size, 0);
    }
    String8::SetRecordAllocator(prev);
    EXPECT_STREQ(target, "kept");
}

TEST(String8, SharedRecordSurvivesCopiesOnManyThreads) {
    String8 shared("path/list/entry");
    std::vector<std::thread> ts;
    for (int t = 0; t < 4; ++t)
        ts.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                String8 c(shared);
                String8 d;
                d = c;
            }
        });
    for (auto& t : ts) t.join();
    EXPECT_EQ(shared.RefCount(), 1);
}
