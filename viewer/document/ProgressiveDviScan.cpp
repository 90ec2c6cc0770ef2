// The DVI scanner: walks the opcodes of the bytes a chunk added and counts
// complete pages.
#include "viewer/document/ProgressiveInput.h"

#include <algorithm>
#include <fstream>
#include <vector>

#include "dvilib/DviOpcodes.h"

void ProgressiveInput::ResetDviScan() {
    m_dviState = 0;
    m_dviCounter = 0;
    m_dviPages = 0;
    m_validDvi = 1;
}

int ProgressiveInput::ScanDvi(int64_t start, int64_t count) {
    if (m_dviState == 2) return 0;
    std::ifstream in(m_tempFileName.c_str(), std::ios::binary);
    if (!in) return 0;
    in.seekg(std::streamoff(start));
    if (!in) return 0;
    int result = 0;
    uint32_t& c = m_dviCounter;
    std::vector<unsigned char> block(size_t(std::min<int64_t>(count, 65536)));
    // The preamble is not a DVI one: stop scanning and say so once.
    auto notDvi = [&] {
        m_dviState = 2;
        m_validDvi = 0;
        result = 1;
    };
    while (count > 0 && m_dviState != 2) {
        in.read(reinterpret_cast<char*>(block.data()), std::streamsize(std::min<int64_t>(count, int64_t(block.size()))));
        const size_t n = size_t(in.gcount());
        if (!n) break;
        count -= int64_t(n);
        size_t i = 0;
        while (i < n) {
            const int b = block[i];
            switch (m_dviState) {
            case 0:
                if (b == dviop::Pre)
                    m_dviState = 1;
                else
                    notDvi();
                ++i;
                break;
            case 1:
                if (b == 2 || b == 3) {
                    m_dviState = 7;
                    c = 12;  // num, den, mag
                } else {
                    notDvi();
                }
                ++i;
                break;
            case 2:
                i = n;
                break;
            case 3:
            case 4:
            case 5:
            case 6:  // the 1 to 4 length bytes of a special, most significant first
                c = c * 256 + uint32_t(b);
                m_dviState = m_dviState == 3 ? 10 : m_dviState - 1;
                ++i;
                break;
            case 7:
            case 8:
            case 10:
                if (c > 0) {  // skip parameter bytes
                    const size_t skip = size_t(std::min<uint64_t>(c, n - i));
                    c -= uint32_t(skip);
                    i += skip;
                    break;
                }
                ++i;
                if (m_dviState == 7) {  // preamble comment length
                    c = uint32_t(b);
                    m_dviState = 10;
                } else if (m_dviState == 8) {  // font area length
                    c = uint32_t(b);
                    m_dviState = 9;
                } else if (b == dviop::Eop) {
                    ++m_dviPages;
                    result = 1;
                } else if (b == dviop::Post) {
                    m_dviState = 2;
                } else if (b == dviop::Pre || b >= dviop::PostPost) {
                    // ignored here; the reader judges them
                } else if (dviop::VariablePart(uint8_t(b)) == dviop::Variable::Special) {
                    m_dviState = 2 + dviop::SizeByte(uint8_t(b));
                } else if (dviop::VariablePart(uint8_t(b)) == dviop::Variable::FontDef) {
                    c = uint32_t(dviop::ParamLength(uint8_t(b)) - 2);  // the two name lengths come in state 8
                    m_dviState = 8;
                } else {
                    c = uint32_t(dviop::ParamLength(uint8_t(b)));
                }
                break;
            case 9:  // font name length
                c += uint32_t(b);
                m_dviState = 10;
                ++i;
                break;
            default:
                m_dviState = 2;
                i = n;
                break;
            }
        }
    }
    return result;
}
