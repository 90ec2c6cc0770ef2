// Map files of any content: read into a map, then looked up by their names.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "dvilib/VrDviTTFMap.h"

namespace {
int Installed(const char* face) { return face[0] == 'a'; }
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int fd = memfd_create("map", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size)) return 0;
    std::string path = "/proc/self/fd/" + std::to_string(fd);
    static bool once = (VrDviTTFMap::SetFaceTest(Installed), true);
    (void)once;

    VrDviTTFMap map;
    map.AppendTTFMapFile(path.c_str());
    map.AppendTTFMapFile(path.c_str());
    // Every run of word bytes in the input is a possible name.
    std::string text(reinterpret_cast<const char*>(data), size), word;
    for (char c : text + " ") {
        if (c > 32 && c != '{' && c != '}' && c != '\'' && c != '"' && c != '=' && c != ',') {
            word.push_back(c);
        } else if (!word.empty()) {
            if (const VrDviTTFMap::Entry* e = map.GetEntry(word.c_str()))
                (void)(e->sbc.fontName.GetLength() + e->dbc.fontName.GetLength() + e->name.GetLength());
            word.clear();
        }
    }
    return 0;
}
