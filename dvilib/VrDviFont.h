// VrDvi::ItrnFont: one font that a DVI file defines, one per (name, scaled
// size), owned by the reader's font hash. This header holds the font's
// identity as its definition gives it; the metric tables, character packets
// and TrueType settings are added with the font-metrics loader, which fills
// them in VrDvi::LoadFontFiles before the font is linked into the hash.
//
// VrDvi::ItrnFontItr walks the reader's fonts bucket by bucket; it may run
// while the reader scans (fonts are linked only when complete).
#pragma once

#include "base/String8.h"
#include "dvilib/VrDvi.h"

class VRDVI_API VrDvi::ItrnFont {
public:
    ItrnFont(VrDvi* owner, const String8& area, const String8& name, unsigned size);
    ItrnFont(const ItrnFont&) = delete;
    ItrnFont& operator=(const ItrnFont&) = delete;

    int GetID() const { return id; }
    VrDvi* GetOwner() const { return owner; }
    int IsVirtual() const { return isVirtual; }
    unsigned GetCheckSum() const { return checksum; }
    const String8& GetArea() const { return area; }
    const String8& GetName() const { return name; }
    unsigned GetDesignSize() const { return designSize; }
    unsigned GetRotate() const { return rotation; }
    int GetScaleSize() const { return scaledSize; }

private:
    friend class VrDvi;
    friend class VrDvi::ItrnFontItr;

    int id = -1;
    VrDvi* owner = nullptr;
    ItrnFont* next = nullptr;
    int isVirtual = 0;
    unsigned checksum = 0;
    String8 area;
    String8 name;
    unsigned designSize = 0;  // 2^-16 pt
    unsigned rotation = 0;    // tenths of a degree
    int scaledSize = 0;       // DVI units
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
