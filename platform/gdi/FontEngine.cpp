// Placeholder font engine: fixed metrics and no glyphs.
#include "platform/gdi/FontEngine.h"

#include <cstdlib>

namespace {
class PlaceholderFont final : public FontInstance {
public:
    explicit PlaceholderFont(const LOGFONT& lf) {
        int h = std::abs(int(lf.lfHeight));
        if (h == 0) h = 16;
        tm_.tmHeight = h;
        tm_.tmAscent = h * 4 / 5;
        tm_.tmDescent = h - tm_.tmAscent;
        tm_.tmAveCharWidth = lf.lfWidth > 0 ? lf.lfWidth : h / 2;
        tm_.tmMaxCharWidth = tm_.tmAveCharWidth * 2;
        tm_.tmWeight = lf.lfWeight ? lf.lfWeight : FW_NORMAL;
        tm_.tmItalic = lf.lfItalic;
    }
    const TEXTMETRIC& Metrics() const override { return tm_; }
    int Advance(WCHAR) const override { return tm_.tmAveCharWidth; }
    void Render(const WCHAR*, int count, const int* dx, Mask& out, int& endX, int& endY) const override {
        out = Mask{};
        endX = 0;
        for (int i = 0; i < count; ++i) endX += dx ? dx[i] : tm_.tmAveCharWidth;
        endY = 0;
    }

private:
    TEXTMETRIC tm_;
};
}  // namespace

namespace FontEngine {
std::shared_ptr<const FontInstance> Resolve(const LOGFONT& lf) { return std::make_shared<PlaceholderFont>(lf); }
int EnumFontFamilies(const char*, FONTENUMPROC, LPARAM) { return 0; }
int AddFontResource(const char*) { return 0; }
BOOL RemoveFontResource(const char*) { return FALSE; }
}  // namespace FontEngine
