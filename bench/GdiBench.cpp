// Rates of the GDI layer against memset of the same bytes: full-page fills
// of 1-bit and 32-bit pages (the page view's clears) and copies on a 32-bit
// page, and single glyphs drawn from the font cache.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "platform/gdi/DC.h"
#include "platform/gdi/PixelBuffer.h"

namespace {
// A4 at 150 dpi.
constexpr int kW = 1240, kH = 1754;

void BM_Memset(benchmark::State& state) {
    std::vector<uint32_t> page(size_t(kW) * kH);
    for (auto _ : state) {
        std::memset(page.data(), 0xFF, page.size() * 4);
        benchmark::DoNotOptimize(page.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kW * kH * 4);
}

// The bytes of a page at a depth, as a bitmap holds them.
int64_t PageBytes(int bpp) { return int64_t((kW * bpp + 31) / 32 * 4) * kH; }

// memset of a page's bytes at a depth: the rate the fills are held to.
void BM_MemsetDepth(benchmark::State& state) {
    std::vector<uint8_t> page(size_t(PageBytes(int(state.range(0)))));
    for (auto _ : state) {
        std::memset(page.data(), 0xFF, page.size());
        benchmark::DoNotOptimize(page.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(page.size()));
}

void BM_FillRectPage(benchmark::State& state) {
    const int bpp = int(state.range(0));
    auto dc = CreateMemoryDC(kW, kH, bpp);
    CBrush brush(RGB(255, 255, 255));
    CRect r(0, 0, kW, kH);
    for (auto _ : state) dc->FillRect(&r, &brush);
    state.SetBytesProcessed(int64_t(state.iterations()) * PageBytes(bpp));
}

// The page view's clear: FillSolidRect of the whole page.
void BM_FillSolidRectPage(benchmark::State& state) {
    const int bpp = int(state.range(0));
    auto dc = CreateMemoryDC(kW, kH, bpp);
    for (auto _ : state) dc->FillSolidRect(0, 0, kW, kH, RGB(255, 255, 255));
    state.SetBytesProcessed(int64_t(state.iterations()) * PageBytes(bpp));
}

void BM_BitBltPage(benchmark::State& state) {
    auto src = CreateMemoryDC(kW, kH, 32);
    auto dst = CreateMemoryDC(kW, kH, 32);
    DWORD rop = DWORD(state.range(0));
    for (auto _ : state) dst->BitBlt(0, 0, kW, kH, src.get(), 0, 0, rop);
    state.SetBytesProcessed(int64_t(state.iterations()) * kW * kH * 4);
}

void BM_Glyphs(benchmark::State& state) {
    auto dc = CreateMemoryDC(kW, kH, 32);
    CFont font;
    font.CreateFont(-20, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Sans");
    dc->SelectObject(&font);
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextAlign(TA_BASELINE);
    // Lines of text down the page, one character per call as a page is drawn.
    int i = 0, x = 10, y = 30;
    for (auto _ : state) {
        WCHAR c = WCHAR('a' + i++ % 26);
        dc->ExtTextOutW(x, y, 0, nullptr, &c, 1, nullptr);
        if ((x += 11) > kW - 20) x = 10, y = y + 24 > kH - 10 ? 30 : y + 24;
    }
    state.SetItemsProcessed(state.iterations());
}
}  // namespace

BENCHMARK(BM_Memset);
BENCHMARK(BM_MemsetDepth)->Arg(1)->Arg(32);
BENCHMARK(BM_FillRectPage)->Arg(1)->Arg(4)->Arg(8)->Arg(24)->Arg(32);
BENCHMARK(BM_FillSolidRectPage)->Arg(1)->Arg(32);
BENCHMARK(BM_BitBltPage)->Arg(SRCCOPY)->Arg(SRCAND);
BENCHMARK(BM_Glyphs);
BENCHMARK_MAIN();
