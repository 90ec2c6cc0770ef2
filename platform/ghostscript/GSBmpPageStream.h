// Pages that the console program writes one after another as BMP files
// (the bmp16m and bmpmono devices), handed to an outputter through
// GS::DeliverPage as they complete.
#pragma once

#include <cstddef>
#include <string>

#include "platform/ghostscript/GS.h"

class GSBmpPageStream {
public:
    // bitsPerPixel: the depth asked of the job; 1 reads 1-bit files, any
    // other 24-bit ones.
    GSBmpPageStream(GS* gs, GS::PageOutputter* out, int bitsPerPixel);

    // Takes the next bytes; false when they are not pages of that kind (or a
    // page would exceed 512 MiB), after which nothing more is delivered.
    bool Add(const char* data, size_t n);

private:
    GS* m_gs;
    GS::PageOutputter* m_out;
    int m_bitsPerPixel;
    bool m_broken = false;
    std::string m_buf;
};
