// Time to render one page of a PDF for the page view (the renderer's probe
// and rendering passes, in process) against a gs process rendering the same
// page to a grey PNG at the same resolution. The document is the 100-page TeX
// fixture, made PostScript by dvips and converted as a document would be.
// The closing lines give both times per page and their ratio.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "platform/ghostscript/GS.h"
#include "viewer/document/PsConversion.h"
#include "viewer/view/VrViewerView.h"

namespace fs = std::filesystem;

namespace {

struct Measured {
    double sum = 0;
    int runs = 0;
    double Mean() const { return runs ? sum / runs : 0; }
};
std::map<std::pair<std::string, int>, Measured> perPage;

const std::string& Pdf() {
    static const std::string pdf = [] {
        const fs::path dir = fs::temp_directory_path() / ("vrbench-ps-" + std::to_string(getpid()));
        fs::create_directories(dir);
        const std::string ps = (dir / "doc.ps").string(), out = (dir / "doc.pdf").string();
        const std::string cmd = "dvips -q -o '" + ps + "' '" VELORAN_BINARY_DIR "/fixtures/drawer100.dvi' >/dev/null 2>&1";
        if (std::system(cmd.c_str()) != 0) return std::string();
        GetGS()->LoadGSDLL(kGSLibraryName, nullptr);
        std::string why;
        if (ConvertPostScriptToPdf(ps.c_str(), out.c_str(), nullptr, &why) != PsJobResult::Done) return std::string();
        return out;
    }();
    return pdf;
}

void ViewRenderer(benchmark::State& state) {
    const int dpi = int(state.range(0));
    if (Pdf().empty()) return state.SkipWithError("no document");
    int page = 0;
    for (auto _ : state) {
        std::vector<uint8_t> info;
        std::unique_ptr<uint8_t[]> bits;
        int scale = 0;
        if (!CVrViewerView::RenderPostScriptPage(Pdf().c_str(), page, 8, dpi, dpi, -1, -1, &info, &bits, &scale))
            return state.SkipWithError("no page");
        page = (page + 7) % 100;
    }
}

void GsProcess(benchmark::State& state) {
    const int dpi = int(state.range(0));
    if (Pdf().empty()) return state.SkipWithError("no document");
    const std::string png = Pdf() + ".png";
    int page = 0;
    for (auto _ : state) {
        const std::string cmd = "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pnggray -dTextAlphaBits=4 "
                                "-dGraphicsAlphaBits=4 -r" + std::to_string(dpi) + " -dFirstPage=" +
                                std::to_string(page + 1) + " -dLastPage=" + std::to_string(page + 1) +
                                " -sOutputFile='" + png + "' '" + Pdf() + "' >/dev/null 2>&1";
        if (std::system(cmd.c_str()) != 0) return state.SkipWithError("gs failed");
        page = (page + 7) % 100;
    }
}

BENCHMARK(ViewRenderer)->Arg(96)->Arg(300)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(GsProcess)->Arg(96)->Arg(300)->Unit(benchmark::kMillisecond)->UseRealTime();

// Keeps the time per page of every measured run (repetitions, not the
// aggregate rows mean/median/stddev that follow them) for the closing lines,
// which give their mean.
class Reporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.run_type != Run::RT_Iteration || r.error_occurred || r.iterations <= 0) continue;
            const std::string name = r.run_name.function_name;
            const int dpi = std::atoi(r.run_name.args.c_str());
            Measured& m = perPage[{name, dpi}];
            m.sum += r.GetAdjustedRealTime();
            ++m.runs;
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (int dpi : {96, 300}) {
        const double v = perPage[{"ViewRenderer", dpi}].Mean(), g = perPage[{"GsProcess", dpi}].Mean();
        if (v > 0 && g > 0)
            std::printf("%d dpi: view %.1f ms/page, gs process %.1f ms/page, ratio view/gs %.2f\n", dpi, v, g, v / g);
    }
    benchmark::Shutdown();
    return 0;
}
