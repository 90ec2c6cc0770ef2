// Fuzz target of the picture readers of the page drawer: the first input byte
// chooses the type (metafile, JPEG, GIF, PNG or BMP), the rest is the file,
// drawn at its natural size on a small memory DC.
#include <cstdint>
#include <vector>

#include "dvilib/fuzz/DrawerFuzzWorld.h"

using namespace drawerfuzz;

namespace {

struct World : DrawerWorld {
    World() { drawer.Open(*dc, dvi, 0, fpreal4(10000), 0, 0, 0, String8()); }
    ~World() { drawer.Close(); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static World world;
    if (size == 0 || size > 1 << 20) return 0;
    static const int kTypes[] = {0, 2, 3, 4, 5};
    const std::string file = world.dir.File("picture");
    WriteFile(file, std::vector<unsigned char>(data + 1, data + size));
    VrDviDrawer::PictInfo p;
    p.type = kTypes[data[0] % 5];
    p.fileName = file.c_str();
    // Whole pictures and, for a byte with bit 7 set, a source rectangle.
    if (data[0] & 0x80) {
        p.hScale = -40, p.vScale = -30;
        p.box[0] = 1, p.box[1] = 2, p.box[2] = 300, p.box[3] = 200;
    }
    world.drawer.DrawPicture(&p);
    return 0;
}
