#include "dvilib/VrDviFont.h"

VrDvi::ItrnFont::ItrnFont(VrDvi* owner, const String8& area, const String8& name, unsigned size)
    : owner(owner), area(area), name(name), scaledSize(int(size)) {}

int VrDvi::GetHashCode(const String8& name) {
    int h = 12;
    for (int i = 0; i < name.GetLength(); ++i) {
        h = (2 * h + static_cast<signed char>(name[i])) % kHashSize;
        if (h < 0) h += kHashSize;
    }
    return h;
}

VrDvi::ItrnFont* VrDvi::LoadItrnFont(const String8& area, const String8& name, int scaledSize,
                                     unsigned designSize) {
    int bucket = GetHashCode(name);
    for (ItrnFont* f = hash_[bucket].load(std::memory_order_acquire); f; f = f->next)
        if (f->scaledSize == scaledSize && f->name == name) return f;

    ItrnFont* font = new ItrnFont(this, area, name, scaledSize < 1 ? designSize : unsigned(scaledSize));
    font->rotation = scaledSize > 0 ? 0 : 900;
    if (!LoadFontFiles(font)) {
        delete font;
        return nullptr;
    }
    // Linked only once complete, so a walk on another thread never sees a
    // half-made font.
    font->id = nFont_.load(std::memory_order_relaxed);
    font->next = hash_[bucket].load(std::memory_order_relaxed);
    hash_[bucket].store(font, std::memory_order_release);
    nFont_.store(font->id + 1, std::memory_order_release);
    return font;
}

// Seam of the font-metrics loader: it locates the metric file through the
// TFM path list and kpathsea, reads it (and a virtual-font file through the
// VF path list) into the font, and returns 0 when no metric file was read.
// Until it is in, a font is its definition alone.
int VrDvi::LoadFontFiles(ItrnFont*) {
    return 1;
}

VrDvi::ItrnFontItr::ItrnFontItr(VrDvi& dvi) : dvi_(&dvi) {
    FirstFrom(0);
}

void VrDvi::ItrnFontItr::FirstFrom(int bucket) {
    cur_ = nullptr;
    for (bucket_ = bucket; bucket_ < kHashSize; ++bucket_) {
        cur_ = dvi_->hash_[bucket_].load(std::memory_order_acquire);
        if (cur_) return;
    }
}

VrDvi::ItrnFontItr& VrDvi::ItrnFontItr::operator++() {
    if (!cur_) return *this;
    if (cur_->next) cur_ = cur_->next;
    else FirstFrom(bucket_ + 1);
    return *this;
}
