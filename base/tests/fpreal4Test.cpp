#include <gtest/gtest.h>

#include "base/fpreal4.h"

TEST(fpreal4, ValueArithmeticAndText) {
    EXPECT_DOUBLE_EQ(fpreal4(15000).Value(), 1.5);
    EXPECT_DOUBLE_EQ(fpreal4(10000).Value(), 1.0);
    EXPECT_EQ(fpreal4(960000).Raw(), 960000);
    EXPECT_EQ((fpreal4(15000) * fpreal4(20000)).Raw(), 30000);
    EXPECT_EQ((fpreal4(10000) / fpreal4(30000)).Raw(), 3333);
    EXPECT_EQ((fpreal4(20000) / fpreal4(30000)).Raw(), 6667);
    EXPECT_EQ((fpreal4(-1) * fpreal4(5000)).Raw(), -1);   // -0.00005 rounds away from zero
    EXPECT_EQ((fpreal4(1) / fpreal4(0)).Raw(), 0);
    EXPECT_EQ((fpreal4(15000) + fpreal4(-5000)).Raw(), 10000);
    EXPECT_EQ(fpreal4::FromDouble(1.23456).Raw(), 12346);
    struct { int raw; const char* text; } texts[] = {
        {15000, "1.5"}, {10000, "1"}, {0, "0"}, {-1, "-0.0001"}, {123456, "12.3456"}, {100000, "10"},
    };
    for (auto& t : texts) EXPECT_EQ(fpreal4(t.raw).ToString(), t.text);
}
