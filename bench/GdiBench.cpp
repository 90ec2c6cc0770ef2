// Rates of the GDI layer against memset of the same bytes: full-page fills
// and copies on a 32-bit page, and single glyphs drawn from the font cache.
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

void BM_FillRectPage(benchmark::State& state) {
    auto dc = CreateMemoryDC(kW, kH, 32);
    CBrush brush(RGB(255, 255, 255));
    CRect r(0, 0, kW, kH);
    for (auto _ : state) dc->FillRect(&r, &brush);
    state.SetBytesProcessed(int64_t(state.iterations()) * kW * kH * 4);
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
BENCHMARK(BM_FillRectPage);
BENCHMARK(BM_BitBltPage)->Arg(SRCCOPY)->Arg(SRCAND);
BENCHMARK(BM_Glyphs);
BENCHMARK_MAIN();
