#include "platform/ghostscript/GSBmpPageStream.h"

#include <cstdint>

#include "platform/core/DibTypes.h"

namespace {

constexpr size_t kLargestPage = size_t(512) << 20;
constexpr size_t kHeaderBytes = 54; // file header and BITMAPINFOHEADER

uint32_t Le32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

} // namespace

GSBmpPageStream::GSBmpPageStream(GS* gs, GS::PageOutputter* out, int bitsPerPixel)
    : m_gs(gs), m_out(out), m_bitsPerPixel(bitsPerPixel) {}

bool GSBmpPageStream::Add(const char* data, size_t n) {
    if (m_broken) return false;
    m_buf.append(data, n);
    while (m_buf.size() >= kHeaderBytes) {
        const auto* p = reinterpret_cast<const unsigned char*>(m_buf.data());
        const uint32_t offset = Le32(p + 10);
        const int32_t width = int32_t(Le32(p + 18)), height = int32_t(Le32(p + 22));
        const int bits = p[28] | p[29] << 8;
        if (p[0] != 'B' || p[1] != 'M' || width < 1 || height < 1 || bits != (m_bitsPerPixel == 1 ? 1 : 24) ||
            offset < kHeaderBytes || offset > kHeaderBytes + 256 * 4) {
            m_broken = true;
            m_buf.clear();
            return false;
        }
        const uint64_t stride = uint64_t(DibRowBytes(width, bits));
        if (stride * uint64_t(height) > kLargestPage) {
            m_broken = true;
            m_buf.clear();
            return false;
        }
        const size_t total = offset + size_t(stride) * size_t(height);
        if (m_buf.size() < total) break;
        m_gs->DeliverPage(m_out, p + offset, width, height, int(stride), m_bitsPerPixel);
        m_buf.erase(0, total);
    }
    return true;
}
