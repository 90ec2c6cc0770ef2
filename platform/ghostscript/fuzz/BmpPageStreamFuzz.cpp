// Reads arbitrary bytes as the console program's page output, in two
// pieces: every page delivered must be readable whole through the wrapper.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/ghostscript/GSBmpPageStream.h"

namespace {

class Reader : public GS::PageOutputter {
public:
    void OnPage(GS* gs, int width, int height) override {
        BITMAPINFOHEADER header{};
        unsigned char* first = nullptr;
        if (!gs->LockGSDevice()) std::abort();
        const int stride = gs->GetBitmapRow(&header, nullptr, &first, 0);
        if (stride <= 0 || !first || header.biWidth != width || header.biHeight != height) std::abort();
        std::vector<unsigned char> copy(first, first + size_t(stride) * size_t(height));
        gs->UnlockGSDevice();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int bitsPerPixel = data[0] & 1 ? 1 : 24;
    const size_t split = std::min<size_t>(data[1], size - 2);
    GS gs;
    Reader out;
    GSBmpPageStream pages(&gs, &out, bitsPerPixel);
    const char* bytes = reinterpret_cast<const char*>(data + 2);
    if (pages.Add(bytes, split)) pages.Add(bytes + split, size - 2 - split);
    return 0;
}
