// Binary integer streams: signed and unsigned 1- to 4-byte integers over files
// and memory, most significant byte first unless the byte order is changed.
//
// Every wider read goes through the virtual ReadUInt8 and every wider write
// through WriteUInt8, so a subclass that overrides the one-byte operation
// changes the source or sink of all widths. A read past the end yields 0xFF
// per missing byte and leaves the stream's fail state set; Good() tells it.
#pragma once

#include <fstream>
#include <istream>
#include <streambuf>

#include "base/Errors.h"

class PELLIX_API BinByteOrder {
public:
    BinByteOrder() = default;
    void SetBigEndian(int flag) { bigEndian = flag; }
    int IsBigEndian() const { return bigEndian; }

protected:
    int bigEndian = 1;
};

class PELLIX_API BinInStream : public virtual BinByteOrder {
public:
    virtual ~BinInStream() = default;
    virtual int ReadInt8();
    virtual int ReadUInt8() = 0;
    virtual int ReadInt16();
    virtual int ReadUInt16();
    virtual int ReadInt24();
    virtual int ReadUInt24();
    virtual int ReadInt32();
    virtual int ReadUInt32();
    // False once a read has met the end of the data or an error.
    virtual bool Good() const = 0;

protected:
    unsigned ReadBytes(int n);
};

class PELLIX_API BinOutStream : public virtual BinByteOrder {
public:
    virtual ~BinOutStream() = default;
    virtual void WriteInt8(int v);
    virtual void WriteUInt8(int v) = 0;
    virtual void WriteInt16(int v);
    virtual void WriteUInt16(int v);
    virtual void WriteInt24(int v);
    virtual void WriteUInt24(int v);
    virtual void WriteInt32(int v);
    virtual void WriteUInt32(int v);
    // False once a write has failed.
    virtual bool WriteGood() const = 0;

protected:
    void WriteBytes(unsigned v, int n);
};

class PELLIX_API BinStream : public BinInStream, public BinOutStream {};

// Share modes of the original platform are accepted and have no effect here.
constexpr int kDefaultShare = 0;

class PELLIX_API BinInFileStream : public BinInStream, public std::ifstream {
public:
    explicit BinInFileStream(const char* path = nullptr, int prot = kDefaultShare);
    void open(const char* path, int prot = kDefaultShare);
    int ReadUInt8() override;
    bool Good() const override { return good(); }
};

class PELLIX_API BinOutFileStream : public BinOutStream, public std::ofstream {
public:
    explicit BinOutFileStream(const char* path = nullptr, int prot = kDefaultShare);
    void open(const char* path, int prot = kDefaultShare);
    void WriteUInt8(int v) override;
    bool WriteGood() const override { return good(); }
};

// Reader and writer of one existing file (opened in|out; a missing file fails).
class PELLIX_API BinFileStream : public BinStream, public std::fstream {
public:
    explicit BinFileStream(const char* path = nullptr, int prot = kDefaultShare);
    void open(const char* path, int prot = kDefaultShare);
    int ReadUInt8() override;
    void WriteUInt8(int v) override;
    bool Good() const override { return good(); }
    bool WriteGood() const override { return good(); }
};

// Reader of a memory buffer that it does not copy; the buffer must outlive it.
class PELLIX_API BinInStrStream : public BinInStream, public std::istream {
public:
    BinInStrStream(const char* buffer, int size);
    BinInStrStream(const BinInStrStream& other);
    BinInStrStream& operator=(const BinInStrStream&) = delete;
    int ReadUInt8() override;
    bool Good() const override { return good(); }

private:
    class MemBuf : public std::streambuf {
    public:
        MemBuf(const char* p, int n);
        const char* base_;
        int size_;

    protected:
        pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode which) override;
        pos_type seekpos(pos_type pos, std::ios_base::openmode which) override;
    };
    MemBuf buf_;
};
