#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/BinStream.h"

namespace {
std::string TempPath(const char* name) {
    auto dir = std::filesystem::temp_directory_path() / ("pellix-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}

enum Op { U8, I8, U16, I16, U24, I24, U32, I32 };
int Read(BinInStream& s, Op op) {
    switch (op) {
    case U8: return s.ReadUInt8();
    case I8: return s.ReadInt8();
    case U16: return s.ReadUInt16();
    case I16: return s.ReadInt16();
    case U24: return s.ReadUInt24();
    case I24: return s.ReadInt24();
    case U32: return s.ReadUInt32();
    case I32: return s.ReadInt32();
    }
    return 0;
}
void Write(BinOutStream& s, Op op, int v) {
    switch (op) {
    case U8: s.WriteUInt8(v); break;
    case I8: s.WriteInt8(v); break;
    case U16: s.WriteUInt16(v); break;
    case I16: s.WriteInt16(v); break;
    case U24: s.WriteUInt24(v); break;
    case I24: s.WriteInt24(v); break;
    case U32: s.WriteUInt32(v); break;
    case I32: s.WriteInt32(v); break;
    }
}

struct Case {
    std::vector<unsigned char> bytes; // most significant first
    Op op;
    int value;
};
const Case kCases[] = {
    {{0xFF}, U8, 255}, {{0xFF}, I8, -1}, {{0x7F}, I8, 127},
    {{0xFF, 0xFE}, U16, 65534}, {{0xFF, 0xFE}, I16, -2}, {{0x12, 0x34}, U16, 0x1234},
    {{0x80, 0x00, 0x00}, U24, 8388608}, {{0x80, 0x00, 0x00}, I24, -8388608}, {{0x7F, 0xFF, 0xFF}, I24, 8388607},
    {{0x12, 0x34, 0x56, 0x78}, U32, 0x12345678}, {{0xFF, 0xFF, 0xFF, 0xFE}, I32, -2},
    {{0x80, 0x00, 0x00, 0x00}, I32, int(0x80000000u)},
};
} // namespace

TEST(BinStream, ReadsEveryWidthInBothByteOrders) {
    for (int big = 0; big <= 1; ++big) {
        for (const auto& c : kCases) {
            auto b = c.bytes;
            if (!big) std::reverse(b.begin(), b.end());
            BinInStrStream s(reinterpret_cast<const char*>(b.data()), int(b.size()));
            s.SetBigEndian(big);
            EXPECT_EQ(Read(s, c.op), c.value) << "op " << c.op << " big " << big;
            EXPECT_TRUE(s.Good());
        }
    }
}

TEST(BinStream, WritesRoundTripThroughAFile) {
    std::string path = TempPath("roundtrip.bin");
    for (int big = 0; big <= 1; ++big) {
        {
            BinOutFileStream out(path.c_str());
            out.SetBigEndian(big);
            for (const auto& c : kCases) Write(out, c.op, c.value);
            out.close();
            EXPECT_TRUE(out.WriteGood());
        }
        std::ifstream raw(path, std::ios::binary);
        std::vector<unsigned char> got((std::istreambuf_iterator<char>(raw)), std::istreambuf_iterator<char>());
        std::vector<unsigned char> want;
        for (const auto& c : kCases) {
            auto b = c.bytes;
            if (!big) std::reverse(b.begin(), b.end());
            want.insert(want.end(), b.begin(), b.end());
        }
        EXPECT_EQ(got, want);
        BinInFileStream in(path.c_str());
        in.SetBigEndian(big);
        for (const auto& c : kCases) EXPECT_EQ(Read(in, c.op), c.value);
        EXPECT_TRUE(in.Good());
        in.ReadUInt8();
        EXPECT_FALSE(in.Good());
    }
}

TEST(BinStream, WriteKeepsOnlyTheLowBytes) {
    std::string path = TempPath("low.bin");
    {
        BinOutFileStream out(path.c_str());
        out.WriteUInt24(0x01ABCDEF);
        out.WriteInt16(-2);
    }
    BinInFileStream in(path.c_str());
    EXPECT_EQ(in.ReadUInt8(), 0xAB);
    EXPECT_EQ(in.ReadUInt8(), 0xCD);
    EXPECT_EQ(in.ReadUInt8(), 0xEF);
    EXPECT_EQ(in.ReadUInt16(), 0xFFFE);
}

TEST(BinStream, ShortReadsGiveFFAndSetTheState) {
    BinInStrStream empty("", 0);
    EXPECT_EQ(empty.ReadUInt8(), 255);
    EXPECT_FALSE(empty.Good());
    EXPECT_TRUE(empty.eof());
    const char two[] = {0x12, 0x34};
    BinInStrStream s(two, 2);
    EXPECT_EQ(s.ReadUInt32(), 0x1234FFFF);
    EXPECT_FALSE(s.Good());
}

TEST(BinStream, OneByteOverrideChangesEveryWidth) {
    struct Counter : BinInStream {
        int next = 1;
        int ReadUInt8() override { return next++; }
        bool Good() const override { return true; }
    } c;
    EXPECT_EQ(c.ReadUInt24(), 0x010203);
    EXPECT_EQ(c.ReadInt16(), 0x0405);
}

TEST(BinStream, MemoryStreamSeeksAndCopies) {
    const char data[] = {1, 2, 3, 4};
    BinInStrStream s(data, 4);
    s.seekg(2);
    EXPECT_EQ(s.ReadUInt8(), 3);
    BinInStrStream copy(s);
    copy.seekg(0);
    EXPECT_EQ(copy.ReadUInt16(), 0x0102);
    s.seekg(0, std::ios::end);
    EXPECT_EQ(int(s.tellg()), 4);
}

TEST(BinStream, OpenFailuresThrowWithThePathAndCreateNothing) {
    std::string missing = TempPath("missing.bin");
    std::filesystem::remove(missing);
    try {
        BinInFileStream in(missing.c_str());
        FAIL();
    } catch (const FileOpenError& e) {
        EXPECT_EQ(std::string(e.path), missing);
    }
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_THROW(BinFileStream f(missing.c_str()), FileOpenError);
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_THROW(BinOutFileStream out("/nonexistent-dir/x.bin"), FileOpenError);

    std::string existing = TempPath("trunc.bin");
    { std::ofstream(existing) << "0123456789"; }
    { BinOutFileStream out(existing.c_str()); out.WriteUInt8(7); }
    EXPECT_EQ(std::filesystem::file_size(existing), 1u);
}

TEST(BinStream, ReadWriteStreamPatchesInPlace) {
    std::string path = TempPath("rw.bin");
    { std::ofstream(path, std::ios::binary) << "ABCD"; }
    {
        BinFileStream f(path.c_str());
        f.SetBigEndian(0);
        f.seekp(1);
        f.WriteUInt16(0x5958); // "XY" little-endian
        f.seekg(0);
        EXPECT_EQ(f.ReadUInt8(), 'A');
        EXPECT_EQ(f.ReadUInt16(), 0x5958);
    }
    std::ifstream raw(path);
    std::string s;
    raw >> s;
    EXPECT_EQ(s, "AXYD");
}
