// VrDviWriter: writes the frame of a DVI file (preamble, bop and eop with the
// chain of back pointers, postamble, post-postamble). Everything between,
// page instructions, specials and font definitions, the caller writes
// through the stream's own byte operations. Write errors show in the
// stream's state (WriteGood), which callers check after the post-postamble.
#pragma once

#include "base/BinStream.h"
#include "dvilib/VrDviApi.h"

class VRDVI_API VrDviWriter : public BinOutFileStream {
public:
    VrDviWriter() = default;

    // Note the order: den before num, though the file holds num first.
    // Returns 0 and writes nothing when the comment is 256 bytes or longer;
    // a null comment is empty.
    int WritePreamble(unsigned den, unsigned num, unsigned mag, const unsigned char* comment);
    void WriteBop(const int counts[10]);
    void WriteEop();
    // Font definitions of the postamble are written after this call.
    void WritePostamble(int maxStack, int maxHeightDepth, int maxWidth);
    void WritePostPostamble();

    int GetPageCount() const { return pageCount; }
    long GetPrevBop() const { return prevBop; }

private:
    long Position();

    unsigned num = 0;
    unsigned den = 0;
    unsigned mag = 0;
    int pageCount = 0;
    long prevBop = -1;
    long postamble = -1;
};
