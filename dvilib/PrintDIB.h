// CPrintDIB: prints the BMP pages of a Ghostscript stream band by band on a
// printer DC. Each page's header is read with ReadHeader; its rows (bottom
// row first, row 0 the bottom row) go to AddPrintLine and the page ends with
// FlushPrintBitmap, or ReadPageRows does all of that. Only rows with ink are
// printed: runs of them become bands, trimmed to their inked columns, and
// black-and-white grey or colour bands are sent as 1-bit bitmaps.
#pragma once

#include <cstdint>
#include <vector>

#include "dvilib/GSFile.h"
#include "dvilib/VrDviApi.h"
#include "platform/core/DibTypes.h"
#include "platform/gdi/GdiConstants.h"

// Why ReadHeader or ReadPageRows stopped.
enum class GSPageError {
    None,        // no error; after ReadHeader answered 0: the stream ended between pages
    NotBmp,      // the page does not start with a BMP file header
    CutShort,    // the stream ended inside a page
    BadHeader,   // the header is malformed, of a kind not printed, or longer than its offset allows
    RowTooWide,  // a row larger than the largest band
};

// The DIB held by the printer: its header fields, colour table and palette.
class CDibBase {
public:
    CDibBase();
    virtual ~CDibBase();
    CDibBase(const CDibBase&) = delete;
    CDibBase& operator=(const CDibBase&) = delete;

protected:
    static constexpr unsigned kHeaderBufferSize = 1128;

    std::vector<uint8_t> m_headerBuffer;  // info header and colour table as read
    unsigned char* m_bits = nullptr;
    // Info header fields.
    uint32_t m_headerSize = 0;
    int32_t m_width = 0, m_height = 0;
    uint16_t m_planes = 0, m_bitCount = 0;
    uint32_t m_compression = 0, m_sizeImage = 0;
    int32_t m_xRes = 0, m_yRes = 0;
    uint32_t m_clrUsed = 0, m_clrImportant = 0;
    RGBQUAD m_colours[256] = {};
    int m_colourCount = 0;   // entries in m_colours
    uint32_t m_masks[3] = {0, 0, 0};  // bit fields of 16 and 32-bit rows
    unsigned m_stride = 0;
    int m_core = 0;
    int m_paletteReady = 0;
    HPALETTE m_palette = nullptr;

    // Parses the header buffer's first avail bytes; false when malformed.
    GSPageError ParseHeader(unsigned avail);
    // The logical palette from the colour table; ready also without colours.
    void MakePalette();
    void FreePalette();
    // A BITMAPINFO of the current fields and colours for drawing.
    const BITMAPINFO* DrawInfo(int bandHeight);

private:
    std::vector<uint8_t> m_drawInfo;
};

class VRDVI_API CPrintDIB : public CDibBase {
public:
    // The band buffer's size; a row larger than this gets a band of its own
    // size, up to kMaxStride.
    static constexpr unsigned kBandSize = 0x100000;
    static constexpr unsigned kMaxStride = 0x2000000;

    CPrintDIB();
    ~CPrintDIB() override;

    // Reads one page's BMP file header, info header and colour table. 1 on
    // success; 0 otherwise, with GetError() None when the stream ended
    // cleanly before the page and the reason else. After a failure the stream
    // is out of step: the job stops and tells the user.
    int ReadHeader(CGSFile* file);
    // Takes one pixel row (GetStride() bytes); row counts from 0 at the
    // bottom of the page.
    void AddPrintLine(HDC dc, unsigned int row, unsigned char* bits);
    // Prints the pending band, if any, and starts a new one.
    void FlushPrintBitmap(HDC dc);
    // Reads the page's rows from file and, when print is set, prints them
    // (AddPrintLine each, then FlushPrintBitmap); pages that are not printed
    // are still read, so the stream stays in step. 1 when all rows came; 0
    // when the stream ended inside the page (GetError() CutShort: the band
    // pending at the cut is dropped) or no page header was read.
    int ReadPageRows(CGSFile* file, HDC dc, int print);

    // The page read by ReadHeader.
    int GetWidth() const { return m_pageWidth; }
    int GetHeight() const { return m_pageHeight; }
    int GetBitCount() const { return m_pageBitCount; }
    unsigned GetStride() const { return m_pageStride; }
    GSPageError GetError() const { return m_error; }

protected:
    // Draws a ready band (the last step of printing one); the result of
    // StretchDIBits.
    virtual int StretchBand(HDC dc, int x, int y, const BITMAPINFO* info, const void* bits, UINT usage);

private:
    int GetBlackWhiteIndex();
    int ScanForWhite(const unsigned char* bits);
    int ScanForGrey(const unsigned char* bits);
    int ScanForColour(const unsigned char* bits);
    void ResetPrintLine();
    void TrimBitmap();
    void ConvertGreyToMono();
    void ConvertColourToMono();
    // Takes a 1-bit band of the current width in place of the band.
    void StoreMono(const std::vector<unsigned char>& mono);
    void MakePaletteMono();
    void DrawBand(HDC dc, int x, int y);
    void Widen(unsigned first, unsigned last);

    // The page's own header fields and colours, restored for every band.
    struct Saved {
        int32_t width = 0;
        uint16_t bitCount = 0;
        uint32_t compression = 0, sizeImage = 0, clrUsed = 0, clrImportant = 0;
        RGBQUAD colours[256] = {};
        int colourCount = 0;
    } m_saved;
    int m_pageWidth = 0, m_pageHeight = 0, m_pageBitCount = 0;
    unsigned m_pageStride = 0;
    GSPageError m_error = GSPageError::None;

    std::vector<unsigned char> m_band;
    unsigned m_bandUsed = 0;
    int m_bandHeight = 0;
    int m_trimX = 0;
    unsigned m_firstRow = 0;
    unsigned m_minByte = 0, m_maxByte = 0;
    int m_started = 0, m_hasColour = 0, m_hasGrey = 0;
    int m_black = -1, m_white = -1, m_white2 = -1;
    int m_whiteByte = 0, m_white2Byte = 0;
};
