// LOGFONTs and text as a document may give them (WinFont mode takes sizes,
// escapement, weight and face names from the DVI file): the font is made,
// measured and drawn.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/gdi/FontEngine.h"

namespace {
struct Reader {
    const uint8_t* p;
    size_t n;
    uint8_t Byte() {
        if (!n) return 0;
        --n;
        return *p++;
    }
    int16_t Short() { return int16_t(Byte() | (Byte() << 8)); }
};

const char* const kNames[] = {"DejaVu Sans", "CMR10", "cmmi10", "", "Computer Modern", "DejaVu Serif",
                              "No Such Face", "MSAM10"};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader in{data, size};
    LOGFONT lf;
    // Sizes stay moderate so that a run stays quick; the engine's own bounds
    // for larger ones have their test.
    lf.lfHeight = in.Short() % 600;
    lf.lfWidth = in.Short() % 600;
    lf.lfEscapement = lf.lfOrientation = in.Short();
    lf.lfWeight = in.Short();
    const uint8_t flags = in.Byte();
    lf.lfItalic = flags & 1;
    lf.lfUnderline = (flags >> 1) & 1;
    lf.lfCharSet = (flags & 4) ? HANGUL_CHARSET : (flags & 8) ? SYMBOL_CHARSET : DEFAULT_CHARSET;
    const uint8_t name = in.Byte();
    if (name < 0x80) {
        std::strncpy(lf.lfFaceName, kNames[name % std::size(kNames)], LF_FACESIZE - 1);
    } else {
        for (int i = 0; i < (name & 0x3F) && i < LF_FACESIZE; ++i) lf.lfFaceName[i] = char(in.Byte());
    }
    std::vector<WCHAR> text;
    std::vector<int> dx;
    while (in.n >= 2 && text.size() < 16) {
        text.push_back(WCHAR(in.Short()));
        if (flags & 0x10) dx.push_back(in.Short());
    }
    auto font = FontEngine::Resolve(lf);
    const TEXTMETRIC& tm = font->Metrics();
    if (tm.tmHeight < 0 || tm.tmAscent + tm.tmDescent != tm.tmHeight) __builtin_trap();
    for (WCHAR c : text) (void)font->Advance(c);
    FontInstance::Mask mask;
    int endX = 0, endY = 0;
    font->Render(text.data(), int(text.size()), (flags & 0x10) ? dx.data() : nullptr, mask, endX, endY);
    if (mask.alpha.size() != size_t(mask.width) * size_t(mask.height)) __builtin_trap();
    return 0;
}
