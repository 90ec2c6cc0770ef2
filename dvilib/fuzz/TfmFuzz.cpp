// TFM files of any content, loaded as a font and read back.
#include "FontFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace fontfuzz;
    Write("fz.tfm", data, size);
    DList<String8> paths;
    paths.AddTail(String8(Dir().c_str()));
    FuzzDvi dvi("", paths, DList<String8>());
    Exercise(dvi);
    return 0;
}
