// Fuzz target of the binary drawing-command special and the drawer's text
// specials. The first input byte chooses a prefix ("GDI", "#" or none) for
// the rest, which becomes one xxx instruction of an open page drawn on a
// small memory DC.
#include <cstdint>
#include <string>
#include <vector>

#include "dvilib/fuzz/DrawerFuzzWorld.h"

using namespace drawerfuzz;

namespace {

struct World : DrawerWorld {
    int uses = 0;

    World() { Open(); }
    ~World() { drawer.Close(); }
    void Open() { drawer.Open(*dc, dvi, 0, fpreal4(10000), 10, 10, RGB(0, 0, 255), String8("anchor")); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static World world;
    if (size == 0 || size > 1 << 16) return 0;
    static const char* const kPrefixes[] = {"GDI", "#", ""};
    const std::string prefix = kPrefixes[data[0] % 3];
    std::vector<unsigned char> inst = {dviop::Xxx4};
    const uint32_t n = uint32_t(prefix.size() + size - 1);
    for (int i = 3; i >= 0; --i) inst.push_back((unsigned char)(n >> (8 * i)));
    inst.insert(inst.end(), prefix.begin(), prefix.end());
    inst.insert(inst.end(), data + 1, data + size);
    world.drawer.ProcessInstruction(inst.data(), inst.size());
    // Pages end now and then, so that state does not pile up.
    if (++world.uses % 64 == 0) {
        world.drawer.Close();
        world.Open();
    }
    return 0;
}
