// Run with LANG=ko_KR.UTF-8 (set by the build): the framework's own texts
// come out in Korean without the program choosing a language.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/ui/ControlBars.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/StringTable.h"
#include "platform/ui/tests/QtTestApp.h"

namespace {

TEST(KoreanLanguage, FrameworkTextsFollowLang) {
    ASSERT_STREQ(std::getenv("LANG"), "ko_KR.UTF-8");
    TestApp();
    EXPECT_EQ(AfxGetLanguage(), UiLanguage::Korean);
    auto* frame = new CFrameWnd;
    ASSERT_TRUE(frame->LoadFrame(0));
    CStatusBar status;
    ASSERT_TRUE(status.Create(frame));
    const UINT indicators[] = {ID_SEPARATOR};
    ASSERT_TRUE(status.SetIndicators(indicators, 1));
    EXPECT_EQ(status.GetPaneText(0).str(), "준비");
    EXPECT_EQ(AfxLoadString(AFX_IDS_BUTTON_CANCEL).str(), "취소");
    frame->DestroyWindow();
}

} // namespace
