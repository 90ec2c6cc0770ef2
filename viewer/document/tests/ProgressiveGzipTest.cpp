// The gzip member-header parser and the raw inflate stream.
#include <gtest/gtest.h>

#include <sstream>

#include "ProgressiveTestSupport.h"

using namespace progtest;

namespace {

// Text with some structure, so deflate makes several kinds of block.
Bytes SampleText(size_t size) {
    static const char* words[] = {"page ", "font ", "special ", "\\bop ", "eop\n", "xxx4 ", "glyph ", "rule "};
    Bytes t;
    uint32_t s = 12345;
    while (t.size() < size) {
        s = s * 1103515245u + 12345u;
        const char* w = words[(s >> 16) % 8];
        t.insert(t.end(), w, w + std::char_traits<char>::length(w));
        if ((s >> 8) % 7 == 0) t.push_back((unsigned char)(s >> 24));
    }
    t.resize(size);
    return t;
}

struct HeaderCase {
    const char* label;
    GzipOptions options;
};

const HeaderCase kHeaders[] = {
    {"plain", {}},
    {"every optional field", {true, 300, "paper.dvi", "made by TeX", true}},
    {"extra field of length 0", {false, 0, nullptr, nullptr, false}},
    {"extra field of length 300", {false, 300, nullptr, nullptr, false}},
    {"name and comment", {false, -1, "a.dvi", "", false}},
    {"header CRC only", {false, -1, nullptr, nullptr, true}},
};

std::string Unpack(const Bytes& gz, const std::vector<size_t>& cuts, int* finished = nullptr,
                   ProgressiveInput* given = nullptr) {
    ProgressiveInput own;
    ProgressiveInput& in = given ? *given : own;
    std::ostringstream out;
    EXPECT_EQ(in.InitInflate(), 1);
    size_t at = 0;
    for (size_t cut : cuts) {
        EXPECT_EQ(in.StoreCompressedChunk(gz.data() + at, int(cut - at), out), 1) << "chunk at " << at;
        at = cut;
    }
    EXPECT_EQ(in.StoreCompressedChunk(gz.data() + at, int(gz.size() - at), out), 1);
    int ok = in.FinishInflate(out);
    if (finished) *finished = ok;
    return out.str();
}

std::string Str(const Bytes& b) { return std::string(b.begin(), b.end()); }

} // namespace

TEST(GzipHeader, SplitAtAnyByteFindsTheSameDeflateStart) {
    const Bytes payload = RawDeflate(SampleText(64));
    for (const auto& c : kHeaders) {
        SCOPED_TRACE(c.label);
        Bytes gz = GzipHeaderBytes(c.options);
        const size_t headerSize = gz.size();
        gz.insert(gz.end(), payload.begin(), payload.end());

        ProgressiveInput whole;
        ASSERT_EQ(whole.ParseGzipHeader(gz.data(), int(gz.size())), gz.data() + headerSize);
        EXPECT_EQ(whole.m_gzHeader.endFlag, 0);

        for (size_t k = 0; k <= gz.size(); ++k) {
            ProgressiveInput split;
            const unsigned char* p = split.ParseGzipHeader(gz.data(), int(k));
            if (k < headerSize) {
                ASSERT_EQ(p, gz.data() + k) << k;
                p = split.ParseGzipHeader(gz.data() + k, int(gz.size() - k));
            }
            ASSERT_EQ(p, gz.data() + headerSize) << k;
            ASSERT_EQ(split.m_gzHeader.endFlag, 0) << k;
        }

        ProgressiveInput bytewise;
        const unsigned char* p = gz.data();
        for (size_t i = 0; i < headerSize; ++i) ASSERT_EQ(bytewise.ParseGzipHeader(gz.data() + i, 1), gz.data() + i + 1);
        EXPECT_EQ(bytewise.ParseGzipHeader(p + headerSize, 1), p + headerSize);
        EXPECT_EQ(bytewise.ParseGzipHeader(p, 0), p);
    }
}

TEST(GzipHeader, WrongMagicIsMalformed) {
    const unsigned char notGzip[] = {0x1f, 0x8c, 8, 0};
    ProgressiveInput in;
    EXPECT_EQ(in.ParseGzipHeader(notGzip, 1), notGzip + 1);
    EXPECT_EQ(in.ParseGzipHeader(notGzip + 1, 3), notGzip + 1);
    EXPECT_EQ(in.m_gzHeader.endFlag, 1);
}

TEST(Inflate, EveryOptionalFieldSplitAtEveryByteUnpacksToTheSameBytes) {
    const Bytes text = SampleText(12000);
    const Bytes gz = Gzip(text, kHeaders[1].options);
    int finished = 0;
    ASSERT_EQ(Unpack(gz, {}, &finished), Str(text));
    EXPECT_EQ(finished, 1);
    for (size_t k = 0; k <= gz.size(); ++k) {
        ASSERT_EQ(Unpack(gz, {k}, &finished), Str(text)) << k;
        ASSERT_EQ(finished, 1) << k;
    }
    std::vector<size_t> bytes;
    for (size_t k = 1; k < gz.size(); ++k) bytes.push_back(k);
    EXPECT_EQ(Unpack(gz, bytes, &finished), Str(text));
    EXPECT_EQ(finished, 1);
}

TEST(Inflate, EverythingAChunkHoldsIsInTheFileBeforeTheScan) {
    // Long runs unpack to many output buffers from few input bytes; whatever
    // the data so far can give must be written before the scanner looks.
    Bytes text = SampleText(3000);
    text.insert(text.end(), 200000, 'a');
    const Bytes more = SampleText(5000);
    text.insert(text.end(), more.begin(), more.end());
    const Bytes gz = Gzip(text);
    const size_t header = GzipHeaderBytes({}).size();
    Bytes all(text.size() + 64);
    for (size_t k = header; k <= gz.size() - 8; k += 5) {
        z_stream z{};
        ASSERT_EQ(inflateInit2(&z, -15), Z_OK);
        z.next_in = const_cast<Bytef*>(gz.data() + header);
        z.avail_in = uInt(k - header);
        z.next_out = all.data();
        z.avail_out = uInt(all.size());
        inflate(&z, Z_SYNC_FLUSH);
        const size_t possible = z.total_out;
        inflateEnd(&z);

        ProgressiveInput in;
        std::ostringstream out;
        ASSERT_EQ(in.InitInflate(), 1);
        ASSERT_EQ(in.StoreCompressedChunk(gz.data(), int(k / 2), out), 1);
        ASSERT_EQ(in.StoreCompressedChunk(gz.data() + k / 2, int(k - k / 2), out), 1);
        ASSERT_EQ(out.str().size(), possible) << k;
    }
    EXPECT_EQ(Unpack(gz, {gz.size() - 8}), Str(text));
}

TEST(Inflate, TrailerIsNotStoredAndIsChecked) {
    const Bytes text = SampleText(5000);
    const Bytes good = Gzip(text, {false, -1, "doc.dvi", nullptr, false});
    struct Case {
        const char* label;
        Bytes data;
        int finished;
    };
    auto modified = [&](size_t at, int delta) {
        Bytes b = good;
        b[at] = (unsigned char)(b[at] + delta);
        return b;
    };
    Bytes withNextMember = good;
    withNextMember.insert(withNextMember.end(), good.begin(), good.end());
    const std::vector<Case> cases = {
        {"intact", good, 1},
        {"a following member is not part of the document", withNextMember, 1},
        {"CRC differs", modified(good.size() - 8, 1), 0},
        {"length differs", modified(good.size() - 1, 1), 0},
        {"cut inside the trailer", Bytes(good.begin(), good.end() - 3), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ProgressiveInput in;
        int finished = -1;
        std::vector<size_t> cuts;
        for (size_t k = 700; k < c.data.size(); k += 700) cuts.push_back(k);
        EXPECT_EQ(Unpack(c.data, cuts, &finished, &in), Str(text));
        EXPECT_EQ(finished, c.finished);
        EXPECT_EQ(in.GetInflateError().IsNull(), c.finished == 1);
        EXPECT_EQ(in.GetInflateState(), ProgressiveInput::kInflateEnded);
    }
}

TEST(Inflate, DataCutShortKeepsWhatArrivedAndSaysSo) {
    const Bytes text = SampleText(20000);
    const Bytes gz = Gzip(text);
    ProgressiveInput in;
    std::ostringstream out;
    ASSERT_EQ(in.InitInflate(), 1);
    ASSERT_EQ(in.StoreCompressedChunk(gz.data(), int(gz.size() / 2), out), 1);
    EXPECT_EQ(in.FinishInflate(out), 0);
    EXPECT_STREQ(in.GetInflateError().c_str(), "The compressed data ends early.");
    const std::string got = out.str();
    EXPECT_GT(got.size(), 0u);
    EXPECT_EQ(got, Str(text).substr(0, got.size()));
}

TEST(Inflate, CorruptStreamGivesAnErrorAndKeepsWhatCameBefore) {
    const Bytes text = SampleText(30000);
    size_t flushOffset = 0;
    Bytes deflated = RawDeflate(text, 17000, &flushOffset);
    ASSERT_GT(flushOffset, 0u);
    // A block with the reserved type 3 right after the full flush.
    deflated[flushOffset] = 0x07;
    Bytes gz = GzipHeaderBytes({});
    gz.insert(gz.end(), deflated.begin(), deflated.end());

    ProgressiveInput in;
    std::ostringstream out;
    ASSERT_EQ(in.InitInflate(), 1);
    int failedAt = -1;
    for (size_t at = 0; at < gz.size(); at += 512) {
        int n = int(std::min<size_t>(512, gz.size() - at));
        if (!in.StoreCompressedChunk(gz.data() + at, n, out)) {
            failedAt = int(at);
            break;
        }
    }
    ASSERT_GE(failedAt, 0);
    EXPECT_STREQ(in.GetInflateError().c_str(), "The compressed data is damaged.");
    EXPECT_EQ(in.GetInflateState(), ProgressiveInput::kInflateEnded);
    EXPECT_EQ(out.str(), Str(text).substr(0, 17000));
    // Later chunks are refused; the end of data has nothing left to do.
    EXPECT_EQ(in.StoreCompressedChunk(gz.data(), 10, out), 0);
    EXPECT_EQ(in.FinishInflate(out), 1);
    EXPECT_EQ(out.str().size(), 17000u);
}

TEST(Inflate, DataThatIsNotGzipIsStoredUnchanged) {
    const std::string text = "%!PS-Adobe-3.0 not compressed after all";
    ProgressiveInput in;
    std::ostringstream out;
    ASSERT_EQ(in.InitInflate(), 1);
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    EXPECT_EQ(in.StoreCompressedChunk(p, 10, out), 1);
    EXPECT_EQ(in.StoreCompressedChunk(p + 10, int(text.size() - 10), out), 1);
    EXPECT_EQ(in.FinishInflate(out), 1);
    EXPECT_EQ(out.str(), text);

    // The gzip magic's first byte alone in the first chunk.
    const std::string almost = "\x1f not gzip";
    ProgressiveInput split;
    std::ostringstream splitOut;
    ASSERT_EQ(split.InitInflate(), 1);
    p = reinterpret_cast<const unsigned char*>(almost.data());
    EXPECT_EQ(split.StoreCompressedChunk(p, 1, splitOut), 1);
    EXPECT_EQ(split.StoreCompressedChunk(p + 1, int(almost.size() - 1), splitOut), 1);
    EXPECT_EQ(split.FinishInflate(splitOut), 1);
    EXPECT_EQ(splitOut.str(), almost);
}

TEST(Inflate, AStreamLeftOpenIsEndedWithTheObjectAndANewRunStartsClean) {
    const Bytes text = SampleText(9000);
    const Bytes gz = Gzip(text);
    {
        ProgressiveInput in;
        std::ostringstream out;
        ASSERT_EQ(in.InitInflate(), 1);
        ASSERT_EQ(in.StoreCompressedChunk(gz.data(), 100, out), 1);
    }  // the leak checker sees the stream and buffer freed
    ProgressiveInput in;
    std::ostringstream first;
    ASSERT_EQ(in.InitInflate(), 1);
    ASSERT_EQ(in.StoreCompressedChunk(gz.data(), 300, first), 1);
    in.EndInflate();
    EXPECT_EQ(in.GetInflateState(), ProgressiveInput::kInflateEnded);
    EXPECT_EQ(in.StoreCompressedChunk(gz.data() + 300, 10, first), 0);
    int finished = 0;
    EXPECT_EQ(Unpack(gz, {50, 51, 2000}, &finished, &in), Str(text));
    EXPECT_EQ(finished, 1);
}

TEST(Inflate, GzipContentThatIsNotADocumentIsTold) {
    // The scanner sees unpacked bytes that do not start like a DVI file.
    TempDir dir;
    const std::string text = "This is only a text file, compressed.\n";
    const Bytes gz = Gzip(Bytes(text.begin(), text.end()), {false, -1, "paper.dvi", nullptr, false});
    Fetch fetch(dir.File("doc.tmp"), ProgressiveInput::kScanDvi, true);
    ASSERT_EQ(fetch.initOk, 1);
    int reported = 0;
    for (size_t at = 0; at < gz.size(); at += 16) reported += fetch.Feed(gz.data() + at, std::min<size_t>(16, gz.size() - at));
    EXPECT_EQ(fetch.End(), 1);
    EXPECT_EQ(reported, 1);  // once, in the chunk that showed it
    EXPECT_EQ(fetch.input.IsValidDvi(), 0);
    EXPECT_EQ(fetch.input.GetDviPages(), 0);
    EXPECT_EQ(Str(ReadFile(fetch.Path())), text);
}
