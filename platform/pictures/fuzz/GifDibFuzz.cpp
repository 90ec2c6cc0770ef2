// GIF data of any kind: sized, decoded, and the bitmap walked.
#include <cstddef>
#include <cstdint>

#include "platform/pictures/PictureDib.h"
#include "platform/pictures/fuzz/PictureFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzPictureDecoder(data, size, check_gif_size, Gif2Dib);
}
