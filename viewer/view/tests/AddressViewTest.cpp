// What an address asks of the page view, on TeX documents on the offscreen
// platform: the page, the workspace colour and the anchor of its parameters,
// the highlight words painted over the page, and links handed over to the
// view that already shows their document.
#include <gtest/gtest.h>

#include <QApplication>

#include <filesystem>
#include <fstream>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/inet/tests/LoopbackServer.h"
#include "platform/sys/Registry.h"
#include "platform/ui/MessageBox.h"
#include "testsupport/TestEnvironment.h"
#include "testsupport/QtTestTools.h"
#include "testsupport/TestTools.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/ViewHyperlink.h"
#include "viewer/view/VrViewerView.h"
#include "viewer/view/tests/ViewFixture.h"
#include "viewer/view/tests/ViewTestSupport.h"

namespace fs = std::filesystem;
using testsupport::TempDir;

namespace {

// Four pages; the anchor sec2 is on the third.
const char kDocument[] =
    "\\font\\big=cmr10 at 20pt \\big\n"
    "The quick brown fox jumps over the lazy dog.\\par\\vfill\\eject\n"
    "Second page.\\par\\vfill\\eject\n"
    "\\special{html:<a name=\"sec2\">}Section two starts here.\\par\\vfill\\eject\n"
    "Last page.\\par\\bye\n";

class AddressView : public ViewFixture {
protected:
    static void SetUpTestSuite() {
        ASSERT_NO_FATAL_FAILURE(SetUpDocuments(kDocument));
        testsupport::RunTex(*dir_, "Another paper.\\bye\n", "other");
    }
    static uint32_t Pixel(const Shown& s, int x, int y) {
        const WindowSurface& w = s.view->GetSurface();
        return w.pixels[size_t(y) * w.width + x] & 0xFFFFFF;
    }
    static int Count(const Shown& s, uint32_t rgb) {
        const WindowSurface& w = s.view->GetSurface();
        int n = 0;
        for (int y = 0; y < w.height; ++y)
            for (int x = 0; x < w.width; ++x) n += (w.pixels[size_t(y) * w.width + x] & 0xFFFFFF) == rgb;
        return n;
    }
    static std::string Doc(const char* name) { return dir_->File(name); }
};

TEST_F(AddressView, ParametersChooseThePageTheAnchorAndTheWorkspaceColour) {
    // zoom is no parameter of an address: it is skipped.
    Shown& s = Show(Doc("doc.dvi") + "?page=3&zoom=150&workspacecolor=ff0000#sec2");
    EXPECT_EQ(std::string(s.doc->GetAddress().c_str()), Doc("doc.dvi"));
    EXPECT_EQ(Page(s), 2);
    ViewStatus vs;
    s.view->GetViewStatus(vs);
    EXPECT_EQ(vs.DispMag, 10000);
    EXPECT_EQ(vs.workspaceColor, COLORREF(0x0000FF));
    // Right of the page the workspace shows red.
    RECT area;
    s.view->GetPageAreaRect(&area);
    ASSERT_LT(vs.pageWidth - vs.scrollX, area.right - 4);
    EXPECT_EQ(Pixel(s, area.right - 3, vs.topOffset + 40), 0xFF0000u);
    EXPECT_TRUE(messages.empty());
}

TEST_F(AddressView, HighlightWordsArePaintedInTheirSlotsColours) {
    Shown& s = Show(Doc("doc.dvi") + "?hltext=quick&hlcolor=00ff00&hltexti2=LAZY&hlcolori2=0000ff&hltext3=absent");
    EXPECT_EQ(Page(s), 0);
    const auto& rects = s.view->GetHighlightRects();
    ASSERT_EQ(rects.size(), 3u);
    EXPECT_EQ(rects[0].size(), 1u) << "quick";
    EXPECT_EQ(rects[1].size(), 1u) << "lazy, found in any case";
    EXPECT_TRUE(rects[2].empty());
    // The words' ink takes the colours; nothing else does.
    const int green = Count(s, 0x00FF00), blue = Count(s, 0x0000FF);
    EXPECT_GT(green, 30);
    EXPECT_GT(blue, 30);
    ViewStatus vs;
    s.view->GetViewStatus(vs);
    for (const auto& [slot, colour] : {std::pair{0, 0x00FF00u}, std::pair{1, 0x0000FFu}}) {
        const RECT r = rects[size_t(slot)][0];
        int inside = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) inside += Pixel(s, x - vs.scrollX, y + vs.topOffset - vs.scrollY) == colour;
        EXPECT_EQ(inside, slot == 0 ? green : blue) << slot;
    }
    // Without highlight words nothing is coloured.
    Shown& plain = Show(Doc("doc.dvi"));
    EXPECT_EQ(Count(plain, 0x00FF00), 0);
}

TEST_F(AddressView, LinksGoToTheFirstViewThatShowsTheirDocument) {
    std::string dvi;
    {
        const std::vector<unsigned char> b = testsupport::ReadFile(Doc("doc.dvi"));
        dvi.assign(b.begin(), b.end());
    }
    LoopbackServer server([&](const LoopbackServer::Request&, LoopbackServer::Reply& reply) { reply.Respond(200, dvi); });
    Shown& other = Show(Doc("other.dvi"));
    Shown& first = Show(Doc("doc.dvi"));
    Shown& second = Show(Doc("doc.dvi"));
    Shown& web = Show(server.Url("/Papers/Doc.dvi"), false);

    struct Case {
        std::string url;
        int handled;
        Shown* mover;  // the view that goes to the link's page
        int page;
    } cases[] = {
        {Doc("doc.dvi") + "#sec2", 1, &first, 2},
        {Doc("doc.dvi") + "?page=2", 1, &first, 1},
        // File names are exact.
        {Doc("DOC.DVI") + "#sec2", 0, nullptr, 0},
        {Doc("nothing.dvi") + "#sec2", 0, nullptr, 0},
        // Web addresses compare in any case.
        {server.Url("/papers/doc.DVI") + "#sec2", 1, &web, 2},
        {server.Url("/papers/doc.dvi") + "?page=4", 1, &web, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        const int before[] = {Page(other), Page(first), Page(second), Page(web)};
        HyperlinkRequest request;
        request.targetText = "a link";
        request.url = c.url.c_str();
        EXPECT_EQ(ShowHyperlinkEnumProc(request), c.handled);
        EXPECT_EQ(request.handled, c.handled);
        if (c.mover) {
            ASSERT_TRUE(Drawn(*c.mover));
        }
        Shown* views[] = {&other, &first, &second, &web};
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(Page(*views[i]), views[i] == c.mover ? c.page : before[i]) << i;
    }
    // The file's recorded time stays: a change on disk since the load is
    // still noticed after a link was taken.
    fs::last_write_time(Doc("doc.dvi"), fs::last_write_time(Doc("doc.dvi")) + std::chrono::seconds(7));
    EXPECT_EQ(first.doc->CheckReloadFile(), 1);
    EXPECT_EQ(first.view->IsInitialViewEstablished(), 0) << "the file is read again";
    EXPECT_TRUE(Drawn(first));
    EXPECT_TRUE(messages.empty()) << messages.front();
}

}  // namespace
