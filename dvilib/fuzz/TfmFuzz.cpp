// TFM files of any content, loaded as a font and read back.
#include "FontFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fontfuzz::LoadAndExercise("fz.tfm", data, size);
    return 0;
}
