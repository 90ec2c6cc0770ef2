#include <gtest/gtest.h>

#include "platform/core/CString.h"
#include "platform/core/Geometry.h"
#include "platform/core/WinTypes.h"

TEST(CoreTypes, ColorRefLayoutAndQtConversion) {
    COLORREF c = RGB(0x12, 0x34, 0x56);
    EXPECT_EQ(c, 0x00563412u);
    EXPECT_EQ(GetRValue(c), 0x12);
    EXPECT_EQ(GetGValue(c), 0x34);
    EXPECT_EQ(GetBValue(c), 0x56);
    EXPECT_EQ(ColorRefToArgb(c), 0xFF123456u);
    EXPECT_EQ(ArgbToColorRef(0x80123456u), c);
}

TEST(CoreTypes, MulDivRoundsHalfAwayFromZero) {
    struct { int a, b, c, want; } cases[] = {
        {10, 3, 4, 8}, {-10, 3, 4, -8}, {10, -3, -4, 8}, {5, 1, 2, 3}, {-5, 1, 2, -3},
        {2000000000, 3, 4, 1500000000}, {1, 1, 0, -1},
    };
    for (auto& t : cases) EXPECT_EQ(MulDiv(t.a, t.b, t.c), t.want) << t.a << "*" << t.b << "/" << t.c;
}

TEST(CoreTypes, RectIntersectUnionAndHitTest) {
    CRect a(0, 0, 10, 10), b(5, 5, 20, 20), r;
    EXPECT_TRUE(r.IntersectRect(a, b));
    EXPECT_EQ(r, CRect(5, 5, 10, 10));
    EXPECT_FALSE(r.IntersectRect(a, CRect(10, 0, 20, 10)));
    EXPECT_TRUE(r.IsRectNull());
    r.UnionRect(a, CRect());
    EXPECT_EQ(r, a);
    r.UnionRect(a, b);
    EXPECT_EQ(r, CRect(0, 0, 20, 20));
    EXPECT_TRUE(a.PtInRect(CPoint(0, 0)));
    EXPECT_FALSE(a.PtInRect(CPoint(10, 5)));
    CRect n(10, 10, 0, 0);
    n.NormalizeRect();
    EXPECT_EQ(n, a);
}

TEST(CoreTypes, CStringEditing) {
    CString s("  Hello, World  ");
    s.Trim();
    EXPECT_STREQ(s, "Hello, World");
    EXPECT_EQ(s.Find("World"), 7);
    EXPECT_EQ(s.Find('z'), -1);
    EXPECT_EQ(s.ReverseFind('o'), 8);
    EXPECT_STREQ(s.Left(5), "Hello");
    EXPECT_STREQ(s.Right(5), "World");
    EXPECT_STREQ(s.Mid(7, 100), "World");
    EXPECT_STREQ(s.Mid(50), "");
    EXPECT_STREQ(s.Left(-1), "");
    EXPECT_EQ(CString("abc").CompareNoCase("ABC"), 0);
    CString r("a.b.c");
    EXPECT_EQ(r.Replace(".", ".."), 2);
    EXPECT_STREQ(r, "a..b..c");
    CString f;
    f.Format("%d-%.2f-%s", 7, 1.5, "x");
    EXPECT_STREQ(f, "7-1.50-x");
    char* buf = f.GetBuffer(64);
    std::snprintf(buf, 64, "xyz");
    f.ReleaseBuffer();
    EXPECT_EQ(f.GetLength(), 3);
}
