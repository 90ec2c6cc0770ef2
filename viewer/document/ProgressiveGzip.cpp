// gzip member headers and the raw inflate stream that unpacks a compressed
// document into its temporary file.
#include "viewer/document/ProgressiveInput.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kInflateBufferSize = 4096;

// gzip member header flags.
constexpr int kFlagHcrc = 2;
constexpr int kFlagExtra = 4;
constexpr int kFlagName = 8;
constexpr int kFlagComment = 16;

// The header parser's state after the state of an optional field whose flag
// is clear; -1 when that state has a field to read or is not such a state.
int SkipAbsentField(int state, int flags) {
    static constexpr struct {
        int state, flag, next;
    } kOptional[] = {{5, kFlagExtra, 8}, {8, kFlagName, 9}, {9, kFlagComment, 10}, {10, kFlagHcrc, 12}};
    for (const auto& o : kOptional)
        if (o.state == state) return flags & o.flag ? -1 : o.next;
    return -1;
}

} // namespace

// ---- gzip header ----

const unsigned char* ProgressiveInput::ParseGzipHeader(const unsigned char* data, int length) {
    if (length < 1 || !data) return data;
    GzipHeader& h = m_gzHeader;
    if (h.endFlag) return data;
    const unsigned char* p = data;
    const unsigned char* end = data + length;
    for (;;) {
        // Steps that look at the flags only take no byte.
        if (h.state == 12) return p;
        if (const int next = SkipAbsentField(h.state, h.flags); next >= 0) {
            h.state = next;
            continue;
        }
        if (p == end) return end;
        const int b = *p;
        switch (h.state) {
        case 0:
        case 1:
            if (b != (h.state == 0 ? 31 : 139)) {
                h.endFlag = 1;
                return p;
            }
            ++h.state;
            break;
        case 2:  // compression method
            h.state = 3;
            break;
        case 3:
            h.flags = b;
            h.counter = 0;
            h.state = 4;
            break;
        case 4:  // modification time, extra flags, operating system
            if (++h.counter >= 6) h.state = 5;
            break;
        case 5:
            h.counter = b;
            h.state = 6;
            break;
        case 6:
            h.counter += b * 256;
            h.state = h.counter >= 1 ? 7 : 8;
            break;
        case 7:
            if (--h.counter < 1) h.state = 8;
            break;
        case 8:
            if (b == 0) h.state = 9;
            break;
        case 9:
            if (b == 0) h.state = 10;
            break;
        case 10:
            h.state = 11;
            break;
        case 11:
            h.state = 12;
            break;
        default:  // a state no step sets: treat as a malformed header
            h.endFlag = 1;
            return p;
        }
        ++p;
    }
}

// ---- inflate ----

int ProgressiveInput::InitInflate() {
    EndInflate();
    m_inflateState = kInflateOpen;
    std::memset(&m_zstream, 0, sizeof m_zstream);
    m_gzHeader = GzipHeader();
    m_streamEnded = 0;
    m_trailerLength = 0;
    m_crc = crc32(0L, Z_NULL, 0);
    m_unpackedSize = 0;
    m_inflateError = String8();
    m_inflateBuffer = static_cast<unsigned char*>(std::malloc(kInflateBufferSize));
    if (!m_inflateBuffer || inflateInit2(&m_zstream, -15) != Z_OK) {
        std::free(m_inflateBuffer);
        m_inflateBuffer = nullptr;
        m_inflateState = kInflateNone;
        m_inflateError = "Cannot unpack the compressed data.";
        return 0;
    }
    m_inflateResult = 1;
    return 1;
}

void ProgressiveInput::EndInflate() {
    if (m_inflateState != kInflateOpen) return;
    inflateEnd(&m_zstream);
    std::free(m_inflateBuffer);
    m_inflateBuffer = nullptr;
    m_inflateState = kInflateEnded;
}

bool ProgressiveInput::WriteOut(std::ostream& out, const unsigned char* p, size_t n) {
    if (!n) return true;
    out.write(reinterpret_cast<const char*>(p), std::streamsize(n));
    if (!m_gzHeader.endFlag) {
        m_crc = crc32(m_crc, p, uInt(n));
        m_unpackedSize += n;
    }
    return bool(out);
}

void ProgressiveInput::TakeTrailer(const unsigned char* p, size_t n) {
    size_t take = std::min(n, sizeof m_trailer - size_t(m_trailerLength));
    if (take) std::memcpy(m_trailer + m_trailerLength, p, take);
    m_trailerLength += int(take);
}

int ProgressiveInput::InflateFailed(const char* why, std::ostream& out) {
    m_inflateError = why;
    out.flush();
    EndInflate();
    return 0;
}

int ProgressiveInput::StoreCompressedChunk(const unsigned char* chunk, int n, std::ostream& out) {
    if (n < 1) return 1;
    if (m_gzHeader.endFlag) {
        // Not gzip data after all: stored as it came.
        if (!WriteOut(out, chunk, size_t(n)) || !out.flush()) return InflateFailed("Cannot write the document.", out);
        return 1;
    }
    if (m_streamEnded) {
        TakeTrailer(chunk, size_t(n));
        return 1;
    }
    if (m_inflateState != kInflateOpen) {
        if (m_inflateError.IsNull()) m_inflateError = "Cannot unpack the compressed data.";
        return 0;
    }
    const unsigned char* p = ParseGzipHeader(chunk, n);
    if (m_gzHeader.endFlag) {
        // Only the first two bytes are tested, so the one byte taken from an
        // earlier chunk can be the first; it is part of the data too.
        static const unsigned char first = 31;
        bool ok = p != chunk || m_gzHeader.state != 1 || WriteOut(out, &first, 1);
        if (!ok || !WriteOut(out, chunk, size_t(n)) || !out.flush())
            return InflateFailed("Cannot write the document.", out);
        return 1;
    }
    const size_t remaining = size_t(chunk + n - p);
    if (!remaining) return 1;
    m_zstream.next_in = const_cast<Bytef*>(p);
    m_zstream.avail_in = uInt(remaining);
    for (;;) {
        m_zstream.next_out = m_inflateBuffer;
        m_zstream.avail_out = kInflateBufferSize;
        const int r = inflate(&m_zstream, Z_SYNC_FLUSH);
        m_inflateResult = r;
        const size_t produced = size_t(m_zstream.next_out - m_inflateBuffer);
        if (produced && !WriteOut(out, m_inflateBuffer, produced)) return InflateFailed("Cannot write the document.", out);
        if (r == Z_STREAM_END) {
            m_streamEnded = 1;
            TakeTrailer(m_zstream.next_in, m_zstream.avail_in);
            break;
        }
        if (r == Z_BUF_ERROR) break;  // nothing more until the next chunk
        if (r != Z_OK) return InflateFailed("The compressed data is damaged.", out);
        // A full output buffer may hide more output: go on until it is not full.
        if (m_zstream.avail_in == 0 && m_zstream.avail_out != 0) break;
    }
    if (!out.flush()) return InflateFailed("Cannot write the document.", out);
    return 1;
}

int ProgressiveInput::FinishInflate(std::ostream& out) {
    if (m_inflateState != kInflateOpen) return 1;
    if (m_gzHeader.endFlag) {
        EndInflate();
        return 1;
    }
    if (!m_streamEnded) {
        m_zstream.next_in = Z_NULL;
        m_zstream.avail_in = 0;
        for (;;) {
            m_zstream.next_out = m_inflateBuffer;
            m_zstream.avail_out = kInflateBufferSize;
            const int r = inflate(&m_zstream, Z_SYNC_FLUSH);
            m_inflateResult = r;
            const size_t produced = size_t(m_zstream.next_out - m_inflateBuffer);
            if (produced && !WriteOut(out, m_inflateBuffer, produced))
                return InflateFailed("Cannot write the document.", out);
            if (r == Z_STREAM_END) m_streamEnded = 1;
            if (r != Z_OK) break;
        }
    }
    const char* damage = nullptr;
    if (!m_streamEnded || m_trailerLength < 8) {
        damage = "The compressed data ends early.";
    } else {
        auto le32 = [&](int at) {
            return uint32_t(m_trailer[at]) | uint32_t(m_trailer[at + 1]) << 8 | uint32_t(m_trailer[at + 2]) << 16 |
                   uint32_t(m_trailer[at + 3]) << 24;
        };
        if (le32(0) != uint32_t(m_crc) || le32(4) != uint32_t(m_unpackedSize & 0xFFFFFFFFu))
            damage = "The compressed data is damaged.";
    }
    if (!out.flush()) damage = "Cannot write the document.";
    if (damage) return InflateFailed(damage, out);
    EndInflate();
    return 1;
}
