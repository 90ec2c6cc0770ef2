// Documents whose arrival goes wrong, shown in a page view on the offscreen
// platform: a web DVI whose transfer breaks off shows the pages that came, a
// TIFF page too large to decode or a TIFF that ends early says so, and a
// download that meets a full disk ends with a message and leaves no temporary
// file.
#include <gtest/gtest.h>

#include <QApplication>

#include <sys/mount.h>
#include <sys/resource.h>
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

// Little-endian TIFF writing: a header, then one directory of LONG/SHORT
// entries with single values at offset 8.
struct TiffBytes {
    std::string t{"II*\0\x08\0\0\0", 8};
    void U16(uint32_t v) { t += char(v & 0xFF), t += char(v >> 8 & 0xFF); }
    void U32(uint32_t v) { U16(v & 0xFFFF), U16(v >> 16); }
    struct Entry {
        uint16_t tag, type;
        uint32_t count, value;
    };
    void Directory(const std::vector<Entry>& entries) {
        U16(uint32_t(entries.size()));
        for (const Entry& e : entries) U16(e.tag), U16(e.type), U32(e.count), U32(e.value);
        U32(0);
    }
    static uint32_t DataAt(size_t entries) { return uint32_t(8 + 2 + 12 * entries + 4); }
};

// One bilevel page whose header claims the size.
std::string ClaimingTiff(uint32_t width, uint32_t height) {
    TiffBytes b;
    b.Directory({{256, 4, 1, width}, {257, 4, 1, height}, {258, 3, 1, 1}, {259, 3, 1, 1}, {262, 3, 1, 0},
                 {273, 4, 1, TiffBytes::DataAt(8)}, {278, 4, 1, height}, {279, 4, 1, 16}});
    b.t.append(16, '\0');
    return b.t;
}

// A bilevel page of 32767 x 32767 pixels in 512 x 512 tiles that all share
// one PackBits-compressed white tile: about 33 KB.
std::string TiledTiff() {
    constexpr uint32_t side = 32767, tile = 512, tiles = ((side + tile - 1) / tile) * ((side + tile - 1) / tile);
    constexpr uint32_t tileBytes = tile * tile / 8 / 128 * 2;  // runs of 128 zero bytes
    const uint32_t offsets = TiffBytes::DataAt(9), counts = offsets + 4 * tiles, data = counts + 4 * tiles;
    TiffBytes b;
    b.Directory({{256, 4, 1, side}, {257, 4, 1, side}, {258, 3, 1, 1}, {259, 3, 1, 32773}, {262, 3, 1, 0},
                 {322, 4, 1, tile}, {323, 4, 1, tile}, {324, 4, tiles, offsets}, {325, 4, tiles, counts}});
    for (uint32_t i = 0; i < tiles; ++i) b.U32(data);
    for (uint32_t i = 0; i < tiles; ++i) b.U32(tileBytes);
    for (uint32_t i = 0; i < tileBytes / 2; ++i) b.t += "\x81", b.t += '\0';
    return b.t;
}

long PeakKilobytes() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

TEST_F(ArrivalFailures, ATiffTooLargeOrEndingEarlyEndsWithAMessageWithinAMemoryBound) {
    const struct {
        const char* file;
        std::string bytes;
        const char* status;  // in the view's status once the run has ended
        const char* error;   // in the document's error text
        int pages;
    } cases[] = {
        {"huge.tif", ClaimingTiff(100000, 100000), "too large", "100000 x 100000", 1},
        {"tiled.tif", TiledTiff(), "too large", "32767 x 32767", 1},
        {"short.tif", std::string("II*\0\x08\0\0\0", 8), "Data Error", "Data Error", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        std::ofstream(dir_->File(c.file), std::ios::binary) << c.bytes;
        const long before = PeakKilobytes();
        Shown& s = Show(dir_->File(c.file), true);
        ASSERT_TRUE(PumpUntil([&] { return s.view->GetStatusText().str().find(c.status) != std::string::npos; },
                              20000))
            << s.view->GetStatusText().str();
        EXPECT_EQ(s.view->GetStatusText().str().find("Retrieving"), std::string::npos);
        EXPECT_NE(s.doc->GetErrorText().str().find(c.error), std::string::npos) << s.doc->GetErrorText().str();
        // The message is what the page area shows.
        s.view->Invalidate(FALSE);
        s.view->UpdateWindow();
        EXPECT_EQ(s.view->GetPageCount(), c.pages);
        EXPECT_LT(PeakKilobytes() - before, 300 * 1024L) << "the page was decoded past the budget";
    }
}

}  // namespace
