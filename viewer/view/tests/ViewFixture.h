// Page views on the offscreen platform for the tests of the view and the
// windows around it: a test environment and the application that documents
// use, made once per test program (SetUpDocuments, with a TeX document if
// asked); one view on a document of its own (MakeView, Open, WaitDrawn) and,
// for the tests that show several documents at once, more views each with
// its document (OpenShown, Show). Message boxes are answered with `answer`
// and their texts kept in `messages`; every view goes in TearDown.
#pragma once

#include <gtest/gtest.h>

#include <QPixmap>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/MessageBox.h"
#include "platform/ui/UiDispatcher.h"
#include "testsupport/QtTestTools.h"
#include "testsupport/TestEnvironment.h"
#include "testsupport/TestTools.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/VrViewerView.h"
#include "viewer/view/tests/ViewTestSupport.h"

// A document shown in a view of its own, beside the fixture's view.
struct Shown {
    std::unique_ptr<CVrViewerDoc> doc;
    CVrViewerView* view = nullptr;
};

class ViewFixture : public ::testing::Test {
protected:
    // The environment and the application; texSource (may be null) becomes
    // doc.dvi in Dir(). The default for suites that need nothing else.
    static void SetUpTestSuite() { SetUpDocuments(nullptr); }
    static void TearDownTestSuite() { TearDownDocuments(); }
    static void SetUpDocuments(const char* texSource) {
        dir_ = new testsupport::TestEnvironment;
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
        dir_ = nullptr;
    }
    static const std::filesystem::path& Dir() { return dir_->Path(); }

    ViewFixture() { AnswerMessageBoxes(); }
    void AnswerMessageBoxes() {
        AfxSetMessageBoxAnswerer([this](const MessageBoxRequest& r) {
            messages.push_back(r.text);
            return answer;
        });
    }
    void TearDown() override {
        CloseDocument();
        for (Shown& s : shown) {
            s.view->DestroyWindow();
            s.doc.reset();
        }
        shown.clear();
        AfxSetMessageBoxAnswerer(nullptr);
        AfxSetDialogAnswerer(nullptr);
    }

    // The fixture's view (made by make, so a test may script a derived one)
    // on a new document.
    template <class View = CVrViewerView>
    View* MakeView(int width = 1000, int height = 700) {
        AnswerMessageBoxes();
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
    // The view and its document go (also in a test's middle: what they had
    // queued finds them gone).
    void CloseDocument() {
        if (view) view->DestroyWindow();  // deletes the view
        view = nullptr;
        delete doc;
        doc = nullptr;
    }

    // The document opens a file; its worker reads it and what it posted on
    // the way (the page sizes of the whole file among it) reaches the view;
    // the first page is drawn.
    void Open(const std::filesystem::path& file) {
        ASSERT_TRUE(doc->OnOpenDocument(file.c_str()));
        ASSERT_TRUE(PumpUntil([&] { return doc->WaitWorker(0); }));
        ASSERT_TRUE(PumpUntilQueuedRan());
        ASSERT_TRUE(PumpUntil([&] { return view->IsInitialViewEstablished() != 0; }));
        WaitDrawn();
    }
    // Until every part of the page (and the glass page) is drawn and painted.
    void WaitDrawn() {
        ASSERT_TRUE(PumpUntil([&] { return PageDrawn(*view); }));
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

    // Another view of width x height whose document opens the address (a
    // local file or not); not waited for.
    Shown& OpenShown(const std::string& address, bool local, int width = 1000, int height = 700) {
        AnswerMessageBoxes();
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
    // OpenShown, then wait until the document is read and its page drawn.
    Shown& Show(const std::string& address, bool local = true) {
        Shown& s = OpenShown(address, local);
        EXPECT_TRUE(Drawn(s));
        return s;
    }
    static bool Drawn(Shown& s) {
        return PumpUntil([&] { return s.doc->WaitWorker(0) && s.view->IsInitialViewEstablished() && PageDrawn(*s.view); }) &&
               (s.view->UpdateWindow(), true);
    }
    static int Page(const Shown& s) {
        ViewStatus vs;
        s.view->GetViewStatus(vs);
        return vs.page;
    }

    // Every part of the page drawn and no drawing of parts pending.
    static bool PageDrawn(CVrViewerView& v) {
        const int* f = v.GetPagePartFlags();
        return std::all_of(f, f + 6, [](int p) { return p == 1; }) && !v.HasTimer(ID_PAGE_PARTS_TIMER);
    }

    static inline testsupport::TestEnvironment* dir_ = nullptr;
    static inline CVrViewerApp* app_ = nullptr;
    CVrViewerDoc* doc = nullptr;
    CVrViewerView* view = nullptr;
    std::deque<Shown> shown;
    std::vector<std::string> messages;
    int answer = IDOK;
};
