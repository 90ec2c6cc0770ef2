// The recording DC logs the calls made on it and draws them as well.
#include <gtest/gtest.h>

#include "platform/gdi/RecordingDC.h"

TEST(RecordingDC, LogsOuterCallsWithTheirArguments) {
    RecordingDC dc(20, 20);
    EXPECT_TRUE(dc.Calls().empty());
    dc.SaveDC();
    CPen pen(PS_SOLID, 2, RGB(0x28, 0x28, 0x28));
    dc.SelectObject(&pen);
    dc.SelectStockObject(NULL_BRUSH);
    dc.SetROP2(R2_MASKPEN);
    dc.Rectangle(1, 2, 10, 12);
    CRect r(0, 0, 3, 3);
    dc.InvertRect(&r);  // made of a PatBlt, which is not logged on its own
    dc.RestoreDC(-1);
    const std::vector<std::string> want = {
        "SaveDC()",
        "SelectObject(\"pen(0,2,0x282828)\")",
        "SelectObject(\"brush(1,0x0,0)\")",
        "SetROP2(9)",
        "Rectangle(1,2,10,12)",
        "InvertRect({0,0,3,3})",
        "RestoreDC(-1)",
    };
    EXPECT_EQ(dc.Calls(), want);
    EXPECT_EQ(dc.CallsNamed("Rectangle").size(), 1u);
    EXPECT_EQ(dc.GetPixel(1, 5), RGB(0x28, 0x28, 0x28));  // drawn too
    dc.ClearCalls();
    EXPECT_TRUE(dc.Calls().empty());
}
