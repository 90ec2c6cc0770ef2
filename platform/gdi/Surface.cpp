#include "platform/gdi/Surface.h"

#include "platform/gdi/DC.h"
#include "platform/gdi/PixelBuffer.h"

std::unique_ptr<CDC> CreateSurfaceDC(WindowSurface& surface) {
    auto dc = std::make_unique<CDC>();
    dc->kind_ = CDC::Kind::Surface;
    auto px = std::make_unique<PixelBuffer>();
    if (surface.pixels.size() < size_t(surface.width) * size_t(surface.height)) return nullptr;
    if (!px->Wrap(reinterpret_cast<uint8_t*>(surface.pixels.data()), surface.width, surface.height, 32,
                  surface.width * 4))
        return nullptr;
    dc->SetDevicePixels(std::move(px));
    return dc;
}

std::unique_ptr<CDC> CreateScreenDC(int dpi) {
    auto dc = std::make_unique<CDC>();
    dc->kind_ = CDC::Kind::Surface;
    DeviceCaps caps;
    caps.logPixelsX = caps.logPixelsY = dpi;
    dc->SetDeviceCaps(caps);
    return dc;
}
