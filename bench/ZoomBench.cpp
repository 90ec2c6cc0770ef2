// Zooming the page view from 100 % to 200 % and back on the mathematics
// document, on the offscreen platform: each iteration is the zoom's status
// change until every part of the page is drawn and painted (the page area's
// work; the screen's own copy is the page-turn benchmark's). Rows for the
// way in and the way out; the counters hold the medians in milliseconds.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/sys/Registry.h"
#include "platform/ui/MessageBox.h"
#include "testsupport/QtTestTools.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/VrViewerView.h"
#include "viewer/view/tests/ViewTestSupport.h"

namespace fs = std::filesystem;

namespace {

const std::string kDocument = VELORAN_BINARY_DIR "/fixtures/math8.dvi";

struct OpenView {
    fs::path config;
    CVrViewerApp* app = nullptr;
    CVrViewerDoc* doc = nullptr;
    CVrViewerView* view = nullptr;

    bool Open() {
        config = fs::temp_directory_path() / ("vrzoom-" + std::to_string(getpid()));
        fs::create_directories(config);
        setenv("VELORAN_CONFIG_HOME", config.c_str(), 1);
        sys::Registry::SetDefault(sys::Registry::OpenDirectory(config.string()));
        TestApp();
        AfxSetMessageBoxAnswerer([](const MessageBoxRequest&) { return IDOK; });
        app = NewTestApplication();
        doc = new CVrViewerDoc;
        doc->m_bAutoDelete = FALSE;
        view = new CVrViewerView;
        view->Create(nullptr, "page view", WS_VISIBLE, RECT{0, 0, 1000, 900}, nullptr, 1);
        view->GetWidget()->show();
        doc->AddView(view);
        return doc->OnOpenDocument(kDocument.c_str()) && PumpUntil([&] { return doc->WaitWorker(0); }) &&
               PumpUntil([&] { return view->IsInitialViewEstablished() != 0; }) && Drawn();
    }
    // Until every part of the page is drawn and the window painted.
    bool Drawn() {
        const bool done = PumpUntil([&] {
            const int* f = view->GetPagePartFlags();
            return std::all_of(f, f + 3, [](int v) { return v == 1; }) && !view->HasTimer(ID_PAGE_PARTS_TIMER);
        });
        view->UpdateWindow();
        return done;
    }
    void Zoom(int dispMag) {
        ViewStatus vs;
        view->GetViewStatus(vs);
        vs.DispMagSpec = 0;
        vs.DispMag = dispMag;
        view->SetStatus(vs);
    }
    ~OpenView() {
        if (view) view->DestroyWindow();
        delete doc;
        delete app;
        AfxSetMessageBoxAnswerer(nullptr);
        fs::remove_all(config);
    }
};

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void ZoomMathematics(benchmark::State& state) {
    OpenView v;
    if (!v.Open()) return state.SkipWithError("the mathematics document did not open");
    std::vector<double> in, out;
    for (auto _ : state) {
        for (auto [mag, times] : {std::pair{20000, &in}, std::pair{10000, &out}}) {
            const auto start = std::chrono::steady_clock::now();
            v.Zoom(mag);
            if (!v.Drawn()) return state.SkipWithError("the page was not drawn");
            const double ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            times->push_back(ms);
        }
        state.SetIterationTime((in.back() + out.back()) / 1000.0);
    }
    state.counters["to200_ms"] = Median(in);
    state.counters["to100_ms"] = Median(out);
}

}  // namespace

BENCHMARK(ZoomMathematics)->UseManualTime()->Iterations(30)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
