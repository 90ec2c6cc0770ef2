#include "viewer/document/PageRange.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct List {
    int count = 0;
    int* array = nullptr;
    ~List() { std::free(array); }
    std::vector<int> Values() const { return std::vector<int>(array, array + count); }
};

struct Case {
    const char* text;
    std::vector<int> pages;
};

TEST(PageRange, TextForms) {
    const Case cases[] = {
        {"3to7,9", {3, 4, 5, 6, 7, 9}},
        {"7to3", {3, 4, 5, 6, 7}},
        {"5, 2", {5, 2}},
        {" 8", {8}},
        {"\t8", {8}},
        {"", {1}},
        {"  ", {1}},
        {"1,,4", {1, 1, 4}},
        {",", {1, 1}},
        {"x", {0}},
        {"4x", {4}},
        {"2to2", {2}},
        {" 2 to 4 ", {2, 3, 4}},
        {"to3", {0, 1, 2, 3}},
        {"3to", {0, 1, 2, 3}},
        {"-2to1", {-2, -1, 0, 1}},
        {"-3", {-3}},
        {"+6", {6}},
        {"1TO3", {1}},
        {"2,2,2", {2, 2, 2}},
        {"10to12,1to2", {10, 11, 12, 1, 2}},
    };
    for (const Case& c : cases) {
        List l;
        EXPECT_TRUE(ParsePageRange(c.text, &l.count, &l.array)) << '"' << c.text << '"';
        EXPECT_EQ(l.Values(), c.pages) << '"' << c.text << '"';
    }
}

TEST(PageRange, AppendsBehindExistingEntries) {
    List l;
    ASSERT_TRUE(ParsePageRange("9", &l.count, &l.array));
    ASSERT_TRUE(ParsePageRange("2", &l.count, &l.array));
    EXPECT_EQ(l.Values(), (std::vector<int>{9, 2}));
    ASSERT_TRUE(ParsePageRange("4to5", &l.count, &l.array));
    EXPECT_EQ(l.Values(), (std::vector<int>{9, 2, 4, 5}));
}

TEST(PageRange, Membership) {
    List l;
    ASSERT_TRUE(ParsePageRange("3to5,9", &l.count, &l.array));
    EXPECT_TRUE(IsPageInList(4, l.count, l.array));
    EXPECT_TRUE(IsPageInList(9, l.count, l.array));
    EXPECT_FALSE(IsPageInList(6, l.count, l.array));
    EXPECT_FALSE(IsPageInList(4, 0, l.array));
    EXPECT_FALSE(IsPageInList(4, -1, l.array));
    EXPECT_FALSE(IsPageInList(3, 1, l.array + 1));
}

TEST(PageRange, HugeNumbersSaturate) {
    const Case cases[] = {
        {"99999999999", {INT_MAX}},
        {"-99999999999", {INT_MIN}},
        {"2147483647", {INT_MAX}},
        {"-2147483648", {INT_MIN}},
        {"2147483646to99999999999", {INT_MAX - 1, INT_MAX}},
    };
    for (const Case& c : cases) {
        List l;
        EXPECT_TRUE(ParsePageRange(c.text, &l.count, &l.array)) << c.text;
        EXPECT_EQ(l.Values(), c.pages) << c.text;
    }
}

TEST(PageRange, OversizedListsLeaveTheListUnchanged) {
    for (const char* text : {"1to2000000000", "-2147483648to2147483647", "1to1000000,5", "2to1000001"}) {
        List l;
        ASSERT_TRUE(ParsePageRange("7", &l.count, &l.array));
        int* before = l.array;
        EXPECT_FALSE(ParsePageRange(text, &l.count, &l.array)) << text;
        EXPECT_EQ(l.count, 1) << text;
        EXPECT_EQ(l.array, before);
        EXPECT_EQ(l.array[0], 7);
    }
    List full;
    EXPECT_TRUE(ParsePageRange("1to999999", &full.count, &full.array));
    EXPECT_EQ(full.count, 999999);
    EXPECT_EQ(full.array[999998], 999999);
}

TEST(PageRange, RangesClampToTheDocument) {
    const Case cases[] = {
        {"1to2000000000", {1, 2, 3}},
        {"2to9,1", {2, 3, 1}},
        {"5to9,2", {2}},
        {"9", {9}}, // single pages pass through; callers check them
    };
    for (const Case& c : cases) {
        List l;
        EXPECT_TRUE(ParsePageRange(c.text, &l.count, &l.array, 3)) << c.text;
        EXPECT_EQ(l.Values(), c.pages) << c.text;
    }
}

TEST(PageRange, LongListsDoNotRecurse) {
    std::string commas(100000, ',');
    List l;
    ASSERT_TRUE(ParsePageRange(commas.c_str(), &l.count, &l.array));
    EXPECT_EQ(l.count, 100001);
    EXPECT_EQ(l.array[100000], 1);

    std::string many;
    for (int i = 0; i < 200000; ++i)
        many += std::to_string(i % 50) + ",";
    List m;
    ASSERT_TRUE(ParsePageRange(many.c_str(), &m.count, &m.array));
    EXPECT_EQ(m.count, 200001);
    EXPECT_EQ(m.array[199999], 199999 % 50);
}

TEST(PageRange, NullTextIsAnEmptyText) {
    List l;
    EXPECT_TRUE(ParsePageRange(nullptr, &l.count, &l.array));
    EXPECT_EQ(l.Values(), std::vector<int>{1});
}

} // namespace
