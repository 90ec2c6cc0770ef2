#include "viewer/document/ProgressiveInput.h"

#include "dvilib/VrDvi.h"

ProgressiveInput::ProgressiveInput(const String8& tempFileName) : m_tempFileName(tempFileName) {}

ProgressiveInput::~ProgressiveInput() { EndInflate(); }

int ProgressiveInput::ScanDviStream(int64_t start, int64_t count, int mode) {
    if (start < 0 || count < 0) return 0;
    if (mode == kScanDvi) return ScanDvi(start, count);
    if (mode == kScanTiff) return ScanTiff(start, count);
    return 0;
}

void ProgressiveInput::AnnounceDviPages(VrDvi& reader, int endOfData) const {
    if (endOfData)
        reader.NewPageWritten(0);
    else if (m_dviPages > 0)
        reader.NewPageWritten(m_dviPages);
}
