// VF files of any content over a metric file with all 256 characters; the
// VF may define fonts, among them "base" (a metric file) and itself.
#include <vector>

#include "FontFuzzSupport.h"

namespace {

std::vector<uint8_t> AllCharsTfm() {
    // lf lh bc ec nw nh nd ni nl nk ne np
    const unsigned counts[12] = {6 + 2 + 256 + 2 + 1 + 1 + 1, 2, 0, 255, 2, 1, 1, 1, 0, 0, 0, 0};
    std::vector<uint8_t> b;
    auto word = [&](uint32_t v) {
        for (int i = 3; i >= 0; --i) b.push_back(uint8_t(v >> (8 * i)));
    };
    for (unsigned c : counts) {
        b.push_back(uint8_t(c >> 8));
        b.push_back(uint8_t(c));
    }
    word(0);           // checksum
    word(10u << 20);   // design size
    for (int c = 0; c < 256; ++c) word(0x01000000);
    word(0);
    word(0x80000);
    word(0);
    word(0);
    word(0);
    return b;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace fontfuzz;
    static const bool once = [] {
        auto tfm = AllCharsTfm();
        Write("fz.tfm", tfm.data(), tfm.size());
        Write("base.tfm", tfm.data(), tfm.size());
        return true;
    }();
    (void)once;
    Write("fz.vf", data, size);
    DList<String8> paths;
    paths.AddTail(String8(Dir().c_str()));
    FuzzDvi dvi("", paths, paths);
    Exercise(dvi);
    return 0;
}
