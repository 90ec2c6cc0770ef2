// A local TeX document opened with parameters after its name: the view shows
// the page and zoom the address asks for.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "platform/kpathsea/KPathSea.h"
#include "platform/sys/Registry.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/UiDispatcher.h"
#include "viewer/app/VrViewerApp.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/VrViewerView.h"
#include "testsupport/TestEnvironment.h"
#include "testsupport/QtTestTools.h"
#include "testsupport/TestTools.h"

namespace fs = std::filesystem;

namespace {

TEST(AddressParametersViewTest, LocalDocumentOpensAtTheAddressedPageAndZoom) {
    const testsupport::TestEnvironment env;
    const fs::path& dir = env.Path();
    ASSERT_NO_FATAL_FAILURE(testsupport::RunTex(dir, "\\newcount\\n \\n=0\n"
                                                     "\\loop \\advance\\n by 1 \\centerline{Page \\the\\n}\n"
                                                     "\\ifnum\\n<5 \\vfill\\eject \\repeat\n\\bye\n"));

    static int argc = 1;
    static char arg0[] = "address_parameters_view_test";
    static char* argv[] = {arg0, nullptr};
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication qapp(argc, argv);
    UiDispatcher::Init();
    AfxSetMessageBoxAnswerer([](const MessageBoxRequest&) { return IDOK; });
    auto* app = new CVrViewerApp;
    app->m_kpathsea.LoadKPathSeaDLLInit(kKPathSeaLibraryName, nullptr);
    ASSERT_TRUE(app->m_kpathsea.IsKPathSeaDLLLoaded());

    const std::string file = (dir / "doc.dvi").string();
    const struct {
        std::string address;
        int page, mag;
    } cases[] = {
        {file + "?page=3", 2, 10000},
        {file + "?mag=150&page=4#nowhere", 3, 15000},
        // No zoom in the address: the one the view before saved.
        {"file://" + file + "?page=2", 1, 15000},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.address);
        auto* doc = new CVrViewerDoc;
        doc->m_bAutoDelete = FALSE;
        auto* view = new CVrViewerView;
        ASSERT_TRUE(view->Create(nullptr, "page view", WS_VISIBLE, RECT{0, 0, 900, 700}, nullptr, 1));
        view->GetWidget()->resize(900, 700);
        view->GetWidget()->show();
        doc->AddView(view);

        ASSERT_TRUE(doc->OnOpenDocument(c.address.c_str()));
        EXPECT_EQ(std::string(doc->GetAddress().c_str()), c.address.substr(0, c.address.find('?')));
        ASSERT_TRUE(PumpUntil([&] { return doc->WaitWorker(0); }));
        ASSERT_TRUE(PumpUntil([&] { return view->IsInitialViewEstablished() != 0; }));
        EXPECT_EQ(view->GetPageCount(), 5);
        ViewStatus vs;
        view->GetViewStatus(vs);
        EXPECT_EQ(vs.page, c.page);
        EXPECT_EQ(vs.DispMag, c.mag);

        view->DestroyWindow();
        delete doc;
    }
    AfxSetMessageBoxAnswerer(nullptr);
    delete app;
}

}  // namespace
