// ProgressiveInput: the pieces that work on a document's temporary file while
// the fetch thread appends to it chunk by chunk.
//
//  - ParseGzipHeader: a gzip member-header parser that keeps its state between
//    calls, so a header split over any number of chunks parses as if whole.
//  - InitInflate / StoreCompressedChunk / FinishInflate: a raw inflate stream
//    (window bits -15) that writes the unpacked bytes to the temporary stream.
//  - ScanDviStream: reads only the bytes a chunk added and tells whether pages
//    were completed; DVI mode walks the opcodes, TIFF mode follows the image
//    file directories and keeps the file a TIFF that links complete pages only.
//
// One object per document. Everything runs on the fetch thread, except
// WriteArrivedCopy, which any thread may call. The fetch thread's calls:
//   type known:  ResetDviScan() or ResetTiffScan(); InitInflate() for gzip data
//   each chunk:  StoreCompressedChunk(chunk, n, temp), or write the chunk; flush;
//                ScanDviStream(length before, bytes added, mode);
//                DVI: AnnounceDviPages(reader, 0) when pages were reported
//   end of data: FinishInflate(temp); FinishTiffStream(); AnnounceDviPages(reader, 1)
//   a run stops: EndInflate()
#pragma once

#include <cstdint>
#include <mutex>
#include <ostream>
#include <set>

#include <zlib.h>

#include "base/String8.h"

class BinFileStream;
class VrDvi;

// Where the TIFF scanner stands: waiting for bytes up to a position, or about
// to read the part named; Done at the end of the directory chain, Malformed
// when the file is not a TIFF it can follow.
enum class TiffScanState { Wait, Header, Directory, Entries, Strips, PageComplete, Done, Malformed };

class ProgressiveInput {
public:
    enum { kScanDvi = 0, kScanTiff = 1 };
    // Inflate state.
    enum { kInflateNone = 0, kInflateOpen = 1, kInflateEnded = 2 };

    explicit ProgressiveInput(const String8& tempFileName = String8());
    ~ProgressiveInput();
    ProgressiveInput(const ProgressiveInput&) = delete;
    ProgressiveInput& operator=(const ProgressiveInput&) = delete;

    // The temporary file the scanners open on every call.
    void SetTempFileName(const String8& name) { m_tempFileName = name; }
    const String8& GetTempFileName() const { return m_tempFileName; }

    // ---- gzip and inflate ----

    // Takes the next bytes of a gzip member header. Returns the first byte of
    // deflate data in this chunk, the end of the chunk when the header goes on
    // in the next one, or the offending byte when the header is malformed
    // (m_gzHeader.endFlag becomes 1). A length below 1 returns data.
    const unsigned char* ParseGzipHeader(const unsigned char* data, int length);

    // Opens the raw inflate stream and resets the header parser. Returns 1, or
    // 0 when the stream cannot be set up (GetInflateError tells; nothing is
    // stored then and StoreCompressedChunk returns 0).
    int InitInflate();

    // Stores one chunk of gzip data: unpacked bytes are written to out, which
    // is flushed. After a malformed header, chunks are stored unchanged. Bytes
    // after the end of the compressed stream (the trailer) are not stored.
    // Returns 1, or 0 when the fetch must end: damaged data or a failed write
    // (what was unpacked before stays in out; GetInflateError tells why, and
    // the stream is ended).
    int StoreCompressedChunk(const unsigned char* chunk, int n, std::ostream& out);

    // End of data: drains what inflate still holds into out, checks the
    // trailer (CRC-32 and length) and ends the stream. Returns 1, or 0 when the
    // data was cut short or damaged (GetInflateError tells). Does nothing and
    // returns 1 when no stream is open.
    int FinishInflate(std::ostream& out);

    // Ends an open inflate stream and frees its buffer (a run that stops).
    void EndInflate();

    // Why unpacking failed; null when it did not.
    const String8& GetInflateError() const { return m_inflateError; }
    int GetInflateState() const { return m_inflateState; }

    // ---- stream scanner ----

    // Start of a run: DVI state 0 and no page, valid-DVI flag 1.
    void ResetDviScan();
    // Start of a run: TIFF scanner waiting for the 8-byte header, no page.
    void ResetTiffScan();

    // Scans the temporary file's bytes [start, start + count), where start +
    // count is its length, in mode kScanDvi or kScanTiff (other modes return
    // 0). Returns 1 when at least one page was completed during this call,
    // and in DVI mode also in the call that finds the stream is not a DVI
    // file, so that the caller's test of IsValidDvi after a report sees it.
    // Returns 0 otherwise, also when the file cannot be opened.
    int ScanDviStream(int64_t start, int64_t count, int mode);

    int GetDviPages() const { return m_dviPages; }
    int IsValidDvi() const { return m_validDvi; }
    int GetTiffPages() const { return m_tiffPages; }

    // Tells the reader about complete pages: NewPageWritten(pages) while data
    // is arriving (nothing while no page is complete, since 0 would mean
    // "scan everything"), NewPageWritten(0) only at the end of data. May throw
    // what NewPageWritten throws.
    void AnnounceDviPages(VrDvi& reader, int endOfData) const;

    // End of data of a TIFF document: a link the scanner still holds at zero
    // (a page that never completed, or a malformed file) gets back the value
    // that arrived, so the temporary file equals the data received.
    void FinishTiffStream();

    // Copies the temporary file to target as it arrived, with the link that
    // the TIFF scanner holds at zero (if any) restored in the copy. Returns 0,
    // or an errno value on failure.
    int WriteArrivedCopy(const String8& target);

    // ---- state (public as the document's fields are) ----

    struct GzipHeader {
        int endFlag = 0;  // 1: the member header was malformed
        int state = 0;    // 0 to 12
        int counter = 0;
        int flags = 0;    // FLG byte of the header
    };
    GzipHeader m_gzHeader;

    // Inflate.
    z_stream m_zstream{};
    unsigned char* m_inflateBuffer = nullptr;
    int m_inflateResult = 0;
    int m_inflateState = kInflateNone;
    int m_streamEnded = 0;  // inflate reported the end of the deflate data
    unsigned char m_trailer[8] = {};
    int m_trailerLength = 0;
    uLong m_crc = 0;
    uint64_t m_unpackedSize = 0;
    String8 m_inflateError;

    // DVI scanner.
    int m_dviState = 0;
    uint32_t m_dviCounter = 0;
    int m_dviPages = 0;
    int m_validDvi = 1;

    // TIFF scanner. Offsets and sizes are 64-bit; the file's are 32-bit.
    int m_tiffPages = 0;
    int m_tiffByteOrder = 0;  // 0 "II", 1 "MM"
    uint64_t m_tiffNeeded = 0;
    uint64_t m_tiffLinkPos = 0;
    uint64_t m_tiffDirOffset = 0;
    int m_tiffEntries = 0;
    uint64_t m_tiffPageEnd = 0;
    uint64_t m_tiffStripCount = 0;
    int m_tiffOffsetsType = 0;
    int m_tiffCountsType = 0;
    uint64_t m_tiffOffsetsPos = 0;
    uint64_t m_tiffCountsPos = 0;
    TiffScanState m_tiffState = TiffScanState::Wait;
    TiffScanState m_tiffNextState = TiffScanState::Wait;
    int m_tiffLinkZeroed = 0;           // the link at m_tiffLinkPos holds 0 for m_tiffDirOffset
    std::set<uint64_t> m_tiffVisited;   // directories seen, to stop on a loop

private:
    int ScanDvi(int64_t start, int64_t count);
    int ScanTiff(int64_t start, int64_t count);
    // The TIFF scanner's steps, one per reading state (under m_linkLock).
    void TiffHeader(BinFileStream& stream);
    void TiffDirectory(BinFileStream& stream);
    void TiffEntries(BinFileStream& stream);
    void TiffStrips(BinFileStream& stream);
    void TiffPageComplete(BinFileStream& stream);
    void TiffWait(uint64_t needed, TiffScanState next);
    void TiffMalformed() { m_tiffState = TiffScanState::Malformed; }
    int InflateFailed(const char* why, std::ostream& out);
    bool WriteOut(std::ostream& out, const unsigned char* p, size_t n);
    void TakeTrailer(const unsigned char* p, size_t n);

    String8 m_tempFileName;
    std::mutex m_linkLock;  // the zeroed link, between the scanner and WriteArrivedCopy
};
