#include "dvilib/WinMetafile.h"

#include <cstdint>
#include <fstream>
#include <vector>

#include "platform/sys/RegularFile.h"

namespace {

int S16(const unsigned char* p) { return int16_t(uint16_t(p[0] | p[1] << 8)); }
uint32_t U32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// A standard metafile header is 18 bytes; its size field (in 16-bit words)
// is at byte 6.
constexpr int kStandardHeaderSize = 18;

} // namespace

WinMetafile::WinMetafile(const char* file) {
    if (file) Open(file);
}

WinMetafile::~WinMetafile() { Close(); }

int WinMetafile::Open(const char* file) {
    if (!file) return 0;
    auto in = sys::OpenRegularFileStream(file);
    if (!in) return 0;
    return Read(*in);
}

int WinMetafile::Read(std::istream& s) {
    if (opened) throw ReOpenError();
    const std::streampos start = s.tellg();
    unsigned char head[kPlaceableHeaderSize + kStandardHeaderSize];
    if (!s.read(reinterpret_cast<char*>(head), sizeof head)) return 0;
    if (U32(head) != kPlaceableMetaKey) return 0;
    const int l = S16(head + 6), t = S16(head + 8), r = S16(head + 10), b = S16(head + 12);
    const int upi = int(uint16_t(head[14] | head[15] << 8));
    if (upi == 0 || r == l || b == t) return 0;
    const uint64_t bytes = uint64_t(U32(head + kPlaceableHeaderSize + 6)) * 2;
    if (bytes < kStandardHeaderSize) return 0;

    // The metafile must lie inside the stream.
    s.seekg(0, std::ios::end);
    const std::streamoff end = s.tellg();
    if (end < 0 || uint64_t(end) < uint64_t(start) + kPlaceableHeaderSize + bytes) return 0;
    std::vector<unsigned char> data(static_cast<size_t>(bytes));
    s.seekg(start + std::streamoff(kPlaceableHeaderSize));
    if (!s.read(reinterpret_cast<char*>(data.data()), std::streamsize(bytes))) return 0;
    HMETAFILE mf = SetMetaFileBitsEx(UINT(bytes), data.data());
    if (!mf) return 0;
    handle = mf;
    left = l, top = t, right = r, bottom = b, unitsPerInch = upi;
    opened = 1;
    return 1;
}

void WinMetafile::Close() {
    if (!opened) return;
    DeleteMetaFile(handle);
    handle = nullptr;
    opened = 0;
}
