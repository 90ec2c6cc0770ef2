// A local TeX document opened with parameters after its name: the view shows
// the page and zoom the address asks for.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/VrViewerView.h"
#include "viewer/view/tests/ViewFixture.h"

namespace fs = std::filesystem;

namespace {

class AddressParametersView : public ViewFixture {
protected:
    static void SetUpTestSuite() {
        SetUpDocuments("\\newcount\\n \\n=0\n"
                       "\\loop \\advance\\n by 1 \\centerline{Page \\the\\n}\n"
                       "\\ifnum\\n<5 \\vfill\\eject \\repeat\n\\bye\n");
    }
};

TEST_F(AddressParametersView, LocalDocumentOpensAtTheAddressedPageAndZoom) {
    const std::string file = (Dir() / "doc.dvi").string();
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
        MakeView(900, 700);
        ASSERT_TRUE(doc->OnOpenDocument(c.address.c_str()));
        EXPECT_EQ(std::string(doc->GetAddress().c_str()), c.address.substr(0, c.address.find('?')));
        ASSERT_TRUE(PumpUntil([&] { return doc->WaitWorker(0) && view->IsInitialViewEstablished() != 0; }));
        EXPECT_EQ(view->GetPageCount(), 5);
        const ViewStatus vs = Status();
        EXPECT_EQ(vs.page, c.page);
        EXPECT_EQ(vs.DispMag, c.mag);
        CloseDocument();
    }
}

}  // namespace
