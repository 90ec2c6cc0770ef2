// ViewStatus: the record of what a page view shows. A caller takes the
// view's state with GetViewStatus, changes fields and applies the record
// with SetStatus.
#pragma once

#include "base/String8.h"
#include "platform/core/WinTypes.h"
#include "viewer/document/PaperSize.h"

// Fit modes (DispMagSpec).
enum { kFitNone = 0, kFitWidth = 1, kFitPage = 2, kFitWidthMargin = 3, kFitPageMargin = 4 };

// Document types.
// kDocPsRaw: PostScript before its conversion to PDF.
enum { kDocDvi = 0, kDocTiff = 1, kDocPsRaw = 2, kDocPs = 3, kDocGzip = 4 };

struct ViewStatus {
    int resolutionX = 0;      // dots per inch x 10000
    int resolutionY = 0;
    int DispMag = 0;          // percent x 100
    int GlassDispMag = 0;
    int DispMagSpec = 0;      // fit mode
    PaperSize paper{PaperSize::kCustom, 0};
    int pageWidth = 0;        // page bitmap, pixels
    int pageHeight = 0;
    int glassPageWidth = 0;
    int glassPageHeight = 0;
    int EnableColor = 0;
    int glassEnabled = 0;     // set only by SetInitialViewStatus
    int hMargin = 0;          // 1/10000 mm
    int vMargin = 0;
    int scrollX = 0;          // page-bitmap pixel at the page area's left edge
    int scrollY = 0;          // ... and top edge
    int originX = 0;          // home scroll position
    int originY = 0;
    COLORREF workspaceColor = 0;
    int page = 0;             // 0-based
    int scrollBarFlags = 0;   // bit 0 the bottom row, bit 1 the vertical bar
    int showToolbar = 0;
    int showMainToolbar = 0;
    String8 targetName;       // a tag whose position the drawer reports
    int GSScreenBitsPerPixel = 0;
    int GlassGSBitsPerPixel = 0;
    int rotation = 0;         // TIFF
    int tiffWidth = 0;
    int tiffHeight = 0;
    int topOffset = 0;        // pixels taken by the toolbar band
};
