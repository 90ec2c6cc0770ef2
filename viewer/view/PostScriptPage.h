// Pages of PDF documents (PostScript is converted to PDF first) rendered by
// Ghostscript in-process into DIBs: a probe pass that only measures the page
// when the page is to fit a box, then the rendering pass. Also the mapping of
// view pixels to PDF user space that the link cursor uses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/String8.h"
#include "platform/ghostscript/GS.h"

// The 40-byte header, 256 colours and 4 spare bytes.
inline constexpr size_t kPsPageInfoBytes = 1068;
// The largest page bitmap rendered for the view.
inline constexpr size_t kPsPageMaxBytes = size_t(512) << 20;

// Notes the size of the first page output.
class PageSizeProbe : public GS::PageOutputter {
public:
    void OnPageSize(GS* gs, int width, int height) override;
    int IsDone(GS*) override { return m_width > 0; }
    int m_width = -1, m_height = -1;
};

// Copies the first page's bitmap out of the Ghostscript device.
class PageRowCollector : public GS::PageOutputter {
public:
    PageRowCollector(int bitsPerPixel, int ownsBuffers) : m_bitsPerPixel(bitsPerPixel), m_ownsBuffers(ownsBuffers) {}
    void OnPage(GS* gs, int width, int height) override;
    int IsDone(GS*) override { return 0; }

    int m_bitsPerPixel;
    std::vector<uint8_t> m_header;        // kPsPageInfoBytes once a page arrived
    std::unique_ptr<uint8_t[]> m_bits;    // stride x height
    int m_pageTaken = 0;
    int m_width = 0, m_height = 0;
    int m_ownsBuffers;
};

// Bytes of one row of a DIB of that depth (1, 4, 8, else 24 bits).
int PsRowStride(int width, int bitsPerPixel);

// The fit of a page measured at 100 dpi (w100 x h100 pixels) into a box at
// the given resolutions (dots per inch); box sides below 1 are free.
struct PsPageFit {
    int xRes = 0, yRes = 0;       // resolutions to render at
    int boxWidth = 0, boxHeight = 0;
    int fitted = 0;               // 1: render into boxWidth x boxHeight (-g)
    double scale = 1.0;
    int scale10000 = 10000;       // scale x 10000, rounded half away from zero
};
PsPageFit FitPostScriptPage(int w100, int h100, int xRes, int yRes, int boxWidth, int boxHeight);

// The job arguments of the two passes (page 0-based); empty when the joined
// line would exceed 999 characters.
std::vector<String8> PsProbeJobArgs(const char* libPath, int page);
std::vector<String8> PsRenderJobArgs(const char* libPath, int bitsPerPixel, int xRes, int yRes, int page,
                                     const PsPageFit* fit);
// Anti-aliasing asked of the display device at 8 and more bits per pixel.
inline constexpr char kPsAntiAliasCommand[] =
    "mark /GraphicsAlphaBits 4 /TextAlphaBits 4 currentdevice putdeviceprops pop\n";

// A view pixel of the page bitmap (x from the left, y from the top) in PDF
// user space: pageHeight - y counts from the bottom; the page was rendered at
// dpi x DispMag x 0.0001 dots per inch (resolution x 0.0001 = dpi).
void PsPixelToLogical(int x, int y, int pageHeight, int resolutionX, int resolutionY, int dispMag, int* lx, int* ly);

// A PostScript or PDF page's thumbnail size at 10 %: the current page's size
// (pageWidth x pageHeight at DispMag) scaled to 10 %.
void PsThumbnailSize(int pageWidth, int pageHeight, int dispMag, int* width, int* height);
