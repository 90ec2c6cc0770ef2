// CGSFile: a thin file-descriptor wrapper, used to read the BMP pages that
// the Ghostscript console program writes into a pipe.
#pragma once

#include "dvilib/VrDviApi.h"

class VRDVI_API CGSFile {
public:
    // Closed (handle -1).
    CGSFile() = default;
    // Wraps an open descriptor, such as the read end of a pipe.
    explicit CGSFile(int handle) : m_handle(handle) {}
    // Not closed here: the owner calls Close.
    ~CGSFile() = default;
    CGSFile(const CGSFile&) = delete;
    CGSFile& operator=(const CGSFile&) = delete;

    // Opens an existing file: for writing when (mode & 15) == 1, else for
    // reading (the sharing bits of mode have no meaning here). 1 on success;
    // on failure the handle is -1 and the result 0.
    int Open(const char* name, unsigned int mode);
    // One read or write (retried when interrupted): the bytes moved, 0 at
    // the end of the stream or on failure.
    unsigned int Read(void* buffer, unsigned int count);
    unsigned int Write(const void* buffer, unsigned int count);
    // Repeats Read until count bytes have come or the stream ends; the
    // bytes read.
    unsigned int ReadFully(void* buffer, unsigned int count);
    // From the current position when from == 1, from the end when 2, else
    // from the start; the new position, -1 on failure.
    long Seek(long offset, unsigned int from);
    void Close();

    int GetHandle() const { return m_handle; }

private:
    int m_handle = -1;
};
