// Shared part of the drawer fuzz targets: a document of one empty page over a
// folder of fonts, and a page drawer with a small memory DC to open on it.
#pragma once

#include <memory>

#include "dvilib/VrDviDrawer.h"
#include "dvilib/VrDviError.h"
#include "dvilib/tests/DrawerFixtures.h"

namespace drawerfuzz {

using namespace dvitest;

struct DrawerWorld {
    TempDir dir;
    FontFolder fonts;
    VrDvi dvi;
    std::unique_ptr<CDC> dc = CreateMemoryDC(64, 64, 32, 96);
    VrDviDrawer drawer;

    DrawerWorld() {
        VrDviSetErrorHook([](const char*) {});
        WriteDocument(dir.File("doc.dvi"), {}, Bytes().Op(dviop::Nop).b);
        fonts.Attach(dvi, dir.File("doc.dvi"));
    }
};

} // namespace drawerfuzz
