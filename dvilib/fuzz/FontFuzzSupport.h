// Shared part of the metric and VF fuzz targets: a folder of this process
// that holds the file under test, a reader that loads fonts from it, and a
// check that every rewritten packet is playable.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "dvilib/DviOpcodes.h"
#include "dvilib/LigatureLetters.h"
#include "dvilib/VrDviError.h"
#include "dvilib/VrDviFont.h"

namespace fontfuzz {

class FuzzDvi : public VrDvi {
public:
    using VrDvi::LoadItrnFont;
    using VrDvi::VrDvi;
};

inline const std::string& Dir() {
    static const std::string dir = [] {
        std::string d = "/tmp/vrdvi-fontfuzz-" + std::to_string(getpid());
        std::filesystem::create_directories(d);
        VrDviSetErrorHook([](const char*) {});
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all("/tmp/vrdvi-fontfuzz-" + std::to_string(getpid()), ec);
        });
        return d;
    }();
    return dir;
}

inline void Write(const std::string& name, const uint8_t* data, size_t size) {
    FILE* f = std::fopen((Dir() + "/" + name).c_str(), "wb");
    if (!f) std::abort();
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
}

inline void Check(bool ok) {
    if (!ok) __builtin_trap();
}

// A packet holds only the instructions the rewriter emits, each whole.
inline void CheckPacket(const unsigned char* p, int n) {
    using namespace dviop;
    Check(n >= 0 && n <= VrDvi::ItrnFont::kMaxPacket);
    int i = 0;
    while (i < n) {
        int op = p[i++], params;
        if (op <= SetChar127 || (op >= FntNum0 && op <= FntNum63) || op == Nop || op == Push || op == Pop ||
            op == W0 || op == X0 || op == Y0 || op == Z0)
            params = 0;
        else if (op == Set1 || op == Put1 || op == Fnt1) params = 1;
        else if (op == Set2 || op == Put2 || op == Fnt2) params = 2;
        else if (op == Right4 || op == W4 || op == X4 || op == Down4 || op == Y4 || op == Z4) params = 4;
        else if (op == SetRule || op == PutRule) params = 8;
        else if (op == Xxx4) {
            Check(i + 4 <= n);
            params = 4 + (p[i] << 24 | p[i + 1] << 16 | p[i + 2] << 8 | p[i + 3]);
        } else {
            Check(false);
            params = 0;
        }
        Check(params >= 0 && i + params <= n);
        i += params;
    }
}

// Loads the font "fz" at a small and a large size and reads every answer
// it gives for the character codes below `codes`.
inline void Exercise(FuzzDvi& dvi, unsigned codes = 300) {
    for (int size : {10 << 16, 300 << 16, 1}) {
        VrDvi::ItrnFont* f = dvi.LoadItrnFont("", "fz", size, 0);
        if (!f) continue;
        long sum = 0;
        for (unsigned c = 0; c < codes; ++c) {
            sum += f->GetCharWidthA(c) + f->GetCharHeight(c) + f->GetCharDepth(c) + f->GetCharItalic(c);
            const unsigned char* p = f->GetCharPacket(c);
            Check((p != nullptr) == (f->IsVirtual() && f->IsValidChar(c)));
            if (p) CheckPacket(p, f->GetCharPacketLength(c));
            if (const char* l = f->GetLigatureLetters(c)) {
                const std::string letters = l;
                Check(letters.size() >= 2 && letters.size() <= ligature::kMaxLetters);
                for (char ch : letters) Check((ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z'));
            }
        }
        for (unsigned k = 0; k < 4; ++k)
            if (VrDvi::ItrnFont* l = f->GetLocalFont(k)) sum += l->GetScaleSize();
        (void)sum;
    }
}

// Writes the input as the metric file `name` ("fz.tfm" or "fz.ofm") and
// exercises it through a reader that looks in the folder alone.
inline void LoadAndExercise(const std::string& name, const uint8_t* data, size_t size, unsigned codes = 300) {
    Write(name, data, size);
    DList<String8> paths;
    paths.AddTail(String8(Dir().c_str()));
    FuzzDvi dvi("", paths, DList<String8>());
    Exercise(dvi, codes);
}

} // namespace fontfuzz
