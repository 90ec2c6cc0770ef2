#include "dvilib/VrDviWriter.h"

#include <cstring>

#include "dvilib/DviOpcodes.h"

long VrDviWriter::Position() {
    return long(tellp());
}

int VrDviWriter::WritePreamble(unsigned den_, unsigned num_, unsigned mag_, const unsigned char* comment) {
    size_t k = comment ? std::strlen(reinterpret_cast<const char*>(comment)) : 0;
    if (k >= 256) return 0;
    num = num_;
    den = den_;
    mag = mag_;
    prevBop = -1;
    pageCount = 0;
    seekp(0);
    WriteUInt8(dviop::Pre);
    WriteUInt8(dviop::kDviId);
    WriteUInt32(int(num));
    WriteUInt32(int(den));
    WriteUInt32(int(mag));
    WriteUInt8(int(k));
    for (size_t i = 0; i < k; ++i) WriteUInt8(comment[i]);
    return 1;
}

void VrDviWriter::WriteBop(const int counts[10]) {
    WriteUInt8(dviop::Bop);
    for (int i = 0; i < 10; ++i) WriteInt32(counts[i]);
    WriteInt32(int(prevBop));
    prevBop = Position() - 45;
}

void VrDviWriter::WriteEop() {
    WriteUInt8(dviop::Eop);
    ++pageCount;
}

void VrDviWriter::WritePostamble(int maxStack, int maxHeightDepth, int maxWidth) {
    postamble = Position();
    WriteUInt8(dviop::Post);
    WriteInt32(int(prevBop));
    WriteUInt32(int(num));
    WriteUInt32(int(den));
    WriteUInt32(int(mag));
    WriteInt32(maxHeightDepth);
    WriteInt32(maxWidth);
    WriteUInt16(maxStack < 0 ? 100 : maxStack);
    WriteUInt16(pageCount);
}

void VrDviWriter::WritePostPostamble() {
    WriteUInt8(dviop::PostPost);
    WriteInt32(int(postamble));
    WriteUInt8(dviop::kDviId);
    int fill = 4;
    long end = Position() + fill;
    while (end % 4) ++fill, ++end;
    for (int i = 0; i < fill; ++i) WriteUInt8(dviop::kTrailerFill);
}
