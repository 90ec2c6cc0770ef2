// Pages per second of the page drawer against dvipng: every page of a
// 100-page TeX document (text, mathematics, AMS symbols, rules) at 96 and at
// 300 dpi. The drawer draws each page into a letter-sized memory DC (open,
// draw, close: fonts are made at every open) after one untimed pass over all
// pages, so the font files are read and cached; dvipng renders the same pages at
// the same resolution into PNG files, in one process per run of 100 pages.
// The closing lines give the time per page of each and their ratio.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "dvilib/VrDvi.h"
#include "dvilib/VrDviDrawer.h"
#include "dvilib/VrDviFont.h"
#include "dvilib/VrDviTTFMap.h"
#include "platform/gdi/DC.h"
#include "platform/kpathsea/KPathSea.h"

namespace fs = std::filesystem;

namespace {

const std::string kDocument = VELORAN_BINARY_DIR "/fixtures/drawer100.dvi";
constexpr int kPages = 100;

// Seconds per page of each renderer at each resolution, from the last run.
std::map<std::pair<std::string, int>, double> perPage;

class Document {
public:
    Document() {
        kpse.LoadKPathSeaDLLInit(kKPathSeaLibraryName, nullptr);
        for (const auto& e : fs::directory_iterator(VELORAN_BINARY_DIR "/share/veloran/ttfcfg"))
            if (e.path().extension() == ".map") map.AppendTTFMapFile(e.path().c_str());
        dvi.SetKPathSea(&kpse);
        dvi.SetDviTTFMap(&map);
        DList<String8> none;
        dvi.Open(kDocument.c_str(), none, none);
        dvi.NewPageWritten(0);
    }
    KPathSea kpse;
    VrDviTTFMap map;
    VrDvi dvi;
};

Document& Doc() {
    static Document d;
    return d;
}

void Drawer(benchmark::State& state) {
    const int dpi = int(state.range(0));
    VrDvi& dvi = Doc().dvi;
    if (dvi.GetNPage() != kPages) {
        state.SkipWithError("the document did not load");
        return;
    }
    auto dc = CreateMemoryDC(dpi * 17 / 2, dpi * 11, 32, dpi);
    VrDviDrawer drawer;
    const auto drawAll = [&] {
        for (int page = 0; page < kPages; ++page) {
            drawer.Open(*dc, dvi, page, fpreal4(10000), dpi, dpi, 0, String8());
            drawer.Draw(-1);
            drawer.Close();
        }
    };
    // One pass untimed: the fonts of this resolution load and their files are cached.
    drawAll();
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        drawAll();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    perPage[{"drawer", dpi}] = seconds / double(state.iterations()) / kPages;
    state.SetItemsProcessed(int64_t(state.iterations()) * kPages);
}

void DviPng(benchmark::State& state) {
    const int dpi = int(state.range(0));
    const fs::path out = fs::temp_directory_path() / ("drawerbench-" + std::to_string(getpid()));
    fs::create_directories(out);
    const std::string cmd = "dvipng -q -D " + std::to_string(dpi) + " -T 8.5in,11in -O 1in,1in -bg 'rgb 1 1 1' -o '" +
                            (out / "p%d.png").string() + "' '" + kDocument + "' > /dev/null 2>&1";
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (std::system(cmd.c_str()) != 0) {
            state.SkipWithError("dvipng failed");
            break;
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    fs::remove_all(out);
    perPage[{"dvipng", dpi}] = seconds / double(std::max<int64_t>(1, state.iterations())) / kPages;
    state.SetItemsProcessed(int64_t(state.iterations()) * kPages);
}

BENCHMARK(Drawer)->Arg(96)->Arg(300)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(DviPng)->Arg(96)->Arg(300)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    for (int dpi : {96, 300}) {
        const double d = perPage[{"drawer", dpi}], p = perPage[{"dvipng", dpi}];
        if (d > 0 && p > 0)
            std::printf("%d dpi: drawer %.2f ms/page, dvipng %.2f ms/page, ratio drawer/dvipng %.2f\n", dpi, d * 1e3,
                        p * 1e3, d / p);
    }
    benchmark::Shutdown();
    return 0;
}
