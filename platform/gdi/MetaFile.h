// Windows metafiles (WMF): handles made from the bytes of a standard
// metafile (the part after a placeable header), played record by record on
// a DC. Records the player does not know are skipped; a malformed or
// truncated record ends the playback with a failure.
#pragma once

#include <cstdint>

#include "platform/gdi/GdiConstants.h"

// Key and size of the placeable header that precedes the standard metafile
// in a .wmf file.
constexpr DWORD kPlaceableMetaKey = 0x9AC6CDD7;
constexpr int kPlaceableHeaderSize = 22;

// A copy of the bytes; null when the standard header is not valid.
HMETAFILE SetMetaFileBitsEx(UINT size, const BYTE* data);
BOOL DeleteMetaFile(HMETAFILE mf);
// Copies the bytes into buf (when given); the size of the metafile.
UINT GetMetaFileBitsEx(HMETAFILE mf, UINT size, void* buf);
// Plays every record on dc; the DC's state is the same afterwards.
BOOL PlayMetaFile(HDC dc, HMETAFILE mf);
