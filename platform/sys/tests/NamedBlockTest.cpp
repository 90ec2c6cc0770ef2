#include "platform/sys/NamedBlock.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

TEST(NamedBlock, CreatedBlockIsOpenedByNameAndSharesItsBytes) {
    EXPECT_EQ(NamedBlock::Open("nb-share"), nullptr);
    bool existed = true;
    auto made = NamedBlock::Create("nb-share", 16, &existed);
    ASSERT_NE(made, nullptr);
    EXPECT_FALSE(existed);
    EXPECT_EQ(made->Size(), 16u);
    EXPECT_EQ(made->Snapshot(), std::vector<unsigned char>(16, 0));

    auto opened = NamedBlock::Open("nb-share");
    ASSERT_EQ(opened, made);
    EXPECT_EQ(made->Write(3, "abc", 3), 3u);
    char out[4] = {};
    EXPECT_EQ(opened->Read(3, out, 3), 3u);
    EXPECT_STREQ(out, "abc");

    // A second create joins the living block and keeps its size.
    auto again = NamedBlock::Create("nb-share", 99, &existed);
    EXPECT_TRUE(existed);
    EXPECT_EQ(again, made);
    EXPECT_EQ(again->Size(), 16u);
}

TEST(NamedBlock, BlockEndsWithItsLastHolder) {
    {
        auto b = NamedBlock::Create("nb-life", 8);
        auto c = NamedBlock::Open("nb-life");
        b.reset();
        EXPECT_NE(NamedBlock::Open("nb-life"), nullptr);
    }
    EXPECT_EQ(NamedBlock::Open("nb-life"), nullptr);
    // The name can be used again, fresh and zeroed.
    auto d = NamedBlock::Create("nb-life", 4);
    EXPECT_EQ(d->Snapshot(), std::vector<unsigned char>(4, 0));
}

TEST(NamedBlock, AccessOutsideTheBlockIsClipped) {
    auto b = NamedBlock::Create("nb-clip", 4);
    EXPECT_EQ(b->Write(2, "wxyz", 4), 2u);
    EXPECT_EQ(b->Write(4, "q", 1), 0u);
    EXPECT_EQ(b->Write(0, nullptr, 1), 0u);
    unsigned char out[8] = {};
    EXPECT_EQ(b->Read(1, out, 8), 3u);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 'w');
    EXPECT_EQ(out[2], 'x');
    EXPECT_EQ(b->Read(9, out, 1), 0u);
    EXPECT_EQ(NamedBlock::Create("", 4), nullptr);
    EXPECT_EQ(NamedBlock::Create("nb-zero", 0), nullptr);
}

TEST(NamedBlock, ReadersOnOtherThreadsSeeWholeWrites) {
    auto b = NamedBlock::Create("nb-threads", 64);
    std::thread writer([&] {
        unsigned char v[64];
        for (int round = 0; round < 2000; ++round) {
            std::memset(v, round & 0xff, sizeof v);
            b->Write(0, v, sizeof v);
        }
    });
    bool torn = false;
    for (int i = 0; i < 2000 && !torn; ++i) {
        auto s = NamedBlock::Open("nb-threads")->Snapshot();
        for (unsigned char c : s) torn |= c != s[0];
    }
    writer.join();
    EXPECT_FALSE(torn);
}
