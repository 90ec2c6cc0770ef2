#include <cstring>

#include "platform/gdi/DCInternal.h"
#include "platform/gdi/PixelBuffer.h"
#include "platform/gdi/PrintSink.h"

class PrinterDC {
public:
    static std::unique_ptr<CDC> Make(const PrinterInfo& printer, PrintSink& sink) {
        auto dc = std::make_unique<CDC>();
        dc->kind_ = CDC::Kind::Printer;
        DeviceCaps caps;
        caps.technology = DT_RASPRINTER;
        caps.logPixelsX = printer.dpiX, caps.logPixelsY = printer.dpiY;
        caps.horzRes = printer.printableWidth, caps.vertRes = printer.printableHeight;
        caps.physicalWidth = printer.physicalWidth, caps.physicalHeight = printer.physicalHeight;
        caps.physicalOffsetX = printer.offsetX, caps.physicalOffsetY = printer.offsetY;
        caps.rasterCaps = RC_BITBLT | RC_BANDING | RC_BITMAP64 | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT |
                          RC_STRETCHDIB | RC_SCALING;
        dc->SetDeviceCaps(caps);
        dc->print_ = std::make_unique<PrintJob>();
        dc->print_->info = printer;
        dc->print_->sink = &sink;
        return dc;
    }
    static void SetPage(CDC& dc, std::unique_ptr<PixelBuffer> px) { dc.SetDevicePixels(std::move(px)); }
};

std::unique_ptr<CDC> CreatePrinterDC(const PrinterInfo& printer, PrintSink& sink) {
    if (printer.dpiX <= 0 || printer.dpiY <= 0 || printer.printableWidth <= 0 || printer.printableHeight <= 0)
        return nullptr;
    return PrinterDC::Make(printer, sink);
}

int CDC::StartDoc(const char* name) {
    DOCINFO di;
    di.lpszDocName = name;
    return StartDoc(&di);
}

int CDC::StartDoc(const DOCINFO* info) {
    auto g = Log("StartDoc", info && info->lpszDocName ? info->lpszDocName : "");
    if (!print_ || print_->inDoc) return SP_ERROR;
    std::string name = info && info->lpszDocName ? info->lpszDocName : "";
    if (!print_->sink->BeginDocument(name, print_->info)) return SP_ERROR;
    print_->inDoc = true;
    print_->page = 0;
    return 1;
}

int CDC::SetAbortProc(BOOL (*proc)(HDC, int)) {
    auto g = Log("SetAbortProc");
    if (!print_) return SP_ERROR;
    print_->abortProc = proc;
    return 1;
}

int SetAbortProc(HDC dc, ABORTPROC proc) { return dc ? dc->SetAbortProc(proc) : SP_ERROR; }

namespace {
bool KeepGoing(CDC* dc, PrintJob& job) { return !job.abortProc || job.abortProc(dc, 0); }
}  // namespace

int CDC::StartPage() {
    auto g = Log("StartPage");
    if (!print_ || !print_->inDoc || print_->inPage) return SP_ERROR;
    if (!KeepGoing(this, *print_)) {
        AbortDoc();
        return SP_ERROR;
    }
    auto px = std::make_unique<PixelBuffer>();
    if (!px->Create(print_->info.printableWidth, print_->info.printableHeight, 32)) return SP_ERROR;
    px->FillValue(0, 0, px->Width(), px->Height(), 0xFFFFFF);
    if (!print_->sink->BeginPage(print_->page + 1)) return SP_ERROR;
    PrinterDC::SetPage(*this, std::move(px));
    print_->inPage = true;
    ++print_->page;
    return 1;
}

int CDC::EndPage() {
    auto g = Log("EndPage");
    if (!print_ || !print_->inPage) return SP_ERROR;
    PixelBuffer* px = Surface();
    bool ok = true;
    int band = print_->info.bandHeight > 0 ? print_->info.bandHeight : px->Height();
    for (int top = 0; ok && top < px->Height(); top += band) {
        PrintBand b;
        b.pixels = reinterpret_cast<const uint32_t*>(px->Row(top));
        b.width = px->Width();
        b.height = std::min(band, px->Height() - top);
        b.stride = px->Stride() / 4;
        b.top = top;
        b.pageHeight = px->Height();
        ok = print_->sink->PrintBand(b) && KeepGoing(this, *print_);
    }
    if (!ok) {
        AbortDoc();
        return SP_ERROR;
    }
    print_->inPage = false;
    PrinterDC::SetPage(*this, nullptr);
    return print_->sink->EndPage() ? 1 : SP_ERROR;
}

int CDC::EndDoc() {
    auto g = Log("EndDoc");
    if (!print_ || !print_->inDoc) return SP_ERROR;
    if (print_->inPage) EndPage();
    print_->inDoc = false;
    return print_->sink->EndDocument() ? 1 : SP_ERROR;
}

int CDC::AbortDoc() {
    auto g = Log("AbortDoc");
    if (!print_ || !print_->inDoc) return SP_ERROR;
    print_->inDoc = print_->inPage = false;
    PrinterDC::SetPage(*this, nullptr);
    print_->sink->AbortDocument();
    return 1;
}
