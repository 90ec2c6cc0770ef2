// The search command's work on a 2000-page document made by TeX: every page
// searched for a word it does not hold, reported per page, beside the
// reader's scan of the same document.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "dvilib/VrDvi.h"
#include "dvilib/VrDviError.h"
#include "dvilib/VrDviSearch.h"
#include "dvilib/VrDviTTFMap.h"
#include "platform/kpathsea/KPathSea.h"

namespace fs = std::filesystem;

namespace {

const std::string kDocument = std::string(VELORAN_BINARY_DIR) + "/fixtures/scan2000.dvi";

struct Document {
    Document() {
        VrDviSetErrorHook([](const char*) {});
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

void BM_SearchAbsentWord(benchmark::State& state) {
    static Document doc;
    const int pages = doc.dvi.GetNPage();
    if (pages < 2000) return state.SkipWithError("scan2000.dvi is missing; build target fixture_scan2000");
    VrDviSearch search;
    for (auto _ : state) {
        if (search.FindString("zyzzyva", &doc.dvi, 0, 0, pages - 1)) state.SkipWithError("found");
    }
    // Seconds per page searched (printed with its SI prefix: 150u is 0.15 ms).
    state.counters["s/page"] = benchmark::Counter(double(pages) * double(state.iterations()),
                                                  benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["pages"] = pages;
}
BENCHMARK(BM_SearchAbsentWord)->Unit(benchmark::kMillisecond);

// The reader's scan of the whole document, for comparison.
void BM_ScanDocument(benchmark::State& state) {
    VrDviSetErrorHook([](const char*) {});
    DList<String8> none;
    VrDvi dvi;
    int pages = 0;
    for (auto _ : state) {
        dvi.Open(kDocument.c_str(), none, none);
        dvi.NewPageWritten(0);
        pages = dvi.GetNPage();
    }
    state.counters["pages"] = pages;
}
BENCHMARK(BM_ScanDocument)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
