// Helpers of the DVI library tests: a temporary folder, a builder of DVI
// files on VrDviWriter, and a reader that records what reaches its virtuals.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dvilib/DviOpcodes.h"
#include "dvilib/VrDvi.h"
#include "dvilib/VrDviWriter.h"
#include "testsupport/TestTools.h"

namespace dvitest {

using namespace testsupport;

// Writes a DVI file: preamble on construction, then pages and raw bytes.
class DviBuilder {
public:
    explicit DviBuilder(const std::string& path, const char* comment = "built by a test",
                        unsigned mag = 1000) {
        w.open(path.c_str());
        w.WritePreamble(473628672, 25400000, mag, reinterpret_cast<const unsigned char*>(comment));
    }
    void Bop(int c0) {
        int c[10] = {c0};
        w.WriteBop(c);
    }
    void Eop() { w.WriteEop(); }
    void Byte(int b) { w.WriteUInt8(b); }
    void Special(const std::string& text, bool long_form = false) {
        if (text.size() < 256 && !long_form) {
            w.WriteUInt8(dviop::Xxx1);
            w.WriteUInt8(int(text.size()));
        } else {
            w.WriteUInt8(dviop::Xxx4);
            w.WriteUInt32(int(text.size()));
        }
        for (unsigned char c : text) w.WriteUInt8(c);
    }
    void FontDef(int op, unsigned k, const std::string& name, int s = 655360, unsigned d = 655360,
                 unsigned checksum = 0x12345678) {
        w.WriteUInt8(op);
        int n = dviop::SizeByte(uint8_t(op));
        for (int i = n - 1; i >= 0; --i) w.WriteUInt8(int((k >> (8 * i)) & 0xff));
        w.WriteUInt32(int(checksum));
        w.WriteInt32(s);
        w.WriteUInt32(int(d));
        w.WriteUInt8(0);
        w.WriteUInt8(int(name.size()));
        for (unsigned char c : name) w.WriteUInt8(c);
    }
    // A page with a character and a rule.
    void Page(int c0) {
        Bop(c0);
        Byte(dviop::Push);
        Byte('A');
        Byte(dviop::SetRule);
        w.WriteInt32(1000);
        w.WriteInt32(2000);
        Byte(dviop::Pop);
        Eop();
    }
    void Finish(int l = 43000000, int u = 30000000) {
        w.WritePostamble(3, l, u);
        w.WritePostPostamble();
        w.close();
    }
    void Close() { w.close(); }

    VrDviWriter w;
};

// A reader that records the specials and picture names it meets, then lets
// the base class handle them.
class RecordingDvi : public VrDvi {
public:
    using VrDvi::DoSpecial;
    using VrDvi::VrDvi;
    std::vector<std::string> specials;
    std::vector<int> specialPages;
    std::vector<std::string> pictures;

protected:
    void DoSpecial(unsigned char* text, int length) override {
        specials.emplace_back(reinterpret_cast<char*>(text), size_t(length));
        specialPages.push_back(GetNPage());
        VrDvi::DoSpecial(text, length);
    }
    void AppendPictFile(const String8& file) override { pictures.emplace_back(file.c_str()); }
};

inline DList<String8> NoPaths() { return {}; }

// Appends a big-endian 32-bit word.
inline void PutWord(std::vector<unsigned char>& b, uint32_t v) {
    for (int i = 3; i >= 0; --i)
        b.push_back((unsigned char)(v >> (8 * i)));
}

// The twelve 16-bit table sizes that open a TFM file.
inline std::vector<unsigned char> TfmCounts(const unsigned (&counts)[12]) {
    std::vector<unsigned char> b;
    for (unsigned c : counts) {
        b.push_back((unsigned char)(c >> 8));
        b.push_back((unsigned char)c);
    }
    return b;
}

// A small valid TFM file: characters 'A' and 'B' with one width, height and
// depth each, and the given checksum; design size 10 pt.
inline std::vector<unsigned char> TinyTfm(unsigned checksum = 0x12345678) {
    // lf lh bc ec nw nh nd ni nl nk ne np
    const unsigned counts[12] = {17, 2, 'A', 'B', 2, 2, 2, 1, 0, 0, 0, 0};
    std::vector<unsigned char> b = TfmCounts(counts);
    auto word = [&](unsigned v) { PutWord(b, v); };
    word(checksum);
    word(10u << 20);
    word(0x01110000);  // 'A': width 1, height 1, depth 1
    word(0x01110000);  // 'B'
    word(0);
    word(0x80000);  // width 0.5
    word(0);
    word(0x70000);  // height 0.4375
    word(0);
    word(0x10000);  // depth 0.0625
    word(0);        // italic
    return b;
}

// A folder of small TFM files with the given names, as a TFM path list.
class FontDir {
public:
    explicit FontDir(std::initializer_list<std::string> names = {}) {
        for (const auto& n : names) Add(n);
        paths.AddTail(String8(dir.Path().string().c_str()));
    }
    void Add(const std::string& name, unsigned checksum = 0x12345678) {
        WriteFile(dir.File(name + ".tfm"), TinyTfm(checksum));
    }
    TempDir dir;
    DList<String8> paths;
};

} // namespace dvitest
