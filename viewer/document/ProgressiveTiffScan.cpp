// The TIFF scanner: follows the image file directories as they arrive and
// keeps the temporary file a TIFF that links complete pages only.
#include "viewer/document/ProgressiveInput.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <vector>

#include "base/BinStream.h"

namespace {

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

void ProgressiveInput::ResetTiffScan() {
    std::lock_guard lock(m_linkLock);
    m_tiffPages = 0;
    m_tiffByteOrder = 0;
    m_tiffNeeded = 7;  // the 8-byte header
    m_tiffNextState = TiffScanState::Header;
    m_tiffState = TiffScanState::Wait;
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

int ProgressiveInput::ScanTiff(int64_t start, int64_t count) {
    std::lock_guard lock(m_linkLock);
    if (m_tiffState == TiffScanState::Done || m_tiffState == TiffScanState::Malformed) return 0;
    BinFileStream stream;
    try {
        stream.open(m_tempFileName.c_str());
    } catch (const FileOpenError&) {
        return 0;
    }
    stream.SetBigEndian(m_tiffByteOrder);
    // Never trust more bytes than the file holds.
    stream.seekg(0, std::ios::end);
    const std::streamoff fileSize = stream.tellg();
    if (fileSize < 0) return 0;
    const uint64_t length = std::min(uint64_t(start) + uint64_t(count), uint64_t(fileSize));
    const int pagesBefore = m_tiffPages;
    // The step of each reading state, by TiffScanState; each reads what its
    // state needs, checks it and sets the next state.
    using Step = void (*)(ProgressiveInput&, BinFileStream&);
    static const Step kSteps[] = {
        nullptr,
        [](ProgressiveInput& p, BinFileStream& s) { p.TiffHeader(s); },
        [](ProgressiveInput& p, BinFileStream& s) { p.TiffDirectory(s); },
        [](ProgressiveInput& p, BinFileStream& s) { p.TiffEntries(s); },
        [](ProgressiveInput& p, BinFileStream& s) { p.TiffStrips(s); },
        [](ProgressiveInput& p, BinFileStream& s) { p.TiffPageComplete(s); },
    };
    for (;;) {
        if (m_tiffState == TiffScanState::Wait) {
            if (m_tiffNeeded >= length) break;
            m_tiffNeeded = 0;
            m_tiffState = m_tiffNextState;
        } else if (m_tiffState == TiffScanState::Malformed) {
            // Give the held link its value back.
            if (m_tiffLinkZeroed && TiffFile(stream).WriteLink(m_tiffLinkPos, uint32_t(m_tiffDirOffset)))
                m_tiffLinkZeroed = 0;
            break;
        } else if (m_tiffState == TiffScanState::Done) {
            break;
        } else {
            kSteps[size_t(m_tiffState)](*this, stream);
        }
    }
    return m_tiffPages > pagesBefore;
}

void ProgressiveInput::TiffWait(uint64_t needed, TiffScanState next) {
    m_tiffNeeded = needed;
    m_tiffNextState = next;
    m_tiffState = TiffScanState::Wait;
}

void ProgressiveInput::TiffHeader(BinFileStream& stream) {
    TiffFile f(stream);
    int b0 = f.Seek(0) ? f.U8() : -1;
    int b1 = f.U8();
    if (!f.Good() || b0 != b1 || (b0 != 'I' && b0 != 'M')) return TiffMalformed();
    m_tiffByteOrder = b0 == 'M';
    stream.SetBigEndian(m_tiffByteOrder);
    const uint32_t magic = f.U16();
    const uint32_t first = f.U32();
    if (!f.Good() || magic != 42 || first < 8) return TiffMalformed();
    m_tiffLinkPos = 4;
    m_tiffDirOffset = first;
    m_tiffPages = 0;
    m_tiffVisited.clear();
    m_tiffVisited.insert(first);
    if (!f.WriteLink(4, 0)) return TiffMalformed();
    m_tiffLinkZeroed = 1;
    TiffWait(m_tiffDirOffset + 1, TiffScanState::Directory);  // both bytes of the entry count
}

void ProgressiveInput::TiffDirectory(BinFileStream& stream) {
    TiffFile f(stream);
    if (!f.Seek(m_tiffDirOffset)) return TiffMalformed();
    m_tiffPageEnd = 0;
    m_tiffEntries = int(f.U16());
    if (!f.Good()) return TiffMalformed();
    m_tiffStripCount = 0;
    m_tiffOffsetsPos = m_tiffCountsPos = 0;
    m_tiffOffsetsType = m_tiffCountsType = 0;
    TiffWait(m_tiffDirOffset + 12 * uint64_t(m_tiffEntries) + 5, TiffScanState::Entries);  // last byte of the link
}

void ProgressiveInput::TiffEntries(BinFileStream& stream) {
    TiffFile f(stream);
    if (!f.Seek(m_tiffDirOffset + 2)) return TiffMalformed();
    for (int e = 0; e < m_tiffEntries; ++e) {
        const uint64_t entryPos = m_tiffDirOffset + 2 + 12 * uint64_t(e);
        const uint32_t tag = f.U16();
        const uint32_t type = f.U16();
        const uint32_t n = f.U32();
        const uint32_t value = f.U32();
        const int typeSize = TiffTypeSize(int(type));
        if (!f.Good() || typeSize == 0) return TiffMalformed();
        const uint64_t size = uint64_t(n) * uint64_t(typeSize);
        const uint64_t at = size <= 4 ? entryPos + 8 : value;
        if (size > 0) m_tiffPageEnd = std::max(m_tiffPageEnd, at + size - 1);
        const bool offsets = tag == kTagStripOffsets || tag == kTagTileOffsets;
        const bool counts = tag == kTagStripByteCounts || tag == kTagTileByteCounts;
        if (!offsets && !counts) continue;
        if (m_tiffStripCount != 0 && n != m_tiffStripCount) return TiffMalformed();
        m_tiffStripCount = n;
        if (offsets) {
            m_tiffOffsetsType = int(type);
            m_tiffOffsetsPos = at;
        } else {
            m_tiffCountsType = int(type);
            m_tiffCountsPos = at;
        }
    }
    TiffWait(m_tiffPageEnd, TiffScanState::Strips);
}

void ProgressiveInput::TiffStrips(BinFileStream& stream) {
    TiffFile f(stream);
    // Both arrays must be there, as SHORT or LONG values; their bytes lie
    // inside the page end, which is in the file.
    auto arrayType = [](int t) { return t == kTypeShort || t == kTypeLong; };
    if (m_tiffOffsetsPos == 0 || m_tiffCountsPos == 0 || m_tiffStripCount == 0 || !arrayType(m_tiffOffsetsType) ||
        !arrayType(m_tiffCountsType))
        return TiffMalformed();
    std::vector<uint32_t> offsets(static_cast<size_t>(m_tiffStripCount));
    bool ok = f.Seek(m_tiffOffsetsPos);
    for (auto& o : offsets) o = m_tiffOffsetsType == kTypeShort ? f.U16() : f.U32();
    ok = ok && f.Good() && f.Seek(m_tiffCountsPos);
    for (uint32_t o : offsets) {
        const uint64_t bytes = m_tiffCountsType == kTypeShort ? f.U16() : f.U32();
        if (bytes > 0) m_tiffPageEnd = std::max(m_tiffPageEnd, uint64_t(o) + bytes - 1);
    }
    if (!ok || !f.Good()) return TiffMalformed();
    TiffWait(m_tiffPageEnd, TiffScanState::PageComplete);
}

// A complete page: link it, then hold the next link at zero.
void ProgressiveInput::TiffPageComplete(BinFileStream& stream) {
    TiffFile f(stream);
    if (!f.WriteLink(m_tiffLinkPos, uint32_t(m_tiffDirOffset))) return TiffMalformed();
    m_tiffLinkZeroed = 0;
    ++m_tiffPages;
    m_tiffLinkPos = m_tiffDirOffset + 2 + 12 * uint64_t(m_tiffEntries);
    const uint32_t next = f.Seek(m_tiffLinkPos) ? f.U32() : 0;
    if (!f.Good()) return TiffMalformed();
    if (next == 0) {
        m_tiffState = TiffScanState::Done;
        return;
    }
    // A chain that loops (or points into the header) ends here.
    if (next < 8 || !m_tiffVisited.insert(next).second) return TiffMalformed();
    m_tiffDirOffset = next;
    if (!f.WriteLink(m_tiffLinkPos, 0)) return TiffMalformed();
    m_tiffLinkZeroed = 1;
    TiffWait(uint64_t(next) + 1, TiffScanState::Directory);
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
