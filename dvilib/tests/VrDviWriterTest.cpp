#include <gtest/gtest.h>

#include "DviTestSupport.h"

using namespace dvitest;

namespace {
unsigned Be(const std::vector<unsigned char>& b, size_t at, int n) {
    unsigned v = 0;
    for (int i = 0; i < n; ++i) v = v << 8 | b[at + size_t(i)];
    return v;
}
} // namespace

TEST(VrDviWriter, FrameOfATwoPageFile) {
    TempDir dir;
    std::string path = dir.File("two.dvi");
    const char* comment = "hello";
    {
        VrDviWriter w;
        w.open(path.c_str());
        // den comes first in the call; the file holds num first.
        ASSERT_EQ(w.WritePreamble(473628672, 25400000, 1000, reinterpret_cast<const unsigned char*>(comment)), 1);
        int c1[10] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 7};
        int c2[10] = {-2};
        w.WriteBop(c1);
        w.WriteUInt8(dviop::Nop);
        w.WriteEop();
        w.WriteBop(c2);
        w.WriteEop();
        w.WritePostamble(-1, 1234, 5678);
        w.WritePostPostamble();
        EXPECT_TRUE(w.WriteGood());
    }
    auto b = ReadFile(path);
    const size_t bop1 = 15 + 5, bop2 = bop1 + 45 + 2, post = bop2 + 46;
    EXPECT_EQ(b[0], 247);
    EXPECT_EQ(b[1], 2);
    EXPECT_EQ(Be(b, 2, 4), 25400000u);
    EXPECT_EQ(Be(b, 6, 4), 473628672u);
    EXPECT_EQ(Be(b, 10, 4), 1000u);
    EXPECT_EQ(b[14], 5);
    EXPECT_EQ(std::string(b.begin() + 15, b.begin() + 20), "hello");

    EXPECT_EQ(b[bop1], 139);
    EXPECT_EQ(Be(b, bop1 + 1, 4), 1u);
    EXPECT_EQ(Be(b, bop1 + 37, 4), 7u);
    EXPECT_EQ(int(Be(b, bop1 + 41, 4)), -1);
    EXPECT_EQ(b[bop2], 139);
    EXPECT_EQ(int(Be(b, bop2 + 1, 4)), -2);
    EXPECT_EQ(Be(b, bop2 + 41, 4), bop1);

    EXPECT_EQ(b[post], 248);
    EXPECT_EQ(Be(b, post + 1, 4), bop2);
    EXPECT_EQ(Be(b, post + 5, 4), 25400000u);
    EXPECT_EQ(Be(b, post + 17, 4), 1234u);
    EXPECT_EQ(Be(b, post + 21, 4), 5678u);
    EXPECT_EQ(Be(b, post + 25, 2), 100u);  // a negative stack depth is written as 100
    EXPECT_EQ(Be(b, post + 27, 2), 2u);

    size_t pp = post + 29;
    EXPECT_EQ(b[pp], 249);
    EXPECT_EQ(Be(b, pp + 1, 4), post);
    EXPECT_EQ(b[pp + 5], 2);
    EXPECT_EQ(b.size() % 4, 0u);
    size_t fill = b.size() - (pp + 6);
    EXPECT_GE(fill, 4u);
    EXPECT_LE(fill, 7u);
    for (size_t i = pp + 6; i < b.size(); ++i) EXPECT_EQ(b[i], 223);
}

TEST(VrDviWriter, TrailerFillForEveryAlignment) {
    // Comments of 0 to 3 bytes move the trailer through all four alignments.
    for (int k = 0; k < 4; ++k) {
        TempDir dir;
        std::string path = dir.File("t.dvi");
        std::string comment(size_t(k), 'c');
        {
            VrDviWriter w;
            w.open(path.c_str());
            w.WritePreamble(1, 1, 1000, reinterpret_cast<const unsigned char*>(comment.c_str()));
            w.WritePostamble(0, 0, 0);
            w.WritePostPostamble();
        }
        auto b = ReadFile(path);
        EXPECT_EQ(b.size() % 4, 0u) << k;
        size_t fill = b.size() - (15 + size_t(k) + 29 + 6);
        EXPECT_GE(fill, 4u) << k;
        EXPECT_LE(fill, 7u) << k;
    }
}

TEST(VrDviWriter, RefusesLongCommentAndTakesNullAsEmpty) {
    TempDir dir;
    std::string path = dir.File("c.dvi");
    VrDviWriter w;
    w.open(path.c_str());
    std::string longComment(256, 'x');
    EXPECT_EQ(w.WritePreamble(1, 1, 1000, reinterpret_cast<const unsigned char*>(longComment.c_str())), 0);
    w.flush();
    EXPECT_TRUE(ReadFile(path).empty());
    std::string most(255, 'y');
    EXPECT_EQ(w.WritePreamble(1, 1, 1000, reinterpret_cast<const unsigned char*>(most.c_str())), 1);
    EXPECT_EQ(w.WritePreamble(1, 1, 1000, nullptr), 1);  // rewrites from the start
    w.flush();
    auto b = ReadFile(path);
    EXPECT_EQ(b[14], 0);
}

TEST(VrDviWriter, OpenFailureThrowsAndWriteErrorsShowInTheState) {
    VrDviWriter w;
    EXPECT_THROW(w.open("/nonexistent-folder/x.dvi"), FileOpenError);
    if (std::filesystem::exists("/dev/full")) {
        VrDviWriter full;
        full.open("/dev/full");
        full.WritePreamble(1, 1, 1000, nullptr);
        for (int i = 0; i < 100000; ++i) full.WriteUInt8(dviop::Nop);
        full.WritePostamble(0, 0, 0);
        full.WritePostPostamble();
        full.flush();
        EXPECT_FALSE(full.WriteGood());
    }
}
