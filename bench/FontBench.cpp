// Glyphs per second from the font engine: a line of text drawn again and
// again from the glyph cache, the same line at sizes not yet cached, making
// a font that is already cached, and memset of the mask bytes for scale.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/gdi/FontEngine.h"
#include "platform/gdi/FontEngineCache.h"

namespace {
const std::u16string kLine = u"The quick brown fox jumps over the lazy dog; 0123456789 (ABC)";

LOGFONT Font(const char* face, LONG height) {
    LOGFONT lf;
    lf.lfHeight = height;
    std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return lf;
}

void CachedLine(benchmark::State& state, const char* face) {
    auto font = FontEngine::Resolve(Font(face, -LONG(state.range(0))));
    FontInstance::Mask mask;
    int endX = 0, endY = 0;
    font->Render(kLine.data(), int(kLine.size()), nullptr, mask, endX, endY);
    for (auto _ : state) {
        font->Render(kLine.data(), int(kLine.size()), nullptr, mask, endX, endY);
        benchmark::DoNotOptimize(mask.alpha.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kLine.size()));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(mask.alpha.size()));
}

void CachedGlyphsOneByOne(benchmark::State& state) {
    auto font = FontEngine::Resolve(Font("DejaVu Serif", -LONG(state.range(0))));
    FontInstance::Mask mask;
    int endX = 0, endY = 0;
    for (auto _ : state) {
        for (char16_t c : kLine) {
            font->Render(&c, 1, nullptr, mask, endX, endY);
            benchmark::DoNotOptimize(mask.alpha.data());
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kLine.size()));
}

void UncachedSizes(benchmark::State& state) {
    LONG height = 8;
    FontInstance::Mask mask;
    int endX = 0, endY = 0;
    for (auto _ : state) {
        // More sizes than the engine keeps, so every size is drawn afresh.
        height = height >= 600 ? 8 : height + 1;
        auto font = FontEngine::Resolve(Font("DejaVu Serif", -height));
        font->Render(kLine.data(), int(kLine.size()), nullptr, mask, endX, endY);
        benchmark::DoNotOptimize(mask.alpha.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kLine.size()));
    // What the engine keeps after all those sizes.
    const FontEngine::CacheUsage u = FontEngine::Usage();
    state.counters["glyph_MiB"] = double(u.glyphBytes) / double(1 << 20);
    state.counters["instances"] = double(u.instances);
}

void ResolveCached(benchmark::State& state) {
    const LOGFONT lf = Font("CMR10", -13);
    FontEngine::Resolve(lf);
    for (auto _ : state) benchmark::DoNotOptimize(FontEngine::Resolve(lf).get());
}

void MemsetMaskBytes(benchmark::State& state) {
    auto font = FontEngine::Resolve(Font("DejaVu Serif", -LONG(state.range(0))));
    FontInstance::Mask mask;
    int endX = 0, endY = 0;
    font->Render(kLine.data(), int(kLine.size()), nullptr, mask, endX, endY);
    std::vector<uint8_t> bytes(mask.alpha.size());
    for (auto _ : state) {
        std::memset(bytes.data(), int(state.iterations() & 0xFF), bytes.size());
        benchmark::DoNotOptimize(bytes.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}
}  // namespace

BENCHMARK_CAPTURE(CachedLine, DejaVuSerif, "DejaVu Serif")->Arg(13)->Arg(40);
BENCHMARK_CAPTURE(CachedLine, CMR10, "CMR10")->Arg(13)->Arg(40);
BENCHMARK(CachedGlyphsOneByOne)->Arg(13)->Arg(40);
BENCHMARK(UncachedSizes);
BENCHMARK(ResolveCached);
BENCHMARK(MemsetMaskBytes)->Arg(13)->Arg(40);
BENCHMARK_MAIN();
