// A page view on a document of its own, for the tests of the windows around
// the view (magnifier, contents, thumbnails): a TeX document made once per
// test program, the application that documents use, a registry of the
// test's own, and a view on the offscreen platform that has drawn its page.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/sys/Registry.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/UiDispatcher.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/VrViewerView.h"
#include "testsupport/TestEnvironment.h"
#include "testsupport/QtTestTools.h"
#include "testsupport/TestTools.h"
#include "viewer/view/tests/ViewTestSupport.h"

class DocumentViewTest : public ::testing::Test {
protected:
    // Makes the folder, the registry and the application; texSource (may be
    // null) becomes doc.dvi in Dir().
    static void SetUpDocuments(const char* texSource) {
        namespace fs = std::filesystem;
        env_ = new testsupport::TestEnvironment;
        dir_ = new fs::path(env_->Path());
        if (texSource) {
            ASSERT_NO_FATAL_FAILURE(testsupport::RunTex(*dir_, texSource));
        }
        TestApp();
        app_ = NewTestApplication();
        ASSERT_TRUE(app_->m_kpathsea.IsKPathSeaDLLLoaded());
    }
    static void TearDownDocuments() {
        delete app_;
        app_ = nullptr;
        delete dir_;
        delete env_;
    }
    static const std::filesystem::path& Dir() { return *dir_; }

    // A view (made by make, so a test may script a derived one) on a new document.
    template <class View = CVrViewerView>
    View* MakeView(int width = 1000, int height = 700) {
        TestApp();
        AfxSetMessageBoxAnswerer([this](const MessageBoxRequest& r) {
            messages.push_back(r.text);
            return answer;
        });
        doc = new CVrViewerDoc;
        doc->m_bAutoDelete = FALSE;
        auto* v = new View;
        view = v;
        EXPECT_TRUE(view->Create(nullptr, "page view", WS_VISIBLE, RECT{0, 0, width, height}, nullptr, 1));
        view->GetWidget()->resize(width, height);
        view->GetWidget()->show();
        doc->AddView(view);
        return v;
    }
    void TearDown() override {
        if (view) view->DestroyWindow();  // deletes the view
        view = nullptr;
        delete doc;
        doc = nullptr;
        AfxSetMessageBoxAnswerer(nullptr);
    }
    // The view and the document go in a test's middle; what they had queued
    // runs (and finds them gone).
    void CloseDocument() {
        if (view) view->DestroyWindow();
        view = nullptr;
        delete doc;
        doc = nullptr;
        PumpPending();
    }

    // The document opens a file; its worker reads it; the first page is drawn.
    void Open(const std::filesystem::path& file) {
        ASSERT_TRUE(doc->OnOpenDocument(file.c_str()));
        ASSERT_TRUE(PumpUntil([&] { return doc->WaitWorker(0); }));
        PumpPending();
        ASSERT_TRUE(PumpUntil([&] { return view->IsInitialViewEstablished() != 0; }));
        WaitDrawn();
    }
    // Until every part of the page (and the glass page) is drawn and painted.
    void WaitDrawn() {
        ASSERT_TRUE(PumpUntil([&] {
            const int* f = view->GetPagePartFlags();
            return std::all_of(f, f + 6, [](int v) { return v == 1; }) && !view->HasTimer(ID_PAGE_PARTS_TIMER);
        }));
        view->Invalidate(FALSE);
        view->UpdateWindow();
    }
    ViewStatus Status() {
        ViewStatus vs;
        view->GetViewStatus(vs);
        return vs;
    }

    static inline testsupport::TestEnvironment* env_ = nullptr;
    static inline std::filesystem::path* dir_ = nullptr;
    static inline CVrViewerApp* app_ = nullptr;
    CVrViewerDoc* doc = nullptr;
    CVrViewerView* view = nullptr;
    std::vector<std::string> messages;
    int answer = IDOK;
};
