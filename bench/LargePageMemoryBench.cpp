// Memory for a page that holds one large special: a DVI page whose only
// content is one 50 MB \special, opened and scanned by the reader and drawn
// by three drawers open at once, as the page view's page, magnifier glass and
// thumbnail are. The extra memory at the peak (VmHWM after the drawing less
// VmRSS before it) is reported beside the special's size; the goal is within
// 3 times the special.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "dvilib/VrDvi.h"
#include "dvilib/VrDviDrawer.h"
#include "platform/gdi/DC.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kSpecial = size_t(50) << 20;

void Put(std::string& s, uint32_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) s += char((v >> (8 * i)) & 0xFF);
}

// pre, one page (bop, xxx4 of `size` bytes, eop), post, post_post.
std::string DviWithSpecial(size_t size) {
    std::string d;
    d += char(247), d += char(2);
    Put(d, 25400000, 4), Put(d, 473628672, 4), Put(d, 1000, 4);
    d += char(0);
    const uint32_t bop = uint32_t(d.size());
    d += char(139);
    for (int i = 0; i < 10; ++i) Put(d, i == 0 ? 1 : 0, 4);
    Put(d, 0xFFFFFFFFu, 4);
    d += char(242);
    Put(d, uint32_t(size), 4);
    d.append(size, ' ');
    d.replace(d.size() - size, 11, "comment: x ");
    d += char(140);
    const uint32_t post = uint32_t(d.size());
    d += char(248);
    Put(d, bop, 4);
    Put(d, 25400000, 4), Put(d, 473628672, 4), Put(d, 1000, 4);
    Put(d, 0, 4), Put(d, 0, 4), Put(d, 1, 2), Put(d, 1, 2);
    d += char(249);
    Put(d, post, 4);
    d += char(2);
    d.append(4 + (4 - d.size() % 4) % 4, char(223));
    return d;
}

// A field of /proc/self/status in bytes.
size_t Status(const char* field) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(field, 0) == 0) return size_t(std::stoull(line.substr(std::strlen(field) + 1))) * 1024;
    return 0;
}

void LargeSpecial(benchmark::State& state) {
    const fs::path file = fs::temp_directory_path() / ("specialbench-" + std::to_string(getpid()) + ".dvi");
    std::ofstream(file, std::ios::binary) << DviWithSpecial(kSpecial);
    double ratio = 0;
    for (auto _ : state) {
        // The peak starts again from here.
        std::ofstream("/proc/self/clear_refs") << "5";
        const size_t before = Status("VmRSS:");
        {
            DList<String8> none;
            VrDvi dvi;
            dvi.Open(file.c_str(), none, none);
            dvi.NewPageWritten(0);
            auto dc = CreateMemoryDC(816, 1056, 32, 96);
            VrDviDrawer drawers[3];
            for (VrDviDrawer& drawer : drawers) {
                drawer.Open(*dc, dvi, 0, fpreal4(10000), 96, 96, 0, String8());
                drawer.Draw(-1);
            }
            for (VrDviDrawer& drawer : drawers) drawer.Close();
        }
        const size_t peak = Status("VmHWM:");
        ratio = double(peak > before ? peak - before : 0) / double(kSpecial);
    }
    fs::remove(file);
    state.counters["extra_per_special_byte"] = ratio;
    std::printf("extra memory at the peak: %.2f times the special's %zu bytes (goal: within 3)\n", ratio, kSpecial);
}

}  // namespace

BENCHMARK(LargeSpecial)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
