#include "base/BinStream.h"

unsigned BinInStream::ReadBytes(int n) {
    unsigned v = 0;
    if (bigEndian) {
        for (int i = 0; i < n; ++i) v = (v << 8) | unsigned(ReadUInt8() & 0xFF);
    } else {
        for (int i = 0; i < n; ++i) v |= unsigned(ReadUInt8() & 0xFF) << (8 * i);
    }
    return v;
}

int BinInStream::ReadInt8() { return static_cast<signed char>(ReadUInt8()); }
int BinInStream::ReadUInt16() { return int(ReadBytes(2)); }
int BinInStream::ReadInt16() { return static_cast<short>(ReadUInt16()); }
int BinInStream::ReadUInt24() { return int(ReadBytes(3)); }
int BinInStream::ReadInt24() {
    int v = ReadUInt24();
    return (v & 0x800000) ? v - 0x1000000 : v;
}
int BinInStream::ReadUInt32() { return int(ReadBytes(4)); }
int BinInStream::ReadInt32() { return ReadUInt32(); }

void BinOutStream::WriteBytes(unsigned v, int n) {
    if (bigEndian) {
        for (int i = n - 1; i >= 0; --i) WriteUInt8(int((v >> (8 * i)) & 0xFF));
    } else {
        for (int i = 0; i < n; ++i) WriteUInt8(int((v >> (8 * i)) & 0xFF));
    }
}

void BinOutStream::WriteInt8(int v) { WriteUInt8(v); }
void BinOutStream::WriteUInt16(int v) { WriteBytes(unsigned(v), 2); }
void BinOutStream::WriteInt16(int v) { WriteUInt16(v); }
void BinOutStream::WriteUInt24(int v) { WriteBytes(unsigned(v), 3); }
void BinOutStream::WriteInt24(int v) { WriteUInt24(v); }
void BinOutStream::WriteUInt32(int v) { WriteBytes(unsigned(v), 4); }
void BinOutStream::WriteInt32(int v) { WriteUInt32(v); }

namespace {
int GetByte(std::istream& in) {
    int c = in.get();
    return c == std::char_traits<char>::eof() ? 0xFF : (c & 0xFF);
}
} // namespace

BinInFileStream::BinInFileStream(const char* path, int prot) {
    if (path) open(path, prot);
}
void BinInFileStream::open(const char* path, int) {
    std::ifstream::open(path ? path : "", std::ios::in | std::ios::binary);
    if (fail() || bad()) throw FileOpenError(path);
}
int BinInFileStream::ReadUInt8() { return GetByte(*this); }

BinOutFileStream::BinOutFileStream(const char* path, int prot) {
    if (path) open(path, prot);
}
void BinOutFileStream::open(const char* path, int) {
    std::ofstream::open(path ? path : "", std::ios::out | std::ios::trunc | std::ios::binary);
    if (fail() || bad()) throw FileOpenError(path);
}
void BinOutFileStream::WriteUInt8(int v) { put(char(v & 0xFF)); }

BinFileStream::BinFileStream(const char* path, int prot) {
    if (path) open(path, prot);
}
void BinFileStream::open(const char* path, int) {
    std::fstream::open(path ? path : "", std::ios::in | std::ios::out | std::ios::binary);
    if (fail() || bad()) throw FileOpenError(path);
}
int BinFileStream::ReadUInt8() { return GetByte(*this); }
void BinFileStream::WriteUInt8(int v) { put(char(v & 0xFF)); }

BinInStrStream::MemBuf::MemBuf(const char* p, int n) : base_(p), size_(n < 0 ? 0 : n) {
    char* b = const_cast<char*>(p);
    setg(b, b, b + size_);
}

std::streambuf::pos_type BinInStrStream::MemBuf::seekoff(off_type off, std::ios_base::seekdir dir,
                                                          std::ios_base::openmode which) {
    if (!(which & std::ios_base::in)) return pos_type(off_type(-1));
    off_type cur = gptr() - eback();
    off_type target = dir == std::ios_base::beg ? off : dir == std::ios_base::cur ? cur + off : size_ + off;
    if (target < 0 || target > size_) return pos_type(off_type(-1));
    setg(eback(), eback() + target, egptr());
    return pos_type(target);
}

std::streambuf::pos_type BinInStrStream::MemBuf::seekpos(pos_type pos, std::ios_base::openmode which) {
    return seekoff(off_type(pos), std::ios_base::beg, which);
}

BinInStrStream::BinInStrStream(const char* buffer, int size) : std::istream(nullptr), buf_(buffer, size) {
    rdbuf(&buf_);
}

BinInStrStream::BinInStrStream(const BinInStrStream& other)
    : BinByteOrder(other), std::basic_ios<char>(nullptr), BinInStream(other), std::istream(nullptr), buf_(other.buf_.base_, other.buf_.size_) {
    rdbuf(&buf_);
    SetBigEndian(other.IsBigEndian());
}

int BinInStrStream::ReadUInt8() { return GetByte(*this); }
