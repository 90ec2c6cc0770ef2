// OFM files (levels 0 and 1) of any content, loaded as a font and read back.
#include "FontFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fontfuzz::LoadAndExercise("fz.ofm", data, size, 65537);
    return 0;
}
