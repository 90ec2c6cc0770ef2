// Fuzz target of the renaming of pictures in the specials a save writes. The
// input is a special's text. Renamed to themselves, its words leave it as it
// was (graphics specials may lose their trailing blanks); renamed to longer
// names, a binary picture special's length byte still counts its name.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <strings.h>

#include "viewer/document/DviRewriter.h"

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

bool IsGraphics(const std::string& s) {
    return strncasecmp(s.c_str(), "graphics:", 9) == 0 || strncasecmp(s.c_str(), "watermarkgraphics:", 18) == 0;
}

// The runs of bytes between blanks, quotes and '=' signs, and a binary
// special's possible names.
dvicopy::NameMap Words(const std::string& s, const char* suffix) {
    dvicopy::NameMap words;
    size_t i = 0;
    while (i < s.size()) {
        size_t j = s.find_first_of(" \t\r\n\"=", i);
        if (j == std::string::npos) j = s.size();
        if (j > i) words[s.substr(i, j - i)] = s.substr(i, j - i) + suffix;
        i = j + 1;
    }
    for (size_t at : {3, 11, 23})
        if (s.size() > at && s.size() >= at + 1 + uint8_t(s[at]))
            words[s.substr(at + 1, uint8_t(s[at]))] = s.substr(at + 1, uint8_t(s[at])) + suffix;
    return words;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 12) return 0;
    const std::string special(reinterpret_cast<const char*>(data), size);

    std::string same = special;
    dvicopy::RenamePicture(same, {});
    Check(same == special);

    dvicopy::NameMap identity = Words(special, "");
    same = special;
    dvicopy::RenamePicture(same, identity);
    if (IsGraphics(special)) {
        const size_t end = special.find_last_not_of(" \t\r\n");
        Check(same == special || same == special.substr(0, end + 1));
    } else {
        Check(same == special);
    }

    std::string longer = special;
    dvicopy::RenamePicture(longer, Words(special, "-pic-1"));
    Check(longer.size() >= special.size() || IsGraphics(special));
    if (special.size() >= 3 && special[0] == '#' && longer != special) {
        const int type = uint8_t(special[1]) << 8 | uint8_t(special[2]);
        const size_t at = type <= 0x11 ? 23 : type == 0x12 ? 11 : 3;
        Check(longer.size() == special.size() + 6 && uint8_t(longer[at]) == uint8_t(special[at]) + 6);
    }
    return 0;
}
