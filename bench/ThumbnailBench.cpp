// Scrolling the Thumbnails tab through the 2000-page document: the tab is
// paged down from the first thumbnail to the last, each position waiting
// until its visible thumbnails are drawn, on the offscreen platform. Reports
// the time per thumbnail and the growth of the process's peak memory over
// the run, which must stay within 64 MB (the thumbnails kept are bounded).
// In a sanitizer build, run it with ASAN_OPTIONS=quarantine_size_mb=1, or
// AddressSanitizer's quarantine of freed memory counts as growth.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/sys/Registry.h"
#include "platform/ui/MessageBox.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/ThumbnailView.h"
#include "viewer/view/ViewGeometry.h"
#include "viewer/view/VrViewerView.h"
#include "testsupport/QtTestTools.h"
#include "viewer/view/tests/ViewTestSupport.h"

namespace fs = std::filesystem;

namespace {

const std::string kDocument = VELORAN_BINARY_DIR "/fixtures/scan2000.dvi";
constexpr double kLimitMb = 64;

double PeakMb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024.0;
}

void ScrollThumbnails(benchmark::State& state) {
    const fs::path config = fs::temp_directory_path() / ("vrbench-" + std::to_string(getpid()));
    fs::create_directories(config);
    setenv("VELORAN_CONFIG_HOME", config.c_str(), 1);
    sys::Registry::SetDefault(sys::Registry::OpenDirectory(config.string()));
    TestApp();
    AfxSetMessageBoxAnswerer([](const MessageBoxRequest&) { return IDOK; });
    CVrViewerApp* app = NewTestApplication();

    auto* doc = new CVrViewerDoc;
    doc->m_bAutoDelete = FALSE;
    auto* view = new CVrViewerView;
    view->Create(nullptr, "page view", WS_VISIBLE, RECT{0, 0, 900, 700}, nullptr, 1);
    view->GetWidget()->show();
    doc->AddView(view);
    if (!doc->OnOpenDocument(kDocument.c_str()) || !PumpUntil([&] { return doc->WaitWorker(0); }, 300000) ||
        !PumpUntil([&] { return view->IsInitialViewEstablished() != 0; }) || view->GetPageCount() != 2000) {
        state.SkipWithError("the 2000-page document did not open");
        return;
    }
    auto* thumbs = new CThumbnailView;
    thumbs->Create(nullptr, "thumbnails", WS_VISIBLE, RECT{0, 0, 200, 700}, nullptr, 2);
    thumbs->GetWidget()->show();
    PumpUntilQueuedRan();
    view->BuildPageSizeTable();
    thumbs->SetVrView(view);

    const double before = PeakMb();
    long drawn = 0;
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        thumbs->OnVScroll(viewgeo::kTop, 0);
        for (;;) {
            thumbs->UpdateWindow();
            PumpUntil([&] { return !thumbs->HasTimer(CThumbnailView::ID_THUMBNAIL_DRAW_TIMER); });
            const int offset = thumbs->GetOffset();
            thumbs->OnVScroll(viewgeo::kPageDown, 0);
            if (thumbs->GetOffset() == offset) break;
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        drawn += 2000;
    }
    const double growth = PeakMb() - before;
    state.counters["peak_growth_MB"] = growth;
    state.counters["kept_MB"] = double(thumbs->GetCachedBytes()) / (1 << 20);
    state.counters["ms_per_thumbnail"] = drawn ? seconds * 1000 / double(drawn) : 0;
    std::printf("peak memory growth %.1f MB (limit %.0f MB), %.2f ms per thumbnail\n", growth, kLimitMb,
                drawn ? seconds * 1000 / double(drawn) : 0.0);
    if (growth > kLimitMb) state.SkipWithError("peak memory grew by more than 64 MB");

    thumbs->DestroyWindow();
    view->DestroyWindow();
    delete doc;
    delete app;
    AfxSetMessageBoxAnswerer(nullptr);
    fs::remove_all(config);
}

}  // namespace

BENCHMARK(ScrollThumbnails)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_MAIN();
