// Standard metafiles played on a small surface.
#include <cstddef>
#include <cstdint>

#include "platform/gdi/MetaFile.h"
#include "platform/gdi/RecordingDC.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1 << 16)) return 0;
    HMETAFILE mf = SetMetaFileBitsEx(UINT(size), data);
    if (!mf) return 0;
    RecordingDC dc(48, 48, 32);
    dc.SetMapMode(MM_ANISOTROPIC);
    dc.SetViewportExt(48, 48);
    dc.PlayMetaFile(mf);
    DeleteMetaFile(mf);
    return 0;
}
