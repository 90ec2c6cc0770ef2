// File > Print of the page view: DVI pages drawn on the printer DC by a drawer
// of the job's own, of the screen's kind; PostScript and PDF pages rendered by
// the gs program into BMP pages on a pipe and printed band by band. Every kind
// shares one print dialog (the printers and a PDF file); copies the
// destination does not make are printed by the job, the range again each time.
// One progress box and one abort flag serve every job; a second job cannot
// start while one runs.
#include <QCoreApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QPrinter>
#include <QScreen>

#include <tiffio.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "dvilib/GSFile.h"
#include "dvilib/PrintDIB.h"
#include "dvilib/VrDvi.h"
#include "dvilib/VrDviDrawer.h"
#include "platform/ghostscript/GS.h"
#include "platform/ghostscript/GSChildJob.h"
#include "platform/ghostscript/GSJobArgs.h"
#include "platform/sys/Process.h"
#include "platform/ui/AfxIds.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/PrintDialog.h"
#include "platform/ui/StringTable.h"
#include "viewer/document/PageRange.h"
#include "viewer/document/ViewerDvi.h"
#include "viewer/document/VrViewerAppBase.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/PrintProgressDlg.h"
#include "viewer/view/TiffPage.h"
#include "viewer/view/VrViewerView.h"

namespace {

constexpr COLORREF kLinkColour = 0xFF0000;
constexpr const char kNotComplete[] =
    "This document is not yet retrived completely.\nIf you print this document now, parts of the document may "
    "not be printed.\n\nDo you want to print now?";
constexpr const char kUndefinedFormat[] = "\n문서에 정의되지 않은 형식이 포함되었습니다.";
constexpr const char kNotArrived[] =
    "This document has not arrived completely yet. It can be printed once it is shown.";

// The process-wide job state: the abort flag the progress box's Cancel sets,
// and whether a job runs.
int g_printAbort = 0;
bool g_printing = false;

PrintProgressDlg& ProgressBox() {
    static PrintProgressDlg* box = new PrintProgressDlg;
    return *box;
}

BOOL PrintAbortProc(HDC, int) {
    if (!g_printAbort) QCoreApplication::processEvents(QEventLoop::AllEvents);
    return g_printAbort ? FALSE : TRUE;
}

// The shared frame of a job: the progress box, the disabled top-level window,
// the page texts and the end.
class PrintJobFrame {
public:
    PrintJobFrame(CWnd* view, int first, int last) : m_view(view), m_first(first), m_last(last) {
        m_top = view;
        while (m_top->GetParent()) m_top = m_top->GetParent();
        g_printAbort = 0;
        PrintProgressDlg& box = ProgressBox();
        box.m_cancelled = 0;
        box.m_pAbortFlag = &g_printAbort;
        box.Create(nullptr);
        if (QDialog* d = box.GetDialog()) {
            if (QScreen* screen = QGuiApplication::primaryScreen()) {
                const QRect desk = screen->geometry();
                d->move(desk.left() + (desk.width() - d->width()) / 2, desk.top() + (desk.height() - d->height()) / 2);
            }
        }
        box.ShowWindow(SW_SHOW);
        m_top->EnableWindow(FALSE);
        m_errorText = box.GetDlgItemText(PrintProgressDlg::IDC_PRINT_ERROR_TEXT);
        m_pageFormat = box.GetDlgItemText(first == last ? PrintProgressDlg::IDC_PRINT_PAGE_TEXT
                                                        : PrintProgressDlg::IDC_PRINT_RANGE_TEXT);
    }
    ~PrintJobFrame() { End(); }

    // The page being printed, 1-based.
    void ShowPage(int page) {
        if (g_printAbort) return;
        const CString text = PrintProgressDlg::PageText(m_pageFormat.c_str(), m_first, m_last, page);
        ProgressBox().ShowPageText(text.c_str());
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    void Fail() {
        End();
        AfxShowMessageBox(nullptr, m_errorText.IsEmpty() ? CString("Cannot continue print process.") : m_errorText,
                          AfxLoadString(IDS_VIEW_APP_TITLE).c_str(), MB_ICONHAND | MB_SYSTEMMODAL);
    }
    void End() {
        if (m_ended) return;
        m_ended = true;
        if (!g_printAbort) ProgressBox().DestroyWindow();
        m_top->EnableWindow(TRUE);
        m_view->SetFocus();
    }

private:
    CWnd* m_view;
    CWnd* m_top;
    int m_first, m_last;
    CString m_errorText, m_pageFormat;
    bool m_ended = false;
};

// The 0-based pages the dialog asks for, within [0, count).
std::vector<int> ChosenPages(CPrintDialog& dlg, int current, int count) {
    std::vector<int> pages;
    if (dlg.PrintSelection()) {
        if (current >= 0 && current < count) pages.push_back(current);
        return pages;
    }
    int from = 1, to = count;
    if (dlg.PrintRange()) from = dlg.GetFromPage(), to = dlg.GetToPage();
    // Page-range list of the dialog's range, clamped to the document.
    const std::string text = std::to_string(from) + "to" + std::to_string(to);
    int n = 0;
    int* list = nullptr;
    if (ParsePageRange(text.c_str(), &n, &list, count)) {
        for (int i = 0; i < n; ++i)
            if (list[i] >= 1 && list[i] <= count) pages.push_back(list[i] - 1);
    }
    std::free(list);
    return pages;
}

// What the print dialog chose: the pages of one copy (0-based), the copies
// the job prints itself and the printer DC, owned by the dialog.
struct PrintChoice {
    std::unique_ptr<CPrintDialog> dialog;
    std::vector<int> pages;
    int copies = 1;
    CDC* dc = nullptr;

    // The pages of every copy, in the order they print (collated).
    std::vector<int> JobPages() const {
        std::vector<int> all;
        for (int copy = 0; copy < copies; ++copy) all.insert(all.end(), pages.begin(), pages.end());
        return all;
    }
};

// The print dialog of every document kind: pages 1 to count offered, every
// destination (the printers and a PDF file) and the copies. False when the
// person cancels or nothing is to be printed.
bool ChoosePrint(CWnd* view, DWORD flags, int count, int current, PrintChoice& choice) {
    choice.dialog = std::make_unique<CPrintDialog>(FALSE, flags | PD_USEDEVMODECOPIES, view);
    CPrintDialog& dlg = *choice.dialog;
    dlg.m_pd.nMinPage = dlg.m_pd.nFromPage = 1;
    dlg.m_pd.nMaxPage = dlg.m_pd.nToPage = WORD(std::min(count, 65535));
    // The file the last job of the run printed into is offered again, unless
    // a printer is to be used.
    static QString lastFile;
    QPrinter& printer = dlg.GetPrinter();
    if (!lastFile.isEmpty() && (printer.outputFormat() == QPrinter::PdfFormat || printer.printerName().isEmpty()))
        printer.setOutputFileName(lastFile);
    if (dlg.DoModal() != IDOK) return false;
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
        lastFile = printer.outputFileName();
    choice.pages = ChosenPages(dlg, current, count);
    choice.copies = dlg.GetJobCopies();
    choice.dc = dlg.GetPrinterDC();
    return choice.dc && !choice.pages.empty();
}

// A job at a time, in the whole process.
class PrintingGuard {
public:
    PrintingGuard() : m_owner(!g_printing) { g_printing = true; }
    ~PrintingGuard() {
        if (m_owner) g_printing = false;
    }
    bool Owner() const { return m_owner; }

private:
    bool m_owner;
};

}  // namespace

void CVrViewerView::MapPrintCommands() {
    MapCommand(ID_FILE_PRINT, &CVrViewerView::OnFilePrint);
    MapUpdateUI(ID_FILE_PRINT, &CVrViewerView::OnUpdateFilePrint);
}

void CVrViewerView::OnUpdateFilePrint(CCmdUI* pCmdUI) {
    pCmdUI->Enable(GetDocument() && m_page < m_pageCount && !g_printing);
}

void CVrViewerView::OnFilePrint() {
    PrintingGuard guard;
    if (!guard.Owner() || !GetDocument()) return;
    switch (m_docType) {
    case kDocDvi: PrintDviDocument(); break;
    case kDocTiff: PrintTiffDocument(); break;
    case kDocPsRaw:
    case kDocPs: PrintPostScriptDocument(); break;
    case kDocGzip:
        AfxShowMessageBox(this, kNotArrived, AfxLoadString(IDS_VIEW_APP_TITLE).c_str(),
                          MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
        break;
    default: break;
    }
}

void CVrViewerView::PrintDviDocument() {
    ViewerDvi* reader = Reader();
    if (!reader || !reader->IsOpened()) return;
    CVrViewerDoc* doc = GetDocument();
    if (reader->GetMode() == ModeScanning || reader->GetNPage() == 0 || !doc->AreFetchedFilesComplete()) {
        if (AfxShowMessageBox(this, kNotComplete, AfxLoadString(IDS_VIEW_APP_TITLE).c_str(),
                              MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;
    }
    const int count = reader->GetNPage();
    if (count < 1) return;
    PrintChoice choice;
    if (!ChoosePrint(this, 0, count, m_page, choice)) return;
    const std::vector<int>& pages = choice.pages;
    CDC* dc = choice.dc;
    const int dpiX = dc->GetDeviceCaps(LOGPIXELSX), dpiY = dc->GetDeviceCaps(LOGPIXELSY);
    const int originX = dpiX - dc->GetDeviceCaps(PHYSICALOFFSETX);
    const int originY = dpiY - dc->GetDeviceCaps(PHYSICALOFFSETY);

    PrintJobFrame frame(this, pages.front() + 1, pages.back() + 1);
    SetAbortProc(dc->GetSafeHdc(), PrintAbortProc);
    if (dc->StartDoc(doc->GetAddress().c_str()) <= 0) return frame.Fail();
    // The drawer keeps the reader's devices for the screen: the job leaves
    // them as they were.
    VrDvi::DeviceSlot savedDevices[VrDvi::kDeviceSlots];
    for (int i = 0; i < VrDvi::kDeviceSlots; ++i) savedDevices[i] = reader->GetDeviceSlot(i);
    struct RestoreDevices {
        VrDvi* reader;
        VrDvi::DeviceSlot* saved;
        ~RestoreDevices() {
            for (int i = 0; i < VrDvi::kDeviceSlots; ++i) reader->SetDeviceSlot(i, saved[i]);
        }
    } restore{reader, savedDevices};
    bool errorShown = false;
    for (int page : choice.JobPages()) {
        if (g_printAbort) break;
        frame.ShowPage(page + 1);
        if (g_printAbort) break;
        if (dc->StartPage() <= 0) {
            if (g_printAbort) break;
            dc->AbortDoc();
            return frame.Fail();
        }
        // A drawer of the job's own, of the screen's kind: pictures come from
        // the document's side files and folder, the watermark lies under the
        // page and the pictures over its text.
        ViewerDviDrawer drawer;
        drawer.SetDocument(doc);
        if (drawer.Open(*dc, *reader, page, fpreal4(10000), originX, originY, kLinkColour, String8())) {
            drawer.SetGSBitsPerPixel(m_GSPrintBitsPerPixel);
            try {
                drawer.DrawWatermark(reader->GetWatermarkInstruction());
                drawer.Draw(-1);
            } catch (const std::exception& e) {
                // Once a job: the same fault fails every copy of the page.
                if (!errorShown)
                    ReportToUserAndLog(CString("SetStatus Error\n") + CString(e.what()).Left(255), nullptr,
                                       MB_SYSTEMMODAL);
                errorShown = true;
            } catch (...) {
                AppendErrorLog(kUndefinedFormat);
            }
            // What the page drew so far keeps its pictures.
            try {
                drawer.DrawAllPictures();
            } catch (...) {
            }
            drawer.Close();
        }
        if (dc->EndPage() <= 0) {
            if (g_printAbort) break;
            dc->AbortDoc();
            return frame.Fail();
        }
    }
    if (g_printAbort) {
        dc->AbortDoc();
        return;
    }
    if (dc->EndDoc() <= 0) return frame.Fail();
}

// The bands of a TIFF page on the sheet, centred at the file's resolution.
std::vector<CVrViewerView::TiffPrintBand> CVrViewerView::TiffPrintBands(int width, int height, int bitCount,
                                                                         double scaleX, double scaleY, int offsetX,
                                                                         int offsetY, int physicalWidth,
                                                                         int physicalHeight) {
    std::vector<TiffPrintBand> bands;
    if (width < 1 || height < 1) return bands;
    const int64_t rowBytes = (int64_t(bitCount) * width + 31) / 8;
    const int rowsPerBand = int(std::max<int64_t>(1, 16384 / std::max<int64_t>(1, rowBytes)));
    const int destWidth = int(width * scaleX + 0.5);
    const int left = offsetX + (destWidth - physicalWidth) / 2;
    const int top = offsetY + (int(height * scaleY + 0.5) - physicalHeight) / 2;
    int done = 0, yPrev = 0;
    while (done < height) {
        const int band = std::min(rowsPerBand, height - done);
        done += band;
        const int yEnd = int(done * scaleY + 0.5);
        const int h = yEnd - yPrev;
        if (h > 0) bands.push_back({-left, yPrev - top, destWidth, h, height - done, band});
        yPrev += std::max(h, 0);
    }
    return bands;
}

void CVrViewerView::PrintTiffDocument() {
    CVrViewerDoc* doc = GetDocument();
    const String8 file = doc->GetTempFileName();
    if (file.GetLength() == 0 || m_pageCount < 1) return;
    PrintChoice choice;
    if (!ChoosePrint(this, 0, m_pageCount, m_page, choice)) return;
    const std::vector<int>& pages = choice.pages;
    CDC* dc = choice.dc;
    const int dpiX = dc->GetDeviceCaps(LOGPIXELSX), dpiY = dc->GetDeviceCaps(LOGPIXELSY);
    const int physW = dc->GetDeviceCaps(PHYSICALWIDTH), physH = dc->GetDeviceCaps(PHYSICALHEIGHT);
    const int offX = dc->GetDeviceCaps(PHYSICALOFFSETX), offY = dc->GetDeviceCaps(PHYSICALOFFSETY);

    PrintJobFrame frame(this, pages.front() + 1, pages.back() + 1);
    SetAbortProc(dc->GetSafeHdc(), PrintAbortProc);
    if (dc->StartDoc(doc->GetAddress().c_str()) <= 0) return frame.Fail();
    TIFF* tif = TIFFOpen(file.c_str(), "r");
    if (!tif) {
        dc->AbortDoc();
        return frame.Fail();
    }
    auto fail = [&] {
        TIFFClose(tif);
        dc->AbortDoc();
        if (!g_printAbort) frame.Fail();
    };
    for (int page : choice.JobPages()) {
        if (g_printAbort) break;
        frame.ShowPage(page + 1);
        if (g_printAbort) break;
        if (dc->StartPage() <= 0 || !TIFFSetDirectory(tif, tdir_t(page))) return fail();
        uint16_t unit = RESUNIT_INCH;
        float xRes = 0, yRes = 0;
        TIFFGetField(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
        if (!TIFFGetField(tif, TIFFTAG_XRESOLUTION, &xRes) || !(xRes > 0)) xRes = 72;
        if (!TIFFGetField(tif, TIFFTAG_YRESOLUTION, &yRes) || !(yRes > 0)) yRes = xRes;
        const double f = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
        const double scaleX = dpiX / (xRes * f), scaleY = dpiY / (yRes * f);
        std::vector<uint8_t> info(kTiffPageInfoBytes, 0);
        const int rotation = 0, zoom = 10000;
        std::unique_ptr<uint8_t[]> bits =
            DecodeTiffPage(tif, reinterpret_cast<BITMAPINFO*>(info.data()), &rotation, &zoom);
        if (!bits) return fail();
        const auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(info.data());
        for (const TiffPrintBand& b : TiffPrintBands(h->biWidth, std::abs(h->biHeight), h->biBitCount, scaleX, scaleY,
                                                     offX, offY, physW, physH)) {
            dc->StretchDIBits(b.x, b.y, b.width, b.height, 0, b.sourceY, h->biWidth, b.sourceHeight, bits.get(),
                              reinterpret_cast<const BITMAPINFO*>(info.data()), DIB_RGB_COLORS, SRCCOPY);
            if (!PrintAbortProc(nullptr, 0)) break;
        }
        if (g_printAbort) break;
        if (dc->EndPage() <= 0) return fail();
    }
    TIFFClose(tif);
    if (g_printAbort) {
        dc->AbortDoc();
        return;
    }
    if (dc->EndDoc() <= 0) frame.Fail();
}

void CVrViewerView::PrintPostScriptDocument() {
    CVrViewerDoc* doc = GetDocument();
    const String8 file = doc->GetTempFileName();
    if (file.GetLength() == 0) return;
    const int count = m_pageCount > 0 ? m_pageCount : 65535;
    PrintChoice choice;
    if (!ChoosePrint(this, PD_NOSELECTION, count, m_page, choice)) return;
    const std::vector<int>& pages = choice.pages;
    CDC* dc = choice.dc;
    const int first = pages.front() + 1, last = pages.back() + 1;

    CVrViewerAppBase* app = CVrViewerAppBase::Get();
    std::string program = app ? app->m_gsDllPath.c_str() : "";
    program += kGSConsoleProgram;
    GSCommandLine line(program);
    line.Add("-q").Safer().Add("-dBATCH").Add("-dNOPAUSE").Add("-sDEVICE=bmpmono");
    const int sheetW = dc->GetDeviceCaps(PHYSICALWIDTH), sheetH = dc->GetDeviceCaps(PHYSICALHEIGHT);
    const int dpiY = dc->GetDeviceCaps(LOGPIXELSY);
    line.PageSize(sheetW, sheetH);
    line.Resolution(dc->GetDeviceCaps(LOGPIXELSX), dpiY).Define("LastPage", last);
    // BMP pages on standard output; PostScript's own output goes elsewhere.
    line.DefineString("stdout", "%stderr").DefineString("OutputFile", "-");
    if (sheetW > sheetH && dpiY > 0) {
        // A landscape sheet: the page, taken as the sheet turned, is moved
        // down so that its top lies on the sheet's top, as DVI pages do, and
        // what lies below the sheet is left out. The shift in points is a
        // quotient of integers, whatever the locale's decimal sign.
        const std::string begin = "<< /BeginPage { pop 0 " + std::to_string(-72LL * (sheetW - sheetH)) + " " +
                                  std::to_string(dpiY) + " div translate } bind >> setpagedevice";
        line.Add("-dFIXEDMEDIA").Add("-c").Add(begin);
    }
    line.Add("-f").Add(file.c_str());
    sys::Process::Options options;
    options.argv = line.Argv();
    options.stdoutMode = sys::Process::Stream::Pipe;
    options.stderrMode = sys::Process::Stream::Null;
    // The document's PostScript may write only in a temporary folder of its own.
    GSJobFolder scratch;
    options.environment = scratch.Environment();
    if (dc->StartDoc("Pdf print") <= 0) {
        AfxShowMessageBox(this, "Cannot continue print process.", AfxLoadString(IDS_VIEW_APP_TITLE).c_str(),
                          MB_ICONHAND | MB_SYSTEMMODAL);
        return;
    }
    std::unique_ptr<PrintJobFrame> frame;
    bool failed = false;
    // Each copy the destination does not make reads the pages from gs again.
    for (int copy = 0; copy < choice.copies && !g_printAbort && !failed; ++copy) {
        sys::Process gs;
        std::string why;
        if (!gs.Start(options, &why)) {
            dc->AbortDoc();
            if (frame) frame->End();
            AfxShowMessageBox(this, CString("Cannot continue print process.\n") + why.c_str(),
                              AfxLoadString(IDS_VIEW_APP_TITLE).c_str(), MB_ICONHAND | MB_SYSTEMMODAL);
            return;
        }
        if (!frame) {
            frame = std::make_unique<PrintJobFrame>(this, first, last);
            SetAbortProc(dc->GetSafeHdc(), PrintAbortProc);
        }
        CGSFile pipe(gs.TakeStdout());
        CPrintDIB dib;
        for (int page = 1; !g_printAbort && dib.ReadHeader(&pipe); ++page) {
            const bool print = IsPageInList(page - 1, int(pages.size()), pages.data());
            std::printf("Page %d, %s\n", page, print ? "PRINT" : "ignore");
            if (print) {
                frame->ShowPage(page);
                if (g_printAbort || dc->StartPage() <= 0) {
                    failed = !g_printAbort;
                    break;
                }
            }
            const int whole = dib.ReadPageRows(&pipe, dc->GetSafeHdc(), print ? 1 : 0);
            if (print && dc->EndPage() <= 0) {
                failed = !g_printAbort;
                break;
            }
            if (!whole) {
                failed = true;
                break;
            }
            if (page >= last) break;
        }
        if (!g_printAbort && !failed && dib.GetError() != GSPageError::None) failed = true;
        // Ghostscript gets EPIPE once the read end is gone; then it is reaped.
        pipe.Close();
        if (!gs.Wait(2000)) {
            gs.Kill();
            gs.Wait();
        }
    }
    std::fflush(stdout);
    if (g_printAbort || failed) {
        dc->AbortDoc();
        if (failed && !g_printAbort) frame->Fail();
        return;
    }
    if (dc->EndDoc() <= 0) frame->Fail();
}
