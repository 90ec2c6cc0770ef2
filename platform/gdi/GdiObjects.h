// CGdiObject and its kinds: CPen, CBrush, CFont, CBitmap, CPalette, CRgn.
// Each wraps one handle and deletes it when destroyed (unless detached, or
// made by FromHandle); plus the flat functions that create and delete them.
#pragma once

#include <cstdint>
#include <string>

#include "platform/core/DibTypes.h"
#include "platform/core/Geometry.h"
#include "platform/gdi/FontEngine.h"
#include "platform/gdi/GdiConstants.h"

class CDC;
class PixelBuffer;
class Region;

class CGdiObject {
public:
    CGdiObject() = default;
    virtual ~CGdiObject();
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    HGDIOBJ m_hObject = nullptr;
    operator HGDIOBJ() const { return m_hObject; }
    HGDIOBJ GetSafeHandle() const { return m_hObject; }

    BOOL Attach(HGDIOBJ h);
    HGDIOBJ Detach();
    BOOL DeleteObject();
    BOOL CreateStockObject(int id);
    // Fills buf (LOGPEN, LOGBRUSH, LOGFONT, BITMAP, or WORD entry count for a
    // palette) and returns the bytes written, 0 on failure.
    int GetObject(int size, void* buf) const;
    UINT GetObjectType() const;
    // A wrapper that lives as long as the object and does not own it.
    static CGdiObject* FromHandle(HGDIOBJ h);

protected:
    bool owns_ = true;
    friend struct GdiObject;
};

class CPen : public CGdiObject {
public:
    CPen() = default;
    CPen(int style, int width, COLORREF color) { CreatePen(style, width, color); }
    BOOL CreatePen(int style, int width, COLORREF color);
    BOOL CreatePenIndirect(const LOGPEN* pen);
    int GetLogPen(LOGPEN* pen) const { return GetObject(sizeof(LOGPEN), pen); }
    static CPen* FromHandle(HPEN h) { return static_cast<CPen*>(CGdiObject::FromHandle(h)); }
};

class CBrush : public CGdiObject {
public:
    CBrush() = default;
    explicit CBrush(COLORREF color) { CreateSolidBrush(color); }
    BOOL CreateSolidBrush(COLORREF color);
    BOOL CreateHatchBrush(int index, COLORREF color);
    BOOL CreatePatternBrush(const class CBitmap* bitmap);
    // A packed DIB (header, colour table, bits); usage DIB_RGB_COLORS.
    BOOL CreateDIBPatternBrush(const void* packedDib, UINT usage, size_t size = SIZE_MAX);
    BOOL CreateBrushIndirect(const LOGBRUSH* brush);
    int GetLogBrush(LOGBRUSH* brush) const { return GetObject(sizeof(LOGBRUSH), brush); }
    static CBrush* FromHandle(HBRUSH h) { return static_cast<CBrush*>(CGdiObject::FromHandle(h)); }
};

class CFont : public CGdiObject {
public:
    BOOL CreateFontIndirect(const LOGFONT* lf);
    BOOL CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic,
                    BYTE underline, BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision,
                    BYTE quality, BYTE pitchAndFamily, const char* faceName);
    // Height in tenths of a point at the DC's vertical resolution (96 dpi
    // without a DC).
    BOOL CreatePointFont(int pointSize, const char* faceName, CDC* dc = nullptr);
    int GetLogFont(LOGFONT* lf) const { return GetObject(sizeof(LOGFONT), lf); }
    static CFont* FromHandle(HFONT h) { return static_cast<CFont*>(CGdiObject::FromHandle(h)); }
};

class CBitmap : public CGdiObject {
public:
    // Bits, when given, are rows of BITMAP::bmWidthBytes (2-byte aligned), top
    // row first. planes * bitsPerPixel is the depth (1, 4, 8, 24, 32).
    BOOL CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
    BOOL CreateBitmapIndirect(const BITMAP* bm);
    // The format of the DC's device, or of the bitmap selected into a memory DC.
    BOOL CreateCompatibleBitmap(CDC* dc, int width, int height);
    // A bitmap holding a packed DIB's pixels at its own depth (16-bit and
    // bit-field DIBs become 32-bit).
    BOOL CreateFromPackedDib(const void* packedDib, size_t size);
    int GetBitmap(BITMAP* bm) const { return GetObject(sizeof(BITMAP), bm); }
    CSize GetBitmapDimension() const;
    // Rows of bmWidthBytes; the bytes copied.
    DWORD GetBitmapBits(DWORD count, void* bits) const;
    DWORD SetBitmapBits(DWORD count, const void* bits);
    // The pixels themselves (null for an empty object).
    PixelBuffer* Pixels() const;
    static CBitmap* FromHandle(HBITMAP h) { return static_cast<CBitmap*>(CGdiObject::FromHandle(h)); }
};

class CPalette : public CGdiObject {
public:
    BOOL CreatePalette(const LOGPALETTE* lp);
    UINT GetEntryCount() const;
    UINT GetPaletteEntries(UINT start, UINT count, PALETTEENTRY* out) const;
    UINT SetPaletteEntries(UINT start, UINT count, const PALETTEENTRY* in);
    BOOL ResizePalette(UINT count);
    UINT GetNearestPaletteIndex(COLORREF color) const;
    static CPalette* FromHandle(HPALETTE h) { return static_cast<CPalette*>(CGdiObject::FromHandle(h)); }
};

// Regions are in device units.
class CRgn : public CGdiObject {
public:
    BOOL CreateRectRgn(int l, int t, int r, int b);
    BOOL CreateRectRgnIndirect(LPCRECT rc) { return CreateRectRgn(rc->left, rc->top, rc->right, rc->bottom); }
    BOOL CreateEllipticRgn(int l, int t, int r, int b);
    BOOL CreateRoundRectRgn(int l, int t, int r, int b, int w, int h);
    BOOL CreatePolygonRgn(const POINT* pts, int count, int fillMode);
    BOOL CreatePolyPolygonRgn(const POINT* pts, const int* counts, int polys, int fillMode);
    // Region kind (NULLREGION ...) or ERROR. The object must exist already.
    int CombineRgn(const CRgn* a, const CRgn* b, int mode);
    int CopyRgn(const CRgn* src) { return CombineRgn(src, nullptr, RGN_COPY); }
    void SetRectRgn(int l, int t, int r, int b);
    int OffsetRgn(int dx, int dy);
    int GetRgnBox(LPRECT rc) const;
    BOOL PtInRegion(int x, int y) const;
    BOOL RectInRegion(LPCRECT rc) const;
    BOOL EqualRgn(const CRgn* other) const;
    // The region data (null for an empty object).
    Region* GetRegion() const;
    static CRgn* FromHandle(HRGN h) { return static_cast<CRgn*>(CGdiObject::FromHandle(h)); }
};

// Flat functions.
HGDIOBJ GetStockObject(int id);
BOOL DeleteObject(HGDIOBJ h);
DWORD GetObjectType(HGDIOBJ h);
int GetObject(HGDIOBJ h, int size, void* buf);
HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH CreateHatchBrush(int index, COLORREF color);
HBRUSH CreateBrushIndirect(const LOGBRUSH* brush);
HBRUSH CreatePatternBrush(HBITMAP bitmap);
HPEN CreatePen(int style, int width, COLORREF color);
HPEN CreatePenIndirect(const LOGPEN* pen);
HFONT CreateFontIndirect(const LOGFONT* lf);
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, const char* faceName);
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
HPALETTE CreatePalette(const LOGPALETTE* lp);
HRGN CreateRectRgn(int l, int t, int r, int b);
int CombineRgn(HRGN dst, HRGN a, HRGN b, int mode);
UINT GetPaletteEntries(HPALETTE pal, UINT start, UINT count, PALETTEENTRY* out);
// Installed faces, also those added for the run (passed to FontEngine).
int AddFontResourceA(const char* path);
BOOL RemoveFontResourceA(const char* path);
