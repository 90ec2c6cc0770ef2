// VrDvi::ItrnFont: one font that a DVI file defines, one per (name, scaled
// size), owned by the reader's font hash. It holds the character metrics of
// its TFM or OFM file scaled to the font's size in DVI units, the character
// packets of its VF file when it is virtual, and the outline faces that draw
// it. VrDvi::LoadFontFiles fills it before the font is linked into the hash;
// afterwards it does not change.
//
// Metrics are scaled from fix_words exactly as TeX scales them, so widths add
// up to the positions TeX wrote into the DVI file.
//
// VrDvi::ItrnFontItr walks the reader's fonts bucket by bucket; it may run
// while the reader scans (fonts are linked only when complete).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/BinStream.h"
#include "base/String8.h"
#include "dvilib/TTFInfo.h"
#include "dvilib/TexFontText.h"
#include "dvilib/VrDvi.h"
#include "dvilib/VrDviTTFMap.h"

// A metric or VF file opened for reading.
class VRDVI_API VrDvi::Tfmifstream : public BinInFileStream {
public:
    explicit Tfmifstream(const char* path) : BinInFileStream(path) {}
    // Bytes the file holds; -1 when it cannot be told.
    long FileSize();
};

class VRDVI_API VrDvi::ItrnFont {
public:
    using TTFInfo = ::TTFInfo;

    // Fonts that a virtual font defines are loaded through the owner up to
    // this depth; deeper ones stay null.
    static constexpr int kMaxVfDepth = 10;
    // Packets are rewritten into at most this many bytes.
    static constexpr int kMaxPacket = 1000;
    static constexpr int kLocalFontIndexSize = 65536;

    ItrnFont(VrDvi* owner, const String8& area, const String8& name, unsigned size);
    ~ItrnFont() = default;
    ItrnFont(const ItrnFont&) = delete;
    ItrnFont& operator=(const ItrnFont&) = delete;

    int GetID() const { return id; }
    VrDvi* GetOwner() const { return owner; }
    int IsVirtual() const { return isVirtual; }
    unsigned GetCheckSum() const { return checksum; }
    const String8& GetArea() const { return area; }
    const String8& GetName() const { return name; }
    unsigned GetDesignSize() const { return designSize; }  // 2^-16 pt
    unsigned GetRotate() const { return rotation; }        // tenths of a degree
    int GetScaleSize() const { return scaledSize; }        // DVI units

    // Characters bc..ec of the metric file; a character exists when its
    // width index is not 0. The metric queries answer 0 for a character that
    // does not exist.
    int IsValidChar(unsigned c) const { return Slot(c) >= 0; }
    int GetCharWidthA(unsigned c) const;
    int GetCharHeight(unsigned c) const;
    int GetCharDepth(unsigned c) const;
    int GetCharItalic(unsigned c) const;
    // The Latin letters a character stands for when the font's ligature
    // program joins them into it ("fi" for cmr10's code 12, "ffi" for 14);
    // null for every other character.
    const char* GetLigatureLetters(unsigned c) const;

    // The rewritten DVI instructions that draw a character of a virtual font:
    // set_char, set1, set2, put1, put2, set_rule, put_rule, nop, push, pop,
    // fnt_num, fnt1, fnt2, w0, x0, y0, z0 as in DVI; every movement in its
    // four-byte form (right4, w4, x4, down4, y4, z4) and specials as xxx4, all
    // distances scaled to DVI units. Null and 0 when the character has no
    // packet; an empty packet is a non-null pointer with length 0.
    const unsigned char* GetCharPacket(unsigned c) const;
    int GetCharPacketLength(unsigned c) const;

    // Fonts that the VF file defines, by their VF font number (0..65535);
    // null for a number it does not define or whose metrics were not found.
    ItrnFont* GetLocalFont(unsigned k) const;
    static int GetLocalFontIndexSize() { return kLocalFontIndexSize; }
    // Number of the first font the VF file defines, -1 when none.
    int GetFirstLocalFont() const { return firstLocalFont; }

    const TTFInfo& GetSBCTTFInfo() const { return sbcInfo; }
    const TTFInfo& GetDBCTTFInfo() const { return dbcInfo; }
    int IsDBCEnabled() const { return !dbcInfo.faceName.IsNull(); }
    VrDviTTFMap::EncodingName GetEncoding() const { return encoding; }
    // Whether the map has an entry for the font.
    int IsMapped() const { return !sbcInfo.faceName.IsNull(); }
    int GetxSeriesFontIndex() const { return xSeriesFontIndex; }
    // The layout by which search and copying read the font's codes (from
    // its name; drawing goes by the encoding).
    vrcodes::FontText GetTextLayout() const { return textLayout; }

    // Loaders. Each returns 1 when the file was read, 0 when it was refused;
    // the reason goes to the library's error report.
    int LoadTfm(const String8& path);
    int LoadOfm(const String8& path);
    int LoadOfmLevel0(Tfmifstream& in);
    int LoadOfmLevel1(Tfmifstream& in);
    // Makes the font virtual when the VF file is read whole; otherwise it
    // stays a font drawn from its metrics.
    void LoadVf(const String8& path);
    // Faces, encoding and x-series index from the map's entry of the font's
    // name (sizes scaled by the font's size); a null map sets only the index.
    void LoadTTFInfo(const VrDviTTFMap* map);

    // The TeX scaler: a fix_word (of 2^-20 design units) times the scaled
    // size z (0 < z < 2^27), in DVI units, rounded as TeX rounds.
    class Scaler {
    public:
        explicit Scaler(int z = 1);
        int operator()(int32_t fixWord) const;

    private:
        int z_, alpha_, beta_;
    };

private:
    friend class VrDvi;
    friend class VrDvi::ItrnFontItr;
    struct Tables;
    struct Cursor;

    int Slot(unsigned c) const {
        return c >= bc && c <= ec && charIndex[c - bc] ? int(c - bc) : -1;
    }
    int Refuse(const char* why);
    int ReadTables(Tables& t);
    void ReadTTFHeader(const std::vector<uint32_t>& header);
    int LoadVfFile(const String8& path);
    void LoadVfFntDef(int size, Cursor& in, unsigned number);
    void LoadVfCharPacket(int size, const unsigned char* packet, unsigned code, unsigned length);

    String8 source;  // the file being read, for error texts
    int id = -1;
    VrDvi* owner = nullptr;
    ItrnFont* next = nullptr;
    int isVirtual = 0;
    unsigned checksum = 0;
    String8 area;
    String8 name;
    unsigned designSize = 0;
    unsigned rotation = 0;
    int scaledSize = 0;
    unsigned bc = 1;
    unsigned ec = 0;
    // Per character bc..ec.
    std::vector<uint16_t> charIndex;  // width index, 0: no character
    std::vector<uint8_t> heightIndex;
    std::vector<uint8_t> depthIndex;
    std::vector<uint8_t> italicIndex;
    std::vector<int> widths, heights, depths, italics;
    // Characters made of letters by the lig/kern program, sorted by code.
    std::vector<std::pair<unsigned, std::string>> ligatureLetters;
    // Packets: offset into packetData per character, -1 for none.
    std::vector<int> packetOffset;
    std::vector<int> packetLength;
    std::vector<unsigned char> packetData;
    std::vector<std::pair<unsigned, ItrnFont*>> localFonts;  // sorted by number
    int firstLocalFont = -1;
    TTFInfo sbcInfo;
    TTFInfo dbcInfo;
    VrDviTTFMap::EncodingName encoding = VrDviTTFMap::EncOT1;
    int xSeriesFontIndex = 1;
    vrcodes::FontText textLayout = vrcodes::FontText::kAsDrawn;
};

class VRDVI_API VrDvi::ItrnFontItr {
public:
    explicit ItrnFontItr(VrDvi& dvi);
    ~ItrnFontItr() = default;
    ItrnFontItr& operator++();
    ItrnFont* operator()() const { return cur_; }
    int IsFinished() const { return cur_ == nullptr; }

private:
    void FirstFrom(int bucket);

    VrDvi* dvi_;
    int bucket_ = 0;
    ItrnFont* cur_ = nullptr;
};
