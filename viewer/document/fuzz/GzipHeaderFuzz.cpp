// Fuzz target of the gzip member-header parser and the inflate stream behind
// it. The first input byte picks how the rest is cut into chunks; parsing and
// unpacking in chunks must give what one whole chunk gives.
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "viewer/document/ProgressiveInput.h"

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

std::vector<size_t> Cuts(uint8_t seed, size_t size) {
    std::vector<size_t> cuts;
    size_t step = 1 + seed % 37;
    for (size_t at = step; at < size; at += step + (seed >> 5)) cuts.push_back(at);
    return cuts;
}

struct Unpacked {
    std::string out;
    int stored = 1;
    int finished = 1;
};

Unpacked Unpack(const unsigned char* data, size_t size, const std::vector<size_t>& cuts) {
    ProgressiveInput in;
    std::ostringstream out;
    Unpacked u;
    Check(in.InitInflate() == 1);
    size_t at = 0;
    auto store = [&](size_t end) {
        if (u.stored) u.stored = in.StoreCompressedChunk(data + at, int(end - at), out);
        at = end;
    };
    for (size_t cut : cuts) store(cut);
    store(size);
    if (u.stored) u.finished = in.FinishInflate(out);
    u.out = out.str();
    return u;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 1 << 16) return 0;
    const uint8_t seed = data[0];
    const unsigned char* p = data + 1;
    const size_t n = size - 1;
    const std::vector<size_t> cuts = Cuts(seed, n);

    ProgressiveInput whole;
    const unsigned char* start = whole.ParseGzipHeader(p, int(n));
    Check(start >= p && start <= p + n);

    ProgressiveInput split;
    size_t at = 0;
    const unsigned char* found = nullptr;
    std::vector<size_t> ends = cuts;
    ends.push_back(n);
    for (size_t end : ends) {
        const unsigned char* q = split.ParseGzipHeader(p + at, int(end - at));
        Check(q >= p + at && q <= p + end);
        if (split.m_gzHeader.endFlag || split.m_gzHeader.state == 12) {
            found = q;
            break;
        }
        Check(q == p + end);
        at = end;
    }
    Check(split.m_gzHeader.endFlag == whole.m_gzHeader.endFlag);
    Check(split.m_gzHeader.state == whole.m_gzHeader.state);
    if (found) Check(found == start);

    const Unpacked one = Unpack(p, n, {});
    const Unpacked many = Unpack(p, n, cuts);
    Check(one.stored == many.stored && one.finished == many.finished);
    Check(one.out == many.out);
    return 0;
}
