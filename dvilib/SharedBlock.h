// SharedBlock: the contents of the named block "shared_memory" that the
// application creates at start-up and the DVI reader opens by name: the eight
// CJK face lists and the default face. The block holds the values
// themselves, laid out as:
//   offset 0    8 x 4 bytes   number of names in each list (little-endian)
//   offset 32   263 bytes     default face, NUL-terminated
//   offset 295  ...           the names of list 0, then list 1, ... each
//                             NUL-terminated
// Bytes past the end of the block are never read; a name cut by the end of
// the block is dropped.
#pragma once

#include <cstddef>
#include <vector>

#include "base/String8.h"
#include "dvilib/VrDviApi.h"

class NamedBlock;

struct VRDVI_API SharedBlock {
    static constexpr const char* kName = "shared_memory";
    static constexpr std::size_t kSize = 65536;
    static constexpr int kFaceLists = 8;
    static constexpr std::size_t kDefaultFaceOffset = 32;
    static constexpr std::size_t kDefaultFaceSize = 263;
    static constexpr std::size_t kNamesOffset = kDefaultFaceOffset + kDefaultFaceSize;

    std::vector<String8> faceLists[kFaceLists];
    String8 defaultFace;

    // Writes the values into the block; 0 when they do not fit (nothing is
    // written then), 1 on success.
    int Store(NamedBlock& block) const;
    // Reads the values back.
    static SharedBlock Load(const NamedBlock& block);
};
