// The TeX-font-to-TrueType map: for each TeX font name, the character
// encoding and the faces (single-byte and double-byte) that draw it, read
// from map files of entries
//
//     name { key = 'value' , key = 'value' , ... }
//
// The application appends every map file of its installation to one map and
// lends it to the DVI readers, which look up each font as they load it.
#pragma once

#include "base/String8.h"

#ifndef VRDVILIB_API
#define VRDVILIB_API __attribute__((visibility("default")))
#endif

class VRDVILIB_API VrDviTTFMap {
public:
    enum EncodingName {
        EncOT1 = 0,
        Enc8rUnicode = 1,
        EncRaw = 2,
        EncXHanUnicode = 3,
        EncXHanjaUnicode = 4,
        EncXSymbUnicode = 5,
        EncMSWinSymbolUnicode = 6,
        EncHLatex = 7,
        EncT1Unicode = 8,
        EncTS1Unicode = 9,
        EncOT1Unicode = 10,
        // Unicode subfonts: the name ends in the high byte of the
        // character as two hex digits, the DVI code is its low byte.
        EncUnicodeSubfont = 11,
        EncLast = EncUnicodeSubfont,
    };

    // Face settings of an entry. Sizes are factors of the font's size (0:
    // the size itself, or the face's own width).
    struct TTFInfo {
        String8 fontName;
        String8 subsName;
        double height = 0.0;
        double averageWidth = 0.0;
        double vAdjustment = 0.0;
        int italic = 0;
        int slant = 0;
        int weight = 0;
    };

    struct Entry {
        Entry* next = nullptr;
        EncodingName encoding = EncOT1;
        String8 name;        // lower case
        int dbcEnabled = 0;  // 1 when the entry named a double-byte face
        TTFInfo sbc;
        TTFInfo dbc;
    };

    static constexpr int HashSize = 73;

    // Reads file when it is not null (its result is not reported).
    explicit VrDviTTFMap(const char* file = nullptr);
    ~VrDviTTFMap();
    VrDviTTFMap(const VrDviTTFMap&) = delete;
    VrDviTTFMap& operator=(const VrDviTTFMap&) = delete;

    // Empties the map, then appends file.
    int OpenTTFMapFile(const char* file);
    // Adds the entries of file; 1 when the whole file was read, 0 when it
    // cannot be opened or breaks the syntax. Entries completed before the
    // fault stay.
    int AppendTTFMapFile(const char* file);

    // The entry for a TeX font name, any case; null when there is none. A
    // later entry of the same name hides an earlier one.
    const Entry* GetEntry(const String8& name) const;

    // The bucket of a name: h = 12, then h = (2h + c) mod 73 over the bytes
    // as signed values, kept in 0..72.
    static int GetHashCode(const String8& name);

    // Whether a face is installed, asked when an entry offers a substitute
    // face. The default asks the GDI layer's font enumeration; tests replace
    // it. Returns the test it replaced.
    using FaceTest = int (*)(const char* face);
    static FaceTest SetFaceTest(FaceTest test);
    static int IsFaceInstalled(const char* face);

protected:
    void InitHash();
    void DeleteHash();

private:
    Entry* hash_[HashSize];
};
