// BMP page streams of any content, read and printed page by page as the
// viewer's print job does.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

#include "dvilib/GSFile.h"
#include "dvilib/PrintDIB.h"
#include "platform/gdi/DC.h"
#include "platform/gdi/PrintSink.h"

namespace {
class NullSink : public PrintSink {
public:
    bool BeginDocument(const std::string&, const PrinterInfo&) override { return true; }
    bool PrintBand(const ::PrintBand&) override { return true; }
    bool EndDocument() override { return true; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int fd = memfd_create("bmpstream", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size) || lseek(fd, 0, SEEK_SET) != 0)
        return 0;
    PrinterInfo info;
    info.dpiX = info.dpiY = 72;
    info.physicalWidth = 70, info.physicalHeight = 50;
    info.offsetX = 3, info.offsetY = 2;
    info.printableWidth = 64, info.printableHeight = 46;
    NullSink sink;
    auto dc = CreatePrinterDC(info, sink);
    dc->StartDoc("fuzz");
    CGSFile file(fd);  // not closed: the descriptor is kept for the next input
    CPrintDIB dib;
    for (int page = 0; page < 16 && dib.ReadHeader(&file); ++page) {
        dc->StartPage();
        int ok = dib.ReadPageRows(&file, dc.get(), page % 3 != 2);
        dc->EndPage();
        if (!ok) break;
    }
    dc->EndDoc();
    return 0;
}
