// The magnifier page on the offscreen platform: clearing the monochrome box
// while memory is short asks whether to keep the glass black and white.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QTest>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/MessageBox.h"
#include "testsupport/QtTestTools.h"
#include "viewer/prefs/PrefPages.h"
#include "viewer/res/ViewerStrings.h"

namespace {

TEST(PrefGlassPage, ClearingMonochromeWithLittleMemoryLeftAsksFirst) {
    TestApp();
    AfxRegisterViewerStrings();
    struct Case {
        int load;
        int answer;
        bool asked, checkedAfter;
    } cases[] = {
        {90, IDYES, true, true},   // keeps the glass black and white
        {90, IDNO, true, false},   // colour all the same
        {85, IDYES, false, false}, // enough memory: no question
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.load);
        std::vector<std::string> asked;
        AfxSetMessageBoxAnswerer([&](const MessageBoxRequest& r) {
            asked.push_back(r.text);
            return c.answer;
        });
        PrefMagGlassPPage page;
        page.m_memoryLoad = [&] { return c.load; };
        std::unique_ptr<QWidget> widget(page.Create(nullptr));
        page.Load();
        auto* mono = widget->findChild<QCheckBox*>("1039");
        ASSERT_NE(mono, nullptr);
        ASSERT_TRUE(mono->isChecked());
        widget->show();
        QTest::mouseClick(mono, Qt::LeftButton);
        EXPECT_EQ(!asked.empty(), c.asked);
        if (!asked.empty()) {
            EXPECT_EQ(asked.front().rfind("Available memory is less in system.", 0), 0u);
        }
        EXPECT_EQ(mono->isChecked(), c.checkedAfter);
        // Setting the box again never asks.
        asked.clear();
        if (!mono->isChecked()) QTest::mouseClick(mono, Qt::LeftButton);
        EXPECT_TRUE(asked.empty());
        AfxSetMessageBoxAnswerer(nullptr);
    }
    EXPECT_GE(PrefMagGlassPPage::SystemMemoryLoad(), 0);
    EXPECT_LE(PrefMagGlassPPage::SystemMemoryLoad(), 100);
}

}  // namespace
