#include "dvilib/SharedBlock.h"

#include <cstring>

#include "platform/sys/NamedBlock.h"

int SharedBlock::Store(NamedBlock& block) const {
    std::vector<unsigned char> bytes(kNamesOffset, 0);
    for (int i = 0; i < kFaceLists; ++i) {
        uint32_t n = uint32_t(faceLists[i].size());
        for (int b = 0; b < 4; ++b) bytes[size_t(i) * 4 + b] = (n >> (8 * b)) & 0xff;
    }
    size_t dlen = size_t(defaultFace.GetLength());
    if (dlen >= kDefaultFaceSize) return 0;
    std::memcpy(bytes.data() + kDefaultFaceOffset, defaultFace.c_str(), dlen);
    for (const auto& list : faceLists)
        for (const String8& name : list) {
            const char* p = name.c_str();
            bytes.insert(bytes.end(), p, p + std::strlen(p) + 1);
        }
    if (bytes.size() > block.Size()) return 0;
    block.Write(0, bytes.data(), bytes.size());
    return 1;
}

SharedBlock SharedBlock::Load(const NamedBlock& block) {
    SharedBlock sb;
    std::vector<unsigned char> bytes = block.Snapshot();
    if (bytes.size() < kNamesOffset) return sb;
    auto text = [&](size_t at, size_t limit) {
        size_t end = at;
        while (end < limit && bytes[end]) ++end;
        return end < limit ? String8(std::string(bytes.begin() + long(at), bytes.begin() + long(end)).c_str())
                           : String8::Null;
    };
    sb.defaultFace = text(kDefaultFaceOffset, kNamesOffset);
    size_t at = kNamesOffset;
    for (int i = 0; i < kFaceLists; ++i) {
        uint32_t n = 0;
        for (int b = 0; b < 4; ++b) n |= uint32_t(bytes[size_t(i) * 4 + b]) << (8 * b);
        for (uint32_t k = 0; k < n && at < bytes.size(); ++k) {
            String8 name = text(at, bytes.size());
            if (name.IsNull()) {
                at = bytes.size();
                break;
            }
            at += size_t(name.GetLength()) + 1;
            sb.faceLists[i].push_back(name);
        }
    }
    return sb;
}
