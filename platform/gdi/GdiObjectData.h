// What the handles of the GDI layer point at, and the process-wide handle
// table that owns them. A DC keeps its selected objects alive, so deleting a
// selected object never leaves the DC with a dangling one.
#pragma once

#include <memory>
#include <vector>

#include "platform/gdi/FontEngine.h"
#include "platform/gdi/GdiConstants.h"
#include "platform/gdi/PixelBuffer.h"
#include "platform/gdi/Region.h"

class CGdiObject;

struct GdiObject : std::enable_shared_from_this<GdiObject> {
    explicit GdiObject(DWORD t) : type(t) {}
    virtual ~GdiObject();
    DWORD type;  // OBJ_PEN, OBJ_BRUSH, ...
    bool stock = false;
    // The object FromHandle hands out: the CGdiObject attached to the handle,
    // else a wrapper of its own that does not own the handle.
    CGdiObject* owner = nullptr;
    std::unique_ptr<CGdiObject> wrapper;
};

struct PenData : GdiObject {
    PenData() : GdiObject(OBJ_PEN) {}
    LOGPEN pen;
};

struct BrushData : GdiObject {
    BrushData() : GdiObject(OBJ_BRUSH) {}
    LOGBRUSH brush;
    // Pattern brushes: a copy of the pattern. A 1-bit pattern from a bitmap
    // takes the DC's text (0) and background (1) colours; one from a DIB
    // keeps its colour table (monoUsesTable).
    std::shared_ptr<PixelBuffer> pattern;
    bool monoUsesTable = false;
};

struct FontData : GdiObject {
    FontData() : GdiObject(OBJ_FONT) {}
    LOGFONT font;
};

struct BitmapData : GdiObject {
    BitmapData() : GdiObject(OBJ_BITMAP) {}
    PixelBuffer pixels;
    int selectedIn = 0;  // DCs that have it selected
};

struct PaletteData : GdiObject {
    PaletteData() : GdiObject(OBJ_PAL) {}
    std::vector<PALETTEENTRY> entries;
};

struct RegionData : GdiObject {
    RegionData() : GdiObject(OBJ_REGION) {}
    Region region;
};

namespace GdiHandles {
// Registers a new object; the table owns it until DeleteObject.
HGDIOBJ Add(std::shared_ptr<GdiObject> obj);
// The object behind a live handle, else null.
std::shared_ptr<GdiObject> Get(HGDIOBJ h);
template <class T>
std::shared_ptr<T> GetAs(HGDIOBJ h, DWORD type) {
    auto o = Get(h);
    return o && o->type == type ? std::static_pointer_cast<T>(o) : nullptr;
}
// Drops the table's reference; stock objects stay.
bool Remove(HGDIOBJ h);
std::shared_ptr<GdiObject> Stock(int id);
}  // namespace GdiHandles
