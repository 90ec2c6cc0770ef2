#include "viewer/document/PageRange.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    int count = 0;
    int* array = nullptr;
    int maxPage = size > 0 ? data[0] * 100 : kNoPageLimit;
    if (ParsePageRange(text.c_str(), &count, &array, maxPage))
        for (int i = 0; i < count && i < 64; ++i)
            (void)IsPageInList(array[i], count, array);
    ParsePageRange(text.c_str(), &count, &array);
    std::free(array);
    return 0;
}
