// Fuzz target of the text search: the input is a page body and, from its last
// bytes, the pattern (as code page 949 text and as UTF-16).
#include "TextFuzzWorld.h"
#include "dvilib/VrDviSearch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    textfuzz::World& w = textfuzz::TheWorld();
    if (!w.Load(data, size)) return 0;
    const size_t n = std::min<size_t>(size, 6);
    std::string text(reinterpret_cast<const char*>(data + size - n), n);
    text = text.c_str();
    std::vector<unsigned short> wide;
    for (size_t i = 0; i + 1 < n; i += 2) wide.push_back((unsigned short)(data[size - n + i] << 8 | data[size - n + i + 1]));
    wide.push_back(0);
    for (int record = 0; record < 2; ++record) {
        VrDviSearch s(record);
        try {
            s.FindString(text.c_str(), &w.dvi, size & 1, -10000, -10000);
            s.FindString(wide.data(), &w.dvi, 0, 0, 0);
        } catch (const VrDviDrawerBase::MalformedDviError&) {
        }
        for (const auto& r : s.GetResultList())
            if (r.page != 0 || r.length < 1 || r.position < 0) __builtin_trap();
        if (s.GetResultList().Count() > VrDviSearch::kMaxResults) __builtin_trap();
    }
    return 0;
}
