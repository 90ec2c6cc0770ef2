// GDI objects: handles, read-back, stock objects and the wrappers that
// FromHandle and SelectObject hand out.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/gdi/DC.h"

TEST(GdiObjects, ReadBackWhatWasCreated) {
    CPen pen(PS_DASH, 3, RGB(1, 2, 3));
    LOGPEN lp;
    ASSERT_EQ(pen.GetLogPen(&lp), int(sizeof lp));
    EXPECT_EQ(lp.lopnStyle, UINT(PS_DASH));
    EXPECT_EQ(lp.lopnWidth.x, 3);
    EXPECT_EQ(lp.lopnColor, RGB(1, 2, 3));

    CBrush hatch;
    ASSERT_TRUE(hatch.CreateHatchBrush(HS_DIAGCROSS, RGB(4, 5, 6)));
    LOGBRUSH lb;
    ASSERT_EQ(hatch.GetLogBrush(&lb), int(sizeof lb));
    EXPECT_EQ(lb.lbStyle, BS_HATCHED);
    EXPECT_EQ(lb.lbHatch, uintptr_t(HS_DIAGCROSS));
    EXPECT_FALSE(CBrush().CreateHatchBrush(9, 0));

    LOGFONT in;
    in.lfHeight = -13;
    std::strcpy(in.lfFaceName, "Serif");
    CFont font;
    ASSERT_TRUE(font.CreateFontIndirect(&in));
    LOGFONT out;
    font.GetLogFont(&out);
    EXPECT_EQ(out.lfHeight, -13);
    EXPECT_STREQ(out.lfFaceName, "Serif");

    // Bits in and out as rows of two-byte multiples, top row first.
    const uint8_t bits[] = {0xF0, 0x00, 0x0F, 0x00};
    CBitmap bm;
    ASSERT_TRUE(bm.CreateBitmap(4, 2, 1, 1, bits));
    BITMAP info;
    bm.GetBitmap(&info);
    EXPECT_EQ(info.bmWidthBytes, 2);
    uint8_t back[4] = {};
    EXPECT_EQ(bm.GetBitmapBits(4, back), 4u);
    EXPECT_EQ(back[0] & 0xF0, 0xF0);
    EXPECT_EQ(back[2] & 0xF0, 0x00);

    // A header with wider rows than needed: its own row width is used.
    const uint8_t wide[] = {0x80, 0, 0, 0, 0x40, 0, 0, 0};
    BITMAP hdr;
    hdr.bmWidth = 2, hdr.bmHeight = 2, hdr.bmWidthBytes = 4, hdr.bmPlanes = 1, hdr.bmBitsPixel = 1;
    hdr.bmBits = const_cast<uint8_t*>(wide);
    CBitmap fromHeader;
    ASSERT_TRUE(fromHeader.CreateBitmapIndirect(&hdr));
    auto dc = CreateMemoryDC(1, 1, 32);
    CDC mem;
    mem.CreateCompatibleDC(dc.get());
    mem.SelectObject(&fromHeader);
    EXPECT_EQ(mem.GetPixel(0, 0), RGB(255, 255, 255));
    EXPECT_EQ(mem.GetPixel(1, 1), RGB(255, 255, 255));
    EXPECT_EQ(mem.GetPixel(0, 1), RGB(0, 0, 0));
    hdr.bmWidthBytes = 0;  // too narrow for its pixels
    EXPECT_FALSE(CBitmap().CreateBitmapIndirect(&hdr));

    EXPECT_EQ(GetObjectType(GetStockObject(NULL_PEN)), OBJ_PEN);
    EXPECT_EQ(GetObjectType(GetStockObject(DEFAULT_PALETTE)), OBJ_PAL);
    EXPECT_EQ(GetStockObject(99), nullptr);
    EXPECT_FALSE(DeleteObject(GetStockObject(BLACK_BRUSH)));  // stock objects stay
    EXPECT_EQ(GetObjectType(GetStockObject(BLACK_BRUSH)), OBJ_BRUSH);
}

TEST(GdiObjects, SelectObjectHandsBackThePreviousObject) {
    auto dc = CreateMemoryDC(4, 4, 32);
    CPen a(PS_SOLID, 1, RGB(255, 0, 0)), b(PS_SOLID, 1, RGB(0, 0, 255));
    CPen* stock = dc->SelectObject(&a);
    ASSERT_NE(stock, nullptr);
    EXPECT_EQ(dc->SelectObject(&b), &a);  // the CPen itself, not a copy
    EXPECT_EQ(dc->GetCurrentPen(), &b);
    EXPECT_EQ(dc->SelectObject(stock), &b);
    // A handle deleted behind its object's back: the object no longer names it.
    CBrush c(RGB(1, 1, 1));
    dc->SelectObject(&c);
    HGDIOBJ h = c.m_hObject;
    EXPECT_TRUE(DeleteObject(h));
    EXPECT_EQ(CGdiObject::FromHandle(h), nullptr);
    EXPECT_EQ(GetObjectType(h), 0u);
    dc->SelectStockObject(NULL_PEN);
    dc->Rectangle(0, 0, 3, 3);  // the selected brush is still there to paint with
    EXPECT_EQ(dc->GetPixel(1, 1), RGB(1, 1, 1));
}
