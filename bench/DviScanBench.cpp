// Scan throughput of the DVI reader on a 2000-page document made by TeX,
// beside the cost of only reading the same file (what `cat file > /dev/null`
// does), so that the scanner can be seen to be bound by reading the file.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "dvilib/VrDvi.h"
#include "dvilib/VrDviError.h"

namespace {

const std::string kDocument = std::string(VELORAN_BINARY_DIR) + "/fixtures/scan2000.dvi";

long FileSize() {
    int fd = ::open(kDocument.c_str(), O_RDONLY);
    if (fd < 0) return -1;
    long n = ::lseek(fd, 0, SEEK_END);
    ::close(fd);
    return n;
}

void SetCounters(benchmark::State& state, long bytes, int pages) {
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes);
    state.counters["pages/s"] = benchmark::Counter(double(pages) * double(state.iterations()),
                                                   benchmark::Counter::kIsRate);
}

// The document's size, with the reader's error texts silenced; 0, the run
// skipped, when the document is missing.
long DocumentForScan(benchmark::State& state) {
    VrDviSetErrorHook([](const char*) {});
    long bytes = FileSize();
    if (bytes <= 0) {
        state.SkipWithError("scan2000.dvi is missing; build target fixture_scan2000");
        return 0;
    }
    return bytes;
}

void BM_ScanWholeDocument(benchmark::State& state) {
    long bytes = DocumentForScan(state);
    if (!bytes) return;
    DList<String8> none;
    VrDvi dvi;
    int pages = 0;
    for (auto _ : state) {
        dvi.Open(kDocument.c_str(), none, none);
        dvi.NewPageWritten(0);
        pages = dvi.GetNPage();
        if (dvi.GetMode() != ModeComplete) state.SkipWithError("scan did not complete");
    }
    SetCounters(state, bytes, pages);
    state.counters["pages"] = pages;
}
BENCHMARK(BM_ScanWholeDocument)->Unit(benchmark::kMillisecond);

// As the worker does while a download arrives: ten pages per call.
void BM_ScanTenPagesPerCall(benchmark::State& state) {
    long bytes = DocumentForScan(state);
    if (!bytes) return;
    DList<String8> none;
    VrDvi dvi;
    int pages = 0;
    for (auto _ : state) {
        dvi.Open(kDocument.c_str(), none, none);
        for (int k = 10; dvi.GetMode() == ModeScanning; k += 10) dvi.NewPageWritten(k);
        pages = dvi.GetNPage();
    }
    SetCounters(state, bytes, pages);
}
BENCHMARK(BM_ScanTenPagesPerCall)->Unit(benchmark::kMillisecond);

// Reading the file in 128 KiB blocks and dropping the bytes.
void BM_ReadFileOnly(benchmark::State& state) {
    long bytes = FileSize();
    static char buf[1 << 17];
    for (auto _ : state) {
        int fd = ::open(kDocument.c_str(), O_RDONLY);
        ssize_t n;
        while ((n = ::read(fd, buf, sizeof buf)) > 0) benchmark::DoNotOptimize(buf[0]);
        ::close(fd);
    }
    SetCounters(state, bytes, 2000);
}
BENCHMARK(BM_ReadFileOnly)->Unit(benchmark::kMillisecond);

// The command itself, process start included.
void BM_CatToDevNull(benchmark::State& state) {
    long bytes = FileSize();
    std::string cmd = "cat '" + kDocument + "' > /dev/null";
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("cat failed");
    SetCounters(state, bytes, 2000);
}
BENCHMARK(BM_CatToDevNull)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
