// winfont.alt files of any content.
#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "dvilib/FaceLists.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int fd = memfd_create("alt", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size)) return 0;
    std::string path = "/proc/self/fd/" + std::to_string(fd);
    FaceLists lists;
    lists.Read(path.c_str());
    size_t total = 0;
    for (int c = 0; c < FaceLists::CategoryCount; ++c)
        for (const String8& n : lists.Names(c)) total += size_t(n.GetLength());
    return total > size ? 1 : 0;
}
