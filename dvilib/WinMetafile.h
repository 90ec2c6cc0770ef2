// WinMetafile: a placeable Windows metafile (.wmf) read from a stream: the
// 22-byte placeable header with the picture's box and units per inch, then
// the standard metafile, made into a handle the GDI layer plays.
#pragma once

#include <istream>

#include "platform/gdi/MetaFile.h"

class WinMetafile {
public:
    // Read on a metafile that is already open.
    class ReOpenError {};

    explicit WinMetafile(const char* file = nullptr);
    ~WinMetafile();
    WinMetafile(const WinMetafile&) = delete;
    WinMetafile& operator=(const WinMetafile&) = delete;

    // 1 when the file holds a placeable metafile.
    int Open(const char* file);
    // Reads the metafile at the stream's position: 1, or 0 for a short read,
    // a wrong key, a box or units per inch that give no size, or a metafile
    // size beyond the stream. Throws ReOpenError when already opened.
    int Read(std::istream& s);
    void Close();

    int IsOpened() const { return opened; }
    int GetLeft() const { return left; }
    int GetTop() const { return top; }
    int GetRight() const { return right; }
    int GetBottom() const { return bottom; }
    int GetUnitsPerInch() const { return unitsPerInch; }
    HMETAFILE GetHandle() const { return handle; }

private:
    int opened = 0;
    int left = 0, top = 0, right = 0, bottom = 0, unitsPerInch = 0;
    HMETAFILE handle = nullptr;
};
