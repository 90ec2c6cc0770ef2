#include "viewer/document/ProgressiveInput.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "base/BinStream.h"
#include "dvilib/DviOpcodes.h"
#include "dvilib/VrDvi.h"

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

// TIFF tags the scanner reads.
constexpr int kTagStripOffsets = 273;
constexpr int kTagStripByteCounts = 279;
constexpr int kTagTileOffsets = 324;
constexpr int kTagTileByteCounts = 325;
constexpr int kTypeShort = 3;
constexpr int kTypeLong = 4;

// Bytes of one value of a TIFF field type; 0 for a type the scanner refuses.
// Type 13 (IFD, an offset to a sub-directory) is a 4-byte value.
int TiffTypeSize(int type) {
    static const int sizes[14] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
    return type >= 0 && type < 14 ? sizes[type] : 0;
}

} // namespace

ProgressiveInput::ProgressiveInput(const String8& tempFileName) : m_tempFileName(tempFileName) {}

ProgressiveInput::~ProgressiveInput() { EndInflate(); }

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

// ---- stream scanner ----

void ProgressiveInput::ResetDviScan() {
    m_dviState = 0;
    m_dviCounter = 0;
    m_dviPages = 0;
    m_validDvi = 1;
}

void ProgressiveInput::ResetTiffScan() {
    std::lock_guard lock(m_linkLock);
    m_tiffPages = 0;
    m_tiffByteOrder = 0;
    m_tiffNeeded = 7;  // the 8-byte header
    m_tiffNextState = 1;
    m_tiffState = 0;
    m_tiffLinkPos = 0;
    m_tiffDirOffset = 0;
    m_tiffEntries = 0;
    m_tiffPageEnd = 0;
    m_tiffStripCount = 0;
    m_tiffOffsetsType = m_tiffCountsType = 0;
    m_tiffOffsetsPos = m_tiffCountsPos = 0;
    m_tiffLinkZeroed = 0;
    m_tiffVisited.clear();
}

int ProgressiveInput::ScanDviStream(int64_t start, int64_t count, int mode) {
    if (start < 0 || count < 0) return 0;
    if (mode == kScanDvi) return ScanDvi(start, count);
    if (mode == kScanTiff) return ScanTiff(start, count);
    return 0;
}

void ProgressiveInput::AnnounceDviPages(VrDvi& reader, int endOfData) const {
    if (endOfData)
        reader.NewPageWritten(0);
    else if (m_dviPages > 0)
        reader.NewPageWritten(m_dviPages);
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

namespace {

// Positioned reads and writes on the temporary file in the file's byte order.
class TiffFile {
public:
    explicit TiffFile(BinFileStream& f) : f_(f) {}
    bool Seek(uint64_t pos) {
        f_.clear();
        f_.seekg(std::streamoff(pos));
        return bool(f_);
    }
    uint32_t U16() { return uint32_t(f_.ReadUInt16()) & 0xFFFFu; }
    uint32_t U32() { return uint32_t(f_.ReadUInt32()); }
    int U8() { return f_.ReadUInt8(); }
    bool Good() const { return f_.Good(); }
    bool WriteLink(uint64_t pos, uint32_t value) {
        f_.clear();
        f_.seekp(std::streamoff(pos));
        if (!f_) return false;
        f_.WriteUInt32(int(value));
        f_.flush();
        return bool(f_);
    }

private:
    BinFileStream& f_;
};

} // namespace

int ProgressiveInput::ScanTiff(int64_t start, int64_t count) {
    std::lock_guard lock(m_linkLock);
    if (m_tiffState == 6 || m_tiffState == 7) return 0;
    BinFileStream stream;
    try {
        stream.open(m_tempFileName.c_str());
    } catch (const FileOpenError&) {
        return 0;
    }
    stream.SetBigEndian(m_tiffByteOrder);
    TiffFile f(stream);
    // Never trust more bytes than the file holds.
    stream.seekg(0, std::ios::end);
    const std::streamoff fileSize = stream.tellg();
    if (fileSize < 0) return 0;
    const uint64_t length = std::min(uint64_t(start) + uint64_t(count), uint64_t(fileSize));
    const int pagesBefore = m_tiffPages;
    for (;;) {
        switch (m_tiffState) {
        case 0:  // wait
            if (m_tiffNeeded >= length) return m_tiffPages > pagesBefore;
            m_tiffNeeded = 0;
            m_tiffState = m_tiffNextState;
            break;
        case 1: {  // header
            int b0 = f.Seek(0) ? f.U8() : -1;
            int b1 = f.U8();
            if (!f.Good() || b0 != b1 || (b0 != 'I' && b0 != 'M')) {
                m_tiffState = 7;
                break;
            }
            m_tiffByteOrder = b0 == 'M';
            stream.SetBigEndian(m_tiffByteOrder);
            const uint32_t magic = f.U16();
            const uint32_t first = f.U32();
            if (!f.Good() || magic != 42 || first < 8) {
                m_tiffState = 7;
                break;
            }
            m_tiffLinkPos = 4;
            m_tiffDirOffset = first;
            m_tiffPages = 0;
            m_tiffVisited.clear();
            m_tiffVisited.insert(first);
            if (!f.WriteLink(4, 0)) {
                m_tiffState = 7;
                break;
            }
            m_tiffLinkZeroed = 1;
            m_tiffNeeded = m_tiffDirOffset + 1;  // both bytes of the entry count
            m_tiffNextState = 2;
            m_tiffState = 0;
            break;
        }
        case 2: {  // directory
            if (!f.Seek(m_tiffDirOffset)) {
                m_tiffState = 7;
                break;
            }
            m_tiffPageEnd = 0;
            m_tiffEntries = int(f.U16());
            if (!f.Good()) {
                m_tiffState = 7;
                break;
            }
            m_tiffStripCount = 0;
            m_tiffOffsetsPos = m_tiffCountsPos = 0;
            m_tiffOffsetsType = m_tiffCountsType = 0;
            m_tiffNeeded = m_tiffDirOffset + 12 * uint64_t(m_tiffEntries) + 5;  // last byte of the link
            m_tiffNextState = 3;
            m_tiffState = 0;
            break;
        }
        case 3: {  // entries
            int next = 4;
            if (!f.Seek(m_tiffDirOffset + 2)) next = 7;
            for (int e = 0; e < m_tiffEntries && next != 7; ++e) {
                const uint64_t entryPos = m_tiffDirOffset + 2 + 12 * uint64_t(e);
                const uint32_t tag = f.U16();
                const uint32_t type = f.U16();
                const uint32_t n = f.U32();
                const uint32_t value = f.U32();
                const int typeSize = TiffTypeSize(int(type));
                if (!f.Good() || typeSize == 0) {
                    next = 7;
                    break;
                }
                const uint64_t size = uint64_t(n) * uint64_t(typeSize);
                const uint64_t at = size <= 4 ? entryPos + 8 : value;
                if (size > 0) m_tiffPageEnd = std::max(m_tiffPageEnd, at + size - 1);
                const bool offsets = tag == kTagStripOffsets || tag == kTagTileOffsets;
                const bool counts = tag == kTagStripByteCounts || tag == kTagTileByteCounts;
                if (!offsets && !counts) continue;
                if (m_tiffStripCount != 0 && n != m_tiffStripCount) {
                    next = 7;
                    break;
                }
                m_tiffStripCount = n;
                if (offsets) {
                    m_tiffOffsetsType = int(type);
                    m_tiffOffsetsPos = at;
                } else {
                    m_tiffCountsType = int(type);
                    m_tiffCountsPos = at;
                }
            }
            if (next == 7) {
                m_tiffState = 7;
                break;
            }
            m_tiffNeeded = m_tiffPageEnd;
            m_tiffNextState = 4;
            m_tiffState = 0;
            break;
        }
        case 4: {  // strips
            // Both arrays must be there, as SHORT or LONG values; their bytes
            // lie inside the page end, which is in the file.
            auto arrayType = [](int t) { return t == kTypeShort || t == kTypeLong; };
            if (m_tiffOffsetsPos == 0 || m_tiffCountsPos == 0 || m_tiffStripCount == 0 ||
                !arrayType(m_tiffOffsetsType) || !arrayType(m_tiffCountsType)) {
                m_tiffState = 7;
                break;
            }
            std::vector<uint32_t> offsets(static_cast<size_t>(m_tiffStripCount));
            bool ok = f.Seek(m_tiffOffsetsPos);
            for (auto& o : offsets) o = m_tiffOffsetsType == kTypeShort ? f.U16() : f.U32();
            ok = ok && f.Good() && f.Seek(m_tiffCountsPos);
            for (uint32_t o : offsets) {
                const uint64_t bytes = m_tiffCountsType == kTypeShort ? f.U16() : f.U32();
                if (bytes > 0) m_tiffPageEnd = std::max(m_tiffPageEnd, uint64_t(o) + bytes - 1);
            }
            if (!ok || !f.Good()) {
                m_tiffState = 7;
                break;
            }
            m_tiffNeeded = m_tiffPageEnd;
            m_tiffNextState = 5;
            m_tiffState = 0;
            break;
        }
        case 5: {  // page complete: link it, then hold the next link at zero
            if (!f.WriteLink(m_tiffLinkPos, uint32_t(m_tiffDirOffset))) {
                m_tiffState = 7;
                break;
            }
            m_tiffLinkZeroed = 0;
            ++m_tiffPages;
            m_tiffLinkPos = m_tiffDirOffset + 2 + 12 * uint64_t(m_tiffEntries);
            const uint32_t next = f.Seek(m_tiffLinkPos) ? f.U32() : 0;
            if (!f.Good()) {
                m_tiffState = 7;
            } else if (next == 0) {
                m_tiffState = 6;
            } else if (next < 8 || !m_tiffVisited.insert(next).second) {
                m_tiffState = 7;  // a chain that loops (or points into the header) ends here
            } else {
                m_tiffDirOffset = next;
                if (!f.WriteLink(m_tiffLinkPos, 0)) {
                    m_tiffState = 7;
                    break;
                }
                m_tiffLinkZeroed = 1;
                m_tiffNeeded = uint64_t(next) + 1;
                m_tiffNextState = 2;
                m_tiffState = 0;
            }
            break;
        }
        case 6:
            return m_tiffPages > pagesBefore;
        default:  // 7, malformed: give the held link its value back
            m_tiffState = 7;
            if (m_tiffLinkZeroed && f.WriteLink(m_tiffLinkPos, uint32_t(m_tiffDirOffset))) m_tiffLinkZeroed = 0;
            return m_tiffPages > pagesBefore;
        }
    }
}

void ProgressiveInput::FinishTiffStream() {
    std::lock_guard lock(m_linkLock);
    if (!m_tiffLinkZeroed) return;
    try {
        BinFileStream stream(m_tempFileName.c_str());
        stream.SetBigEndian(m_tiffByteOrder);
        if (TiffFile(stream).WriteLink(m_tiffLinkPos, uint32_t(m_tiffDirOffset))) m_tiffLinkZeroed = 0;
    } catch (const FileOpenError&) {
    }
}

int ProgressiveInput::WriteArrivedCopy(const String8& target) {
    std::lock_guard lock(m_linkLock);
    std::error_code ec;
    std::filesystem::copy_file(m_tempFileName.c_str(), target.c_str(),
                               std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) return ec.value() ? ec.value() : EIO;
    if (!m_tiffLinkZeroed) return 0;
    const uint64_t size = std::filesystem::file_size(target.c_str(), ec);
    if (ec) return ec.value() ? ec.value() : EIO;
    if (m_tiffLinkPos + 4 > size) return 0;
    try {
        BinFileStream stream(target.c_str());
        stream.SetBigEndian(m_tiffByteOrder);
        if (!TiffFile(stream).WriteLink(m_tiffLinkPos, uint32_t(m_tiffDirOffset))) return EIO;
    } catch (const FileOpenError&) {
        return errno ? errno : EIO;
    }
    return 0;
}
