// Documents of the search and selection fuzz targets: one page whose body is
// the input, over fonts of every single- and double-byte encoding (two of
// them with ligatures). The first byte picks WinFont mode (high bit) and a
// registered device (bit 6).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dvilib/VrDviError.h"
#include "dvilib/tests/DrawerFixtures.h"

namespace textfuzz {

using namespace dvitest;

struct World {
    FontFolder fonts;
    std::vector<std::pair<int, std::string>> defs;
    std::string path;
    VrDvi dvi;

    World() {
        VrDviSetErrorHook([](const char*) {});
        const char* const entries[][2] = {
            {"otone", "ot1"}, {"eightr", "8r-unicode"}, {"rawfont", "raw"}, {"mssym", "mswinsymbol-unicode"},
            {"xhanja1", "xhanja-unicode"}, {"kdbc", "raw"}, {"ligot1", "ot1"}, {"ligsym", "mswinsymbol-unicode"},
        };
        int k = 0;
        for (const auto& e : entries) {
            const std::string name = e[0];
            fonts.Tfm(name, name.rfind("lig", 0) == 0 ? LigatureTfm() : FullTfm());
            fonts.MapLine(name + " { encoding = '" + e[1] + "'" +
                          (name == "kdbc" ? ", dbcfontname = 'Batang'" : "") + " }");
            defs.push_back({k++, name});
        }
        path = fonts.dir.File("page.dvi");
    }

    // Opens the input as the page; false when the reader made no page of it.
    bool Load(const uint8_t* data, size_t size) {
        WriteDocument(path, defs, std::vector<unsigned char>(data, data + size));
        dvi.Open(path.c_str(), fonts.Paths(), fonts.Paths());
        dvi.NewPageWritten(0);
        dvi.SetWinFont(size > 0 && (data[0] & 0x80));
        VrDvi::DeviceSlot slot;
        if (size > 0 && (data[0] & 0x40)) slot.used = 1, slot.dpiX = slot.dpiY = 96, slot.zoom = fpreal4(10000 + data[0]);
        dvi.SetDeviceSlot(0, slot);
        return dvi.GetNPage() > 0;
    }
};

inline World& TheWorld() {
    static World w;
    return w;
}

// A 32-bit value from the input, cycling over it.
inline int Pick(const uint8_t* data, size_t size, size_t at) {
    if (size == 0) return 0;
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v = v << 8 | data[(at + i) % size];
    return int32_t(v);
}

} // namespace textfuzz
