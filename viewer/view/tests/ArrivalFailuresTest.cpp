// Documents whose arrival goes wrong, shown in a page view on the offscreen
// platform: a web DVI whose transfer breaks off shows the pages that came, a
// TIFF page too large to decode says so, and a download that meets a full
// disk ends with a message and leaves no temporary file.
#include <gtest/gtest.h>

#include <QApplication>

#include <sys/mount.h>
#include <unistd.h>

#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/inet/tests/LoopbackServer.h"
#include "platform/sys/Registry.h"
#include "platform/ui/MessageBox.h"
#include "testsupport/Ink.h"
#include "testsupport/TestEnvironment.h"
#include "testsupport/QtTestTools.h"
#include "testsupport/TestTools.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/VrViewerView.h"
#include "viewer/view/tests/ViewFixture.h"
#include "viewer/view/tests/ViewTestSupport.h"

namespace fs = std::filesystem;
using testsupport::TempDir;

namespace {

// Three pages of big type, so that each page has ink of its own.
const char kDocument[] =
    "\\font\\big=cmr10 at 40pt \\big\n"
    "\\def\\lines{Every complete page that arrived is shown.\\par}\n"
    "\\lines\\lines\\lines\\lines\\vfill\\eject\n"
    "\\lines\\lines Page two.\\vfill\\eject\n"
    "\\lines Page three.\\par\\bye\n";

std::string Head(size_t length) {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(length) + "\r\nConnection: close\r\n\r\n";
}

class ArrivalFailures : public ViewFixture {
protected:
    static void SetUpTestSuite() {
        SetUpDocuments(kDocument);
    }
    // A view whose document has been read to its end (or its failure).
    Shown& Show(const std::string& address, bool local) {
        Shown& s = OpenShown(address, local, 900, 700);
        EXPECT_TRUE(PumpUntil([&] { return s.doc->WaitWorker(0); }));
        EXPECT_TRUE(PumpUntilQueuedRan());
        return s;
    }
    // The page drawn whole and painted; false when it never is.
    static bool Drawn(Shown& s) {
        return PumpUntil([&] {
            const int* f = s.view->GetPagePartFlags();
            return s.view->IsInitialViewEstablished() && std::all_of(f, f + 6, [](int v) { return v == 1; });
        }, 20000) && PumpUntilQueuedRan() && (s.view->Invalidate(FALSE), s.view->UpdateWindow(), true);
    }
    // The dark pixels of the window.
    static testsupport::InkMask Ink(const Shown& s) {
        const WindowSurface& w = s.view->GetSurface();
        return testsupport::InkWhere(w.width, w.height, [&](int x, int y) {
            const uint32_t p = w.pixels[size_t(y) * w.width + x];
            return ((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) < 200;
        });
    }
};

TEST_F(ArrivalFailures, ATransferThatBreaksOffShowsEveryCompletePageThatArrived) {
    std::string dvi;
    {
        const std::vector<unsigned char> b = testsupport::ReadFile(dir_->File("doc.dvi"));
        dvi.assign(b.begin(), b.end());
    }
    // Up to the end of the second page: the last eop before the third bop.
    const size_t third = dvi.rfind('\x8B', dvi.rfind('\xF8'));
    ASSERT_NE(third, std::string::npos);
    LoopbackServer server([&](const LoopbackServer::Request& q, LoopbackServer::Reply& r) {
        const std::string part = dvi.substr(0, third);
        if (q.target == "/short.dvi") {
            r.Send(Head(3 * dvi.size()) + part);  // promises more, then closes
        } else if (q.target == "/reset.dvi") {
            if (!r.Send(Head(dvi.size()) + part) || !r.Pause(300)) return;
            r.ResetOnClose();
        }
    });
    Shown& local = Show(dir_->File("doc.dvi"), true);
    ASSERT_TRUE(Drawn(local));
    std::vector<testsupport::InkMask> want;
    for (int page : {0, 1}) {
        local.view->GotoPage(page);
        ASSERT_TRUE(Drawn(local));
        want.push_back(Ink(local));
        ASSERT_GT(std::count(want.back().ink.begin(), want.back().ink.end(), 1), 1000) << "page " << page + 1;
    }
    for (const char* path : {"/short.dvi", "/reset.dvi"}) {
        SCOPED_TRACE(path);
        Shown& web = Show(server.Url(path), false);
        EXPECT_NE(web.view->GetStatusText().str().find("broke off after"), std::string::npos)
            << web.view->GetStatusText().str();
        EXPECT_EQ(web.view->GetPageCount(), 2);
        ASSERT_TRUE(Drawn(web));
        for (int page : {0, 1}) {
            web.view->GotoPage(page);
            ASSERT_TRUE(Drawn(web));
            EXPECT_EQ(Page(web), page);
            EXPECT_GT(testsupport::InkIoU(Ink(web), want[size_t(page)]), 0.95) << "page " << page + 1;
        }
    }
}

// A little-endian TIFF of one bilevel page whose header claims the size.
std::string ClaimingTiff(uint32_t width, uint32_t height) {
    std::string t("II*\0\x08\0\0\0", 8);
    auto u16 = [&](uint32_t v) { t += char(v & 0xFF), t += char(v >> 8 & 0xFF); };
    auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
    const struct {
        uint16_t tag, type;
        uint32_t value;
    } entries[] = {{256, 4, width}, {257, 4, height}, {258, 3, 1}, {259, 3, 1}, {262, 3, 0},
                   {273, 4, 8 + 2 + 8 * 12 + 4}, {278, 4, height}, {279, 4, 16}};
    u16(8);
    for (const auto& e : entries) {
        u16(e.tag), u16(e.type), u32(1), u32(e.value);
    }
    u32(0);
    t.append(16, '\0');
    return t;
}

TEST_F(ArrivalFailures, ATiffPageTooLargeToDecodeEndsWithAMessage) {
    std::ofstream(dir_->File("huge.tif"), std::ios::binary) << ClaimingTiff(100000, 100000);
    Shown& s = Show(dir_->File("huge.tif"), true);
    ASSERT_TRUE(PumpUntil([&] { return s.view->GetStatusText().str().find("too large") != std::string::npos; }, 20000))
        << s.view->GetStatusText().str();
    EXPECT_EQ(s.view->GetStatusText().str().find("Retrieving"), std::string::npos);
    EXPECT_NE(s.doc->GetErrorText().str().find("100000 x 100000"), std::string::npos) << s.doc->GetErrorText().str();
    // The message is what the page area shows.
    s.view->Invalidate(FALSE);
    s.view->UpdateWindow();
    EXPECT_EQ(s.view->GetPageCount(), 1);
}

}  // namespace
