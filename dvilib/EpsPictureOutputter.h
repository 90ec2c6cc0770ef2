// EpsPictureOutputter: receives the page a Ghostscript job renders for an
// EPS picture and copies it onto the target in bands: a mask pass whitens
// the target where the picture has ink, a colour pass puts the ink there.
#pragma once

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

private:
    CDC* target;
    CDC* ref;
    CPalette* palette;
    int x, bottom;
    int bitsPerPixel;
    int done = 0;
};
