// Fuzz target of the TIFF directory scanner. The input arrives in chunks (the
// first byte picks their size); the page count never falls, and once the data
// has ended the temporary file holds exactly the bytes that arrived, as does
// the copy taken half way.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "viewer/document/ProgressiveInput.h"

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

std::string TempPath(const char* what) {
    return "/tmp/vrtiff-fuzz-" + std::to_string(getpid()) + what;
}

std::vector<unsigned char> Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = TempPath(".tif");
    static const std::string copy = TempPath("-copy.tif");
    static bool cleanup = [] {
        std::atexit([] {
            std::remove(path.c_str());
            std::remove(copy.c_str());
        });
        return true;
    }();
    (void)cleanup;
    if (size < 1 || size > 1 << 16) return 0;
    const size_t chunk = 1 + data[0] % 64;
    const unsigned char* p = data + 1;
    const size_t n = size - 1;

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    ProgressiveInput in(path.c_str());
    in.ResetTiffScan();
    int pages = 0;
    for (size_t at = 0; at < n; at += chunk) {
        const size_t k = std::min(chunk, n - at);
        out.write(reinterpret_cast<const char*>(p + at), std::streamsize(k));
        out.flush();
        const int reported = in.ScanDviStream(int64_t(at), int64_t(k), ProgressiveInput::kScanTiff);
        Check(in.GetTiffPages() >= pages);
        Check((reported == 1) == (in.GetTiffPages() > pages));
        pages = in.GetTiffPages();
        if (at <= n / 2 && at + k > n / 2) {
            Check(in.WriteArrivedCopy(copy.c_str()) == 0);
            Check(Read(copy) == std::vector<unsigned char>(p, p + at + k));
        }
    }
    out.close();
    in.FinishTiffStream();
    Check(Read(path) == std::vector<unsigned char>(p, p + n));
    return 0;
}
