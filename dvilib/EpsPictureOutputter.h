// EpsPictureOutputter: receives the page a Ghostscript job renders for an
// EPS picture, keeps it as a rendering and copies it onto the target in
// bands: a mask pass whitens the target where the picture has ink, a colour
// pass puts the ink there. A rendering kept from an earlier job is drawn the
// same way through Draw.
#pragma once

#include <memory>

#include "dvilib/EpsPictureCache.h"
#include "platform/gdi/DC.h"
#include "platform/ghostscript/GS.h"

class EpsPictureOutputter : public GS::PageOutputter {
public:
    // x and bottom: where the picture's lower-left corner goes, in device
    // pixels. The palette (may be null) is the drawer's, on palette devices.
    EpsPictureOutputter(CDC* target, CDC* ref, int x, int bottom, int bitsPerPixel, CPalette* palette);

    void OnPage(GS* gs, int width, int height) override;
    int IsDone(GS*) override { return 0; }
    int HasPage() const { return done; }
    // The page the job rendered; null before OnPage or when it could not be
    // read.
    std::shared_ptr<const EpsPictureCache::Rendering> Rendering() const { return rendering; }
    // Draws a rendering at the outputter's place.
    void Draw(const EpsPictureCache::Rendering& r);

private:
    std::shared_ptr<const EpsPictureCache::Rendering> rendering;
    CDC* target;
    CDC* ref;
    CPalette* palette;
    int x, bottom;
    int bitsPerPixel;
    int done = 0;
};
