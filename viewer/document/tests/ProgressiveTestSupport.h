// Helpers of the progressive input tests: a temporary folder, gzip streams
// built with zlib, and a fetch that feeds a document to ProgressiveInput
// chunk by chunk as the document's fetch thread does.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "testsupport/TestTools.h"
#include "viewer/document/ProgressiveInput.h"

namespace progtest {

using Bytes = std::vector<unsigned char>;

using namespace testsupport;

// Raw deflate data of `data`; with `flushAt` > 0 a full flush after that many
// input bytes, so that a new block starts on a byte boundary there.
inline Bytes RawDeflate(const Bytes& data, size_t flushAt = 0, size_t* flushOffset = nullptr) {
    z_stream z{};
    if (deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw std::runtime_error("deflateInit2");
    Bytes out(deflateBound(&z, uLong(data.size())) + 64);
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    size_t first = flushAt && flushAt < data.size() ? flushAt : 0;
    if (first) {
        z.next_in = const_cast<Bytef*>(data.data());
        z.avail_in = uInt(first);
        deflate(&z, Z_FULL_FLUSH);
        if (flushOffset) *flushOffset = size_t(z.next_out - out.data());
    }
    z.next_in = const_cast<Bytef*>(data.data() + first);
    z.avail_in = uInt(data.size() - first);
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// Header options of a gzip member.
struct GzipOptions {
    bool text = false;
    int extraLength = -1;  // FEXTRA with this XLEN when >= 0
    const char* name = nullptr;
    const char* comment = nullptr;
    bool headerCrc = false;
};

inline Bytes GzipHeaderBytes(const GzipOptions& o) {
    int flags = (o.text ? 1 : 0) | (o.headerCrc ? 2 : 0) | (o.extraLength >= 0 ? 4 : 0) | (o.name ? 8 : 0) |
                (o.comment ? 16 : 0);
    Bytes h = {0x1f, 0x8b, 8, (unsigned char)flags, 0x78, 0x56, 0x34, 0x12, 2, 3};
    if (o.extraLength >= 0) {
        h.push_back((unsigned char)(o.extraLength & 0xff));
        h.push_back((unsigned char)(o.extraLength >> 8));
        // Sub-fields whose bytes include the gzip magic and zeros, which the
        // parser must not take for anything.
        for (int i = 0; i < o.extraLength; ++i) h.push_back((unsigned char)(i % 3 == 0 ? 0 : i % 3 == 1 ? 0x1f : 0x8b));
    }
    if (o.name) h.insert(h.end(), o.name, o.name + std::char_traits<char>::length(o.name) + 1);
    if (o.comment) h.insert(h.end(), o.comment, o.comment + std::char_traits<char>::length(o.comment) + 1);
    if (o.headerCrc) {
        uLong crc = crc32(0, h.data(), uInt(h.size()));
        h.push_back((unsigned char)(crc & 0xff));
        h.push_back((unsigned char)((crc >> 8) & 0xff));
    }
    return h;
}

inline void PutLE32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back((unsigned char)(v >> (8 * i)));
}

// A whole gzip member: header, raw deflate data, CRC-32 and length.
inline Bytes Gzip(const Bytes& data, const GzipOptions& o = {}) {
    Bytes g = GzipHeaderBytes(o);
    Bytes d = RawDeflate(data);
    g.insert(g.end(), d.begin(), d.end());
    PutLE32(g, uint32_t(crc32(0, data.data(), uInt(data.size()))));
    PutLE32(g, uint32_t(data.size()));
    return g;
}

// The fetch thread's side: store each chunk in the temporary file (unpacked
// when compressed), flush, and scan the bytes it added.
class Fetch {
public:
    Fetch(const std::string& path, int mode, bool compressed)
        : path_(path), mode_(mode), compressed_(compressed), input(path.c_str()) {
        out.open(path, std::ios::binary | std::ios::trunc);
        if (mode == ProgressiveInput::kScanDvi) input.ResetDviScan();
        else input.ResetTiffScan();
        if (compressed) initOk = input.InitInflate();
    }

    // Returns what the scanner returned; storeOk tells whether the store went well.
    int Feed(const unsigned char* p, size_t n) {
        const int64_t before = Length();
        if (compressed_) {
            storeOk = input.StoreCompressedChunk(p, int(n), out) && storeOk;
        } else {
            out.write(reinterpret_cast<const char*>(p), std::streamsize(n));
            out.flush();
        }
        const int64_t after = Length();
        return input.ScanDviStream(before, after - before, mode_);
    }

    // End of data: drain and check the compressed stream; hand back held links.
    int End() {
        int ok = compressed_ ? input.FinishInflate(out) : 1;
        out.flush();
        if (mode_ == ProgressiveInput::kScanTiff) input.FinishTiffStream();
        return ok;
    }

    int64_t Length() { return int64_t(out.tellp()); }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    int mode_;
    bool compressed_;

public:
    std::ofstream out;
    ProgressiveInput input;
    int initOk = 1;
    int storeOk = 1;
};

} // namespace progtest
