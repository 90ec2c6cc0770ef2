// The printer DC: pages are rasterised at the printer's resolution and
// handed, whole or in bands, to a print sink (the UI layer's sink drives
// real printers and PDF files; tests use one that keeps images).
#pragma once

#include <memory>
#include <string>

#include "platform/gdi/GdiConstants.h"

class CDC;
class PixelBuffer;

// The printer as the DC reports it: all sizes in device pixels. The DC's
// drawing surface is the printable area, its origin at the printable corner.
struct PrinterInfo {
    int dpiX = 300, dpiY = 300;
    int physicalWidth = 2480, physicalHeight = 3508;  // the sheet
    int offsetX = 0, offsetY = 0;                      // printable corner on the sheet
    int printableWidth = 2480, printableHeight = 3508;
    int bandHeight = 0;  // rows per band handed to the sink; 0: whole pages
};

// Rows of one band: 32-bit pixels as WindowSurface holds them (0xFFRRGGBB),
// stride in pixels; top is the band's first row within the printable area.
struct PrintBand {
    const uint32_t* pixels = nullptr;
    int width = 0, height = 0, stride = 0;
    int top = 0;
    int pageHeight = 0;
};

class PrintSink {
public:
    virtual ~PrintSink() = default;
    // False fails StartDoc.
    virtual bool BeginDocument(const std::string& name, const PrinterInfo& printer) = 0;
    virtual bool BeginPage(int pageNumber) { (void)pageNumber; return true; }
    virtual bool PrintBand(const ::PrintBand& band) = 0;
    virtual bool EndPage() { return true; }
    virtual bool EndDocument() = 0;
    virtual void AbortDocument() {}
};

// Called by the printer DC at StartPage and after each band it hands on;
// returning FALSE aborts the document.
using ABORTPROC = BOOL (*)(HDC dc, int error);

// What a printer DC keeps between StartDoc and EndDoc.
struct PrintJob {
    PrinterInfo info;
    PrintSink* sink = nullptr;
    ABORTPROC abortProc = nullptr;
    bool inDoc = false, inPage = false;
    int page = 0;
};

// A printer DC over the sink (caps: the printer's dpi, sizes and offsets,
// DT_RASPRINTER, RC_STRETCHDIB | RC_DIBTODEV without RC_PALETTE). Drawing
// before StartPage has no surface and does nothing.
std::unique_ptr<CDC> CreatePrinterDC(const PrinterInfo& printer, PrintSink& sink);
int SetAbortProc(HDC dc, ABORTPROC proc);
