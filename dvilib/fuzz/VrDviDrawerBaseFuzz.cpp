// Fuzz target of the page interpreter. The input is the body of a page of a
// document whose fonts cover every encoding (and a virtual font); the page is
// drawn in slices, and the same bytes are executed as instructions directly.
#include <cstdint>
#include <string>
#include <vector>

#include "dvilib/CharCodes.h"
#include "dvilib/VrDviError.h"
#include "dvilib/tests/DrawerFixtures.h"

using namespace dvitest;

namespace {

const char* const kFonts[][2] = {
    {"otone", "ot1"},         {"eightr", "8r-unicode"},     {"rawfont", "raw"},
    {"xhanja1", "xhanja-unicode"}, {"xsymb1", "xsymb-unicode"}, {"mssym", "mswinsymbol-unicode"},
    {"hlmj4", "hlatex"},      {"kdbc", "raw"},              {"xhan1", "xhan-unicode"},
    {"ecfont", "t1-unicode"}, {"tcfont", "ts1-unicode"},    {"lmfont", "ot1-unicode"},
    {"unisubac", "unicode-subfont"}, {"virt", "raw"},
};
constexpr int kNFonts = 14;

struct World {
    FontFolder fonts;
    std::vector<std::pair<int, std::string>> defs;
    std::string path;
    VrDvi dvi;

    World() {
        VrDviSetErrorHook([](const char*) {});
        for (int i = 0; i < kNFonts; ++i) {
            std::string name = kFonts[i][0];
            if (name == "virt")
                fonts.Tfm(name, MakeTfm('A', 'C', [](int) { return 2; }));
            else
                fonts.Tfm(name, MakeTfm(0, 255, [](int c) { return c == 0x0E || c == 0x22 ? 1 : 2; }));
            fonts.MapLine(name + " { encoding = '" + kFonts[i][1] + "'" +
                          (name == "kdbc" ? ", dbcfontname = 'Batang'" : "") + " }");
            defs.push_back({i, name});
        }
        // The virtual font: packets that nest, pop below their start, leave
        // pushes behind and refer to the font of another encoding.
        using namespace dviop;
        Bytes vf;
        vf.Op(247).U(202, 1).U(0, 1).U(0, 4).U(10u << 20, 4);
        vf.Op(FntDef1).U(0, 1).U(0, 4).U(1u << 20, 4).U(10u << 20, 4).U(0, 1).U(4, 1).Text("kdbc");
        const std::vector<unsigned char> packets[] = {
            Bytes().Op(Push).Op(Right4).S(1000, 4).Op(0xB0).Op(0xA1).Op(Pop).Rule(0x10000, 0x10000).b,
            Bytes().Op(Pop).Op(Pop).Op('A').b,
            Bytes().Op(Push).Op(Push).Op(Down4).S(-5, 4).Op('B').Special(std::string("#\x00\x04\xFF\xF0", 5)).b,
        };
        for (int c = 0; c < 3; ++c) {
            vf.Op(242).U(uint32_t(packets[c].size()), 4).U(uint32_t('A' + c), 4).U(kWideFix, 4);
            vf.Append(packets[c]);
        }
        vf.Op(248);
        while (vf.b.size() % 4) vf.Op(248);
        fonts.Vf("virt", vf.b);
        const std::string xhan = "0x0E2200 0xB0 0xA1\n0x0E2201 0xB0 0xA2\n";
        WriteFile(fonts.dir.File("xhan1.tab"), std::vector<unsigned char>(xhan.begin(), xhan.end()));
        vrcodes::LoadCodeTables(fonts.dir.Path().string().c_str());
        path = fonts.dir.File("page.dvi");
        WriteDocument(path, defs, {});
        fonts.Attach(dvi, path);
        // The target is only worth its runs when every font loaded.
        for (int i = 0; i < kNFonts; ++i)
            if (!dvi.GetExtFontIndex()[i]) __builtin_trap();
        if (!dvi.GetExtFontIndex()[kNFonts - 1]->IsVirtual()) __builtin_trap();
    }
};

World& TheWorld() {
    static World w;
    return w;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    World& w = TheWorld();
    const bool winFont = size > 0 && (data[0] & 0x80);
    WriteDocument(w.path, w.defs, std::vector<unsigned char>(data, data + size));
    w.dvi.Open(w.path.c_str(), w.fonts.Paths(), w.fonts.Paths());
    w.dvi.NewPageWritten(0);
    w.dvi.SetWinFont(winFont);

    RecordingDrawer drawer;
    if (w.dvi.GetNPage() > 0 && drawer.Open(w.dvi, 0)) {
        try {
            while (drawer.Draw(7) == 0) {
            }
        } catch (const VrDviDrawerBase::MalformedDviError&) {
        }
    }
    // The bytes as instructions, whatever the scan made of them.
    if (drawer.IsWorking() || (w.dvi.GetNPage() > 0 && drawer.Open(w.dvi, 0))) {
        const unsigned char* p = data;
        size_t left = size;
        while (left > 0) {
            int n = drawer.ProcessInstruction(p, left);
            size_t step = n < 1 ? 1 : size_t(n);
            if (step > left) __builtin_trap();
            p += step;
            left -= step;
        }
    }
    return 0;
}
