// The notes store: placing, the zoom ratio of the icons, hit testing, the
// author's name limit, time stamps and the changed flag.
#include <gtest/gtest.h>

#include "platform/gdi/DC.h"
#include "viewer/document/NoteList.h"

namespace {

struct Notes : ::testing::Test {
    Notes() {
        list.clock = [this] { return now; };
        list.userName = [] { return std::string("reader"); };
        list.onChanged = [this] { ++told; };
    }
    NoteList list;
    std::time_t now = 1709820300;  // 2024-03-07 14:05 UTC
    int told = 0;
};

TEST_F(Notes, AddStampsTimeAndUserAndCountsAsAChange) {
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(list.AddNote(15000, 2, 150, 228, 28), 1);
    const NoteRecord* n = list.GetNote(0);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->zoom, 15000);
    EXPECT_EQ(n->page, 2);
    EXPECT_EQ(n->x, 150);
    EXPECT_EQ(n->y, 228);
    EXPECT_EQ(n->topOffset, 28);
    EXPECT_EQ(n->time, "2024/03/07 14:05:00");
    EXPECT_EQ(n->user, "reader");
    EXPECT_EQ(n->text, "");
    EXPECT_EQ(n->deleted, 0);
    EXPECT_EQ(list.changed, 1);
    EXPECT_EQ(told, 1);
}

TEST_F(Notes, IconRectanglesFollowZoomPageAndScroll) {
    list.AddNote(20000, 0, 200, 428, 28);  // placed at 200 %: (200, 400) on the page
    list.AddNote(10000, 1, 10, 38, 28);    // another page
    list.AddNote(10000, 0, 50, 78, 28);
    list.DeleteNote(2);
    list.ComputeIconRects(0, 10000, 0, 0, 28);
    ASSERT_EQ(list.GetIconRects().size(), 1u);
    const RECT r = list.GetIconRects()[0].rect;
    // Half the distance at 100 %, below the band.
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 200 + 28);
    EXPECT_EQ(r.right - r.left, NoteList::kHitWidth);
    EXPECT_EQ(r.bottom - r.top, NoteList::kHitHeight);
    // Scrolled and without a band.
    list.ComputeIconRects(0, 10000, 30, 50, 0);
    EXPECT_EQ(list.GetIconRects()[0].rect.left, 70);
    EXPECT_EQ(list.GetIconRects()[0].rect.top, 150);
    list.ComputeIconRects(1, 10000, 0, 0, 28);
    ASSERT_EQ(list.GetIconRects().size(), 1u);
    EXPECT_EQ(list.GetIconRects()[0].index, 1);
    // A note of no zoom does not divide by zero.
    list.GetNote(1)->zoom = 0;
    list.ComputeIconRects(1, 10000, 0, 0, 28);
    EXPECT_EQ(list.GetIconRects()[0].rect.left, 10);
}

TEST_F(Notes, HitTestExcludesRightAndBottomEdgesAndTheFirstDrawnWins) {
    EXPECT_EQ(list.HitTest(0, 0, 0), 0);  // nothing drawn
    list.AddNote(10000, 0, 100, 128, 28);
    list.AddNote(10000, 0, 105, 133, 28);  // overlaps the first
    list.ComputeIconRects(0, 10000, 0, 0, 28);
    struct {
        int x, y, hit, index;
    } cases[] = {
        {100, 128, 1, 0}, {112, 143, 1, 0}, {108, 140, 1, 0},  // inside the first
        {113, 140, 1, 1}, {117, 148, 1, 1},                      // only the second
        {118, 140, 0, -1}, {110, 149, 0, -1}, {99, 130, 0, -1},  // beyond both
    };
    for (const auto& c : cases) {
        list.hitIndex = -1;
        EXPECT_EQ(list.HitTest(0, c.x, c.y), c.hit) << c.x << "," << c.y;
        EXPECT_EQ(list.hitIndex, c.index) << c.x << "," << c.y;
    }
    list.HitTest(0, 100, 128);
    EXPECT_EQ(list.hitRect.left, 100);
    EXPECT_EQ(list.hitRect.right, 113);
}

TEST_F(Notes, UserNamesAreCutToFourteenBytesAtACharacterBoundary) {
    struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"abcdefghijklmnopqrst", "abcdefghijklmn"},
        {"abcdefghijklmn", "abcdefghijklmn"},
        {"", ""},
        {"홍길동전우치", "홍길동전"},      // 3 bytes each: 12 of 14
        {"abc홍길동전우", "abc홍길동"},  // 3 + 9, the next would pass 14
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NoteList::CutUserName(c.in), c.out) << c.in;
        list.userName = [&] { return std::string(c.in); };
        list.AddNote(10000, 0, 0, 0, 0);
        EXPECT_EQ(list.GetNote(list.GetCount() - 1)->user, c.out);
    }
}

TEST_F(Notes, EditsOutOfRangeDoNothingAndEachRealChangeIsTold) {
    list.SetNoteText(0, "nobody");  // empty list
    list.StampTime(-1);
    EXPECT_EQ(list.DeleteNote(3), 0);
    EXPECT_EQ(list.SetNoteUser(0, "x"), 0);
    EXPECT_EQ(list.changed, 0);
    EXPECT_EQ(told, 0);

    list.AddNote(10000, 0, 0, 0, 0);
    list.changed = 0;
    told = 0;
    list.SetNoteText(0, "text");
    EXPECT_EQ(list.GetNote(0)->text, "text");
    EXPECT_EQ(list.SetNoteUser(0, "reader"), 0);  // the same name
    EXPECT_EQ(told, 0);
    now += 60;
    EXPECT_EQ(list.SetNoteUser(0, "someone else entirely"), 1);
    EXPECT_EQ(list.GetNote(0)->user, "someone else e");
    EXPECT_EQ(told, 1);
    EXPECT_EQ(list.DeleteNote(0), 1);
    EXPECT_EQ(list.DeleteNote(0), 0);  // deleted already
    EXPECT_EQ(told, 2);
    EXPECT_EQ(list.changed, 1);
}

TEST_F(Notes, DrawPaintsTheIconWithItsRedBackgroundLeftOut) {
    auto dc = CreateMemoryDC(60, 60, 32, 96);
    dc->FillSolidRect(0, 0, 60, 60, 0xFFFFFF);
    list.AddNote(10000, 0, 10, 38, 28);
    list.Draw(*dc, 0, 10000, 0, 0, 0);
    auto px = [&](int x, int y) { return dc->GetPixel(x, y) & 0xFFFFFF; };
    EXPECT_EQ(px(10, 10), 0x000000u);  // the sheet's border
    EXPECT_EQ(px(14, 15), 0x80FFFFu);  // yellow body
    EXPECT_EQ(px(24, 10), 0xFFFFFFu);  // the corner cut off: transparent
    EXPECT_EQ(px(12, 27), 0xFFFFFFu);  // the last row: transparent
    EXPECT_EQ(px(9, 12), 0xFFFFFFu);   // left of the icon
    ASSERT_EQ(list.GetIconRects().size(), 1u);
    // Drawing again uses the same icon (and changes nothing).
    list.Draw(*dc, 0, 10000, 0, 0, 0);
    EXPECT_EQ(px(14, 15), 0x80FFFFu);
}

}  // namespace
