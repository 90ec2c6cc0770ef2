// Scripted message boxes and modal runs, string tables and languages.
#include <gtest/gtest.h>

#include <QDialog>
#include <cstdlib>
#include <thread>

#include "platform/ui/MessageBox.h"
#include "platform/ui/StringTable.h"
#include "platform/ui/WinApp.h"
#include "platform/ui/Wnd.h"
#include "platform/ui/tests/QtTestApp.h"

namespace {

struct ScriptedBoxes : ::testing::Test {
    void SetUp() override {
        TestApp();
        AfxSetMessageBoxAnswerer([this](const MessageBoxRequest& r) {
            asked.push_back(r);
            onUi.push_back(UiDispatcher::IsUiThread());
            return answer;
        });
    }
    void TearDown() override { AfxSetMessageBoxAnswerer(nullptr); }
    std::vector<MessageBoxRequest> asked;
    std::vector<bool> onUi;
    int answer = IDOK;
};

TEST_F(ScriptedBoxes, AnswerAndRequestReachTheCaller) {
    CWinApp app("Veloran Viewer");
    answer = IDNO;
    EXPECT_EQ(AfxMessageBox("Save?", MB_YESNOCANCEL | MB_ICONQUESTION), IDNO);
    CWnd owner;
    ASSERT_TRUE(owner.Create(nullptr, "o", 0, CRect(0, 0, 10, 10), nullptr, 0));
    answer = IDCANCEL;
    EXPECT_EQ(owner.MessageBox("Not all pictures", "Caption", MB_ICONEXCLAMATION), IDCANCEL);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].text, "Save?");
    EXPECT_EQ(asked[0].caption, "Veloran Viewer");
    EXPECT_EQ(asked[0].type, MB_YESNOCANCEL | MB_ICONQUESTION);
    EXPECT_EQ(asked[1].caption, "Caption");
    EXPECT_EQ(asked[1].type, MB_ICONEXCLAMATION);
}

TEST_F(ScriptedBoxes, FromWorkerTheBoxRunsOnUiThread) {
    answer = IDYES;
    std::atomic<int> result{-1};
    std::thread worker([&] { result = AfxMessageBox("from worker", MB_YESNO | MB_SYSTEMMODAL); });
    ASSERT_TRUE(PumpUntil([&] { return result.load() != -1; }));
    worker.join();
    EXPECT_EQ(result.load(), IDYES);
    ASSERT_EQ(onUi.size(), 1u);
    EXPECT_TRUE(onUi[0]);
}

TEST_F(ScriptedBoxes, WorkerGivesUpWhenStopped) {
    std::atomic<int> stop{0};
    std::atomic<bool> started{false};
    int result = -1;
    std::thread worker([&] {
        started = true;
        result = AfxShowMessageBox(nullptr, "never shown", nullptr, MB_OK, &stop);
    });
    while (!started) std::this_thread::yield();
    stop = 1;
    worker.join();
    ASSERT_TRUE(PumpUntilQueuedRan());
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(asked.empty());
}

TEST(BoxPlacement, ABoxSitsOnAShownWindowOnly) {
    TestApp();
    CWinApp app("Veloran Viewer");
    CWnd main, owner;
    ASSERT_TRUE(main.Create(nullptr, "main", 0, CRect(0, 0, 10, 10), nullptr, 0));
    ASSERT_TRUE(owner.Create(nullptr, "o", 0, CRect(0, 0, 10, 10), nullptr, 0));
    app.m_pMainWnd = &main;
    // Nothing shown yet, as at start-up: no parent, so the box is centred.
    EXPECT_EQ(AfxMessageBoxParent(&owner), nullptr);
    EXPECT_EQ(AfxMessageBoxParent(nullptr), nullptr);
    main.GetWidget()->show();
    EXPECT_EQ(AfxMessageBoxParent(&owner), main.GetWidget());
    owner.GetWidget()->show();
    EXPECT_EQ(AfxMessageBoxParent(&owner), owner.GetWidget());
    app.m_pMainWnd = nullptr;
}

TEST(HeadlessBoxes, DefaultButtonAnswersWithoutScript) {
    TestApp();
    ASSERT_TRUE(AfxIsHeadless());
    struct Case {
        UINT type;
        int result;
    } cases[] = {{MB_OK, IDOK},
                 {MB_YESNO, IDYES},
                 {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
                 {MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, IDRETRY},
                 {MB_OKCANCEL | MB_DEFBUTTON3, IDOK}}; // no third button: the first
    for (const Case& c : cases) EXPECT_EQ(AfxMessageBox("headless", c.type), c.result) << c.type;
}

TEST(ModalDialogs, ScriptAnswersWithTheDialogItsId) {
    TestApp();
    UINT seenId = 0;
    AfxSetDialogAnswerer([&](UINT id, QDialog& dlg) {
        seenId = id;
        dlg.setWindowTitle("answered");
        return IDOK;
    });
    QDialog dlg;
    EXPECT_EQ(AfxRunModalDialog(dlg, 124), IDOK);
    EXPECT_EQ(seenId, 124u);
    EXPECT_EQ(dlg.windowTitle().toStdString(), "answered");
    AfxSetDialogAnswerer(nullptr);
    EXPECT_EQ(AfxRunModalDialog(dlg, 124), IDCANCEL); // headless without a script
}

class Language : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* n : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            const char* v = std::getenv(n);
            saved.emplace_back(n, v ? std::optional<std::string>(v) : std::nullopt);
            unsetenv(n);
        }
    }
    void TearDown() override {
        for (auto& [n, v] : saved)
            if (v) setenv(n.c_str(), v->c_str(), 1);
            else unsetenv(n.c_str());
        AfxSetLanguage(AfxLanguageFromEnvironment());
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
};

TEST_F(Language, PickedFromEnvironment) {
    struct Case {
        const char* lcAll;
        const char* lcMessages;
        const char* lang;
        UiLanguage expected;
    } cases[] = {
        {nullptr, nullptr, nullptr, UiLanguage::English},
        {nullptr, nullptr, "ko_KR.UTF-8", UiLanguage::Korean},
        {nullptr, nullptr, "ko", UiLanguage::Korean},
        {nullptr, nullptr, "en_US.UTF-8", UiLanguage::English},
        {nullptr, nullptr, "kok_IN", UiLanguage::English}, // Konkani, not Korean
        {nullptr, "ko_KR.UTF-8", "en_US.UTF-8", UiLanguage::Korean},
        {"C", "ko_KR.UTF-8", "ko_KR.UTF-8", UiLanguage::English},
        {nullptr, "", "ko_KR.UTF-8", UiLanguage::Korean}, // empty variables do not count
    };
    for (const Case& c : cases) {
        for (auto [n, v] : {std::pair{"LC_ALL", c.lcAll}, {"LC_MESSAGES", c.lcMessages}, {"LANG", c.lang}})
            if (v) setenv(n, v, 1);
            else unsetenv(n);
        EXPECT_EQ(AfxLanguageFromEnvironment(), c.expected) << (c.lang ? c.lang : "-");
    }
}

TEST_F(Language, KoreanStringsUnderKoreanLang) {
    setenv("LANG", "ko_KR.UTF-8", 1);
    AfxSetLanguage(AfxLanguageFromEnvironment());
    const StringTableEntry en[] = {{45250, "Memory of system is lacking."}, {133, "Veloran Viewer"}};
    const StringTableEntry ko[] = {{45250, "시스템 메모리가 부족합니다."}};
    AfxAddStrings(UiLanguage::English, en, 2);
    AfxAddStrings(UiLanguage::Korean, ko, 1);
    EXPECT_EQ(AfxLoadString(45250).str(), "시스템 메모리가 부족합니다.");
    EXPECT_EQ(AfxLoadString(133).str(), "Veloran Viewer"); // no Korean text: English
    EXPECT_EQ(AfxLoadString(AFX_IDS_IDLEMESSAGE).str(), "준비");
    CString s;
    AfxFormatString1(s, AFX_IDP_ASK_TO_SAVE, "a.dvi");
    EXPECT_EQ(s.str(), "a.dvi의 변경 내용을 저장하시겠습니까?");
    EXPECT_FALSE(AfxLoadString(9999, s));
    EXPECT_TRUE(s.IsEmpty());

    setenv("LANG", "en_US.UTF-8", 1);
    AfxSetLanguage(AfxLanguageFromEnvironment());
    EXPECT_EQ(AfxLoadString(45250).str(), "Memory of system is lacking.");
    EXPECT_EQ(AfxLoadString(AFX_IDS_IDLEMESSAGE).str(), "Ready");
}

TEST(Inserts, NumberedInsertsAndMessageForms) {
    const char* args[] = {"a.dvi", "7"};
    struct Case {
        const char* format;
        int count;
        const char* expected;
    } cases[] = {
        {"Do you want to save changes to %1!s! before closing?", 1,
         "Do you want to save changes to a.dvi before closing?"},
        {"%2 of %1", 2, "7 of a.dvi"},
        {"100%% of %1", 1, "100% of a.dvi"},
        {"%2 missing", 1, "%2 missing"},
        {"%1%1", 1, "a.dvia.dvi"},
        {"trailing %", 1, "trailing %"},
        {"%1!unterminated", 1, "a.dvi!unterminated"},
    };
    for (const Case& c : cases) EXPECT_EQ(AfxFormatInserts(c.format, args, c.count).str(), c.expected) << c.format;
}

} // namespace
