// A page view on a document opened from a file, on the offscreen platform,
// with the application that documents use; message boxes are answered and
// recorded.
#pragma once

#include <gtest/gtest.h>

#include <QPixmap>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/sys/Registry.h"
#include "platform/ui/MessageBox.h"
#include "testsupport/TestEnvironment.h"
#include "testsupport/QtTestTools.h"
#include "testsupport/TestTools.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/VrViewerView.h"
#include "viewer/view/tests/ViewTestSupport.h"

class DocumentViewFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new testsupport::TestEnvironment;
        TestApp();
        app_ = NewTestApplication();
    }
    static void TearDownTestSuite() {
        delete app_;
        app_ = nullptr;
        delete dir_;
        dir_ = nullptr;
    }

    void SetUp() override { NewView(); }
    void TearDown() override { CloseView(); }

    void NewView(int width = 1000, int height = 700) {
        AfxSetMessageBoxAnswerer([this](const MessageBoxRequest& r) {
            messages.push_back(r.text);
            return answer;
        });
        doc = new CVrViewerDoc;
        doc->m_bAutoDelete = FALSE;
        view = new CVrViewerView;
        ASSERT_TRUE(view->Create(nullptr, "page view", WS_VISIBLE, RECT{0, 0, width, height}, nullptr, 1));
        view->GetWidget()->resize(width, height);
        view->GetWidget()->show();
        doc->AddView(view);
    }
    void CloseView() {
        if (view) view->DestroyWindow();  // deletes the view
        view = nullptr;
        delete doc;
        doc = nullptr;
        AfxSetMessageBoxAnswerer(nullptr);
        AfxSetDialogAnswerer(nullptr);
    }

    // Opens the file and waits until its first page is drawn and shown.
    void Open(const std::string& file) {
        ASSERT_TRUE(doc->OnOpenDocument(file.c_str()));
        ASSERT_TRUE(PumpUntil([&] { return doc->WaitWorker(0); }));
        PumpPending();
        ASSERT_TRUE(PumpUntil([&] { return view->IsInitialViewEstablished() != 0; }));
        WaitDrawn();
    }

    void WaitDrawn() {
        ASSERT_TRUE(PumpUntil([&] {
            const int* f = view->GetPagePartFlags();
            return std::all_of(f, f + 6, [](int v) { return v == 1; }) && !view->HasTimer(ID_PAGE_PARTS_TIMER);
        }));
        PumpPending();
        view->Invalidate(FALSE);
        view->UpdateWindow();
    }

    ViewStatus Status() {
        ViewStatus vs;
        view->GetViewStatus(vs);
        return vs;
    }
    // A pixel of the view's back buffer, 0xRRGGBB.
    uint32_t Window(int x, int y) { return view->GetSurface().Row(y)[x] & 0xFFFFFF; }

    // The view with its child windows as a PNG in $VELORAN_SHOT_DIR, when
    // that is set.
    void Shot(const std::string& name) {
        const char* dir = std::getenv("VELORAN_SHOT_DIR");
        if (!dir || !view->GetWidget()) return;
        view->GetWidget()->grab().save(QString::fromStdString(std::string(dir) + "/" + name + ".png"));
    }

    // Runs TeX on text in the suite's folder; the DVI file's path.
    static std::string Tex(const std::string& text, const std::string& name) {
        testsupport::RunTex(*dir_, text, name);
        return dir_->File(name + ".dvi");
    }

    static inline testsupport::TestEnvironment* dir_ = nullptr;
    static inline CVrViewerApp* app_ = nullptr;
    CVrViewerDoc* doc = nullptr;
    CVrViewerView* view = nullptr;
    std::vector<std::string> messages;
    int answer = IDOK;
};
