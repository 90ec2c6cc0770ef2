// Several documents shown at once, each in a page view of its own, as the
// address, link and transfer tests need: a view opens a local file or an
// address and is waited for until its page is drawn; message boxes are
// answered with `answer` and their texts kept; the views go in TearDown.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/MessageBox.h"
#include "testsupport/QtTestTools.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/VrViewerView.h"
#include "viewer/view/tests/ViewTestSupport.h"

struct Shown {
    std::unique_ptr<CVrViewerDoc> doc;
    CVrViewerView* view = nullptr;
};

class ShownViewsTest : public ::testing::Test {
protected:
    void SetUp() override {
        AfxSetMessageBoxAnswerer([this](const MessageBoxRequest& r) {
            boxes.push_back(r.text);
            return answer;
        });
    }
    void TearDown() override {
        for (Shown& s : shown) {
            s.view->DestroyWindow();
            s.doc.reset();
        }
        shown.clear();
        PumpPending();
        AfxSetMessageBoxAnswerer(nullptr);
    }

    // A new view of width x height whose document opens the address; not
    // waited for.
    Shown& Open(const std::string& address, bool local, int width = 1000, int height = 700) {
        shown.emplace_back();
        Shown& s = shown.back();
        s.doc = std::make_unique<CVrViewerDoc>();
        s.doc->m_bAutoDelete = FALSE;
        s.view = new CVrViewerView;
        EXPECT_TRUE(s.view->Create(nullptr, "page view", WS_VISIBLE, RECT{0, 0, width, height}, nullptr, 1));
        s.view->GetWidget()->resize(width, height);
        s.view->GetWidget()->show();
        s.doc->AddView(s.view);
        if (local) EXPECT_TRUE(s.doc->OnOpenDocument(address.c_str()));
        else EXPECT_EQ(s.doc->LoadFromAddress(address.c_str()), CVrViewerDoc::kLoadOk);
        return s;
    }
    // Open, then wait until the document is read and its page drawn.
    Shown& Show(const std::string& address, bool local = true) {
        Shown& s = Open(address, local);
        EXPECT_TRUE(Drawn(s));
        return s;
    }
    static bool Drawn(Shown& s) {
        return PumpUntil([&] {
            const int* f = s.view->GetPagePartFlags();
            return s.doc->WaitWorker(0) && s.view->IsInitialViewEstablished() &&
                   std::all_of(f, f + 6, [](int v) { return v == 1; });
        }) && (PumpPending(), s.view->UpdateWindow(), true);
    }
    static int Page(const Shown& s) {
        ViewStatus vs;
        s.view->GetViewStatus(vs);
        return vs.page;
    }

    std::deque<Shown> shown;
    std::vector<std::string> boxes;
    int answer = IDOK;
};
