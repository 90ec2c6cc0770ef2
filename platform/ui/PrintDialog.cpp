#include "platform/ui/PrintDialog.h"

#include <QFile>
#include <QImage>
#include <QPrintDialog>

#include "platform/ui/MessageBox.h"

namespace {

// Bands of this many rows keep a page's raster small at any resolution.
constexpr int kBandRows = 256;
constexpr int kPrintResolution = 300;

}  // namespace

PrinterInfo QtPrintSink::Describe(QPrinter& printer) {
    PrinterInfo info;
    const int dpi = printer.resolution();
    const QPageLayout layout = printer.pageLayout();
    const QRect full = layout.fullRectPixels(dpi);
    const QRect paint = layout.paintRectPixels(dpi);
    info.dpiX = info.dpiY = dpi;
    info.physicalWidth = full.width();
    info.physicalHeight = full.height();
    info.offsetX = paint.left();
    info.offsetY = paint.top();
    info.printableWidth = paint.width();
    info.printableHeight = paint.height();
    info.bandHeight = kBandRows;
    return info;
}

bool QtPrintSink::BeginDocument(const std::string& name, const PrinterInfo&) {
    m_printer.setDocName(QString::fromStdString(name));
    m_pages = 0;
    return m_painter.begin(&m_printer);
}

bool QtPrintSink::BeginPage(int) {
    if (!m_painter.isActive()) return false;
    if (m_pages++ > 0) return m_printer.newPage();
    return true;
}

bool QtPrintSink::PrintBand(const ::PrintBand& band) {
    if (!m_painter.isActive() || !band.pixels || band.width < 1 || band.height < 1) return m_painter.isActive();
    const QImage image(reinterpret_cast<const uchar*>(band.pixels), band.width, band.height,
                       qsizetype(band.stride) * 4, QImage::Format_RGB32);
    m_painter.drawImage(QPoint(0, band.top), image);
    return true;
}

bool QtPrintSink::EndDocument() { return m_painter.isActive() && m_painter.end(); }

void QtPrintSink::AbortDocument() {
    m_printer.abort();
    if (m_painter.isActive()) m_painter.end();
    const QString file = m_printer.outputFileName();
    if (!file.isEmpty()) QFile::remove(file);
}

CPrintDialog::CPrintDialog(BOOL, DWORD dwFlags, CWnd* pParentWnd)
    : CDialog(IDD_PRINT_DIALOG, pParentWnd), m_printer(std::make_unique<QPrinter>(QPrinter::PrinterResolution)) {
    m_pd.Flags = dwFlags;
    m_printer->setResolution(kPrintResolution);
    m_printer->setFullPage(false);
}

CPrintDialog::~CPrintDialog() {
    m_dc.reset();
    m_sink.reset();
}

INT_PTR CPrintDialog::DoModal() {
    QWidget* parent = nullptr;
    if (CWnd* main = AfxGetMainWnd()) parent = main->GetWidget();
    if (m_pd.nMinPage < 1) m_pd.nMinPage = 1;
    if (m_pd.nMaxPage < m_pd.nMinPage) m_pd.nMaxPage = m_pd.nMinPage;
    m_printer->setFromTo(0, 0);
    QPrintDialog dialog(m_printer.get(), parent);
    dialog.setMinMax(m_pd.nMinPage, m_pd.nMaxPage);
    QAbstractPrintDialog::PrintDialogOptions options = QAbstractPrintDialog::PrintPageRange |
                                                       QAbstractPrintDialog::PrintShowPageSize |
                                                       QAbstractPrintDialog::PrintCollateCopies;
    if (!(m_pd.Flags & PD_NOSELECTION)) options |= QAbstractPrintDialog::PrintCurrentPage;
    if (!(m_pd.Flags & PD_HIDEPRINTTOFILE)) options |= QAbstractPrintDialog::PrintToFile;
    dialog.setOptions(options);
    const int answer = AfxRunModalDialog(dialog, GetTemplateID());
    if (answer != IDOK) return answer;
    m_pd.Flags &= ~(PD_PAGENUMS | PD_SELECTION);
    switch (m_printer->printRange()) {
    case QPrinter::PageRange:
        m_pd.Flags |= PD_PAGENUMS;
        m_pd.nFromPage = WORD(std::max(m_printer->fromPage(), int(m_pd.nMinPage)));
        m_pd.nToPage = WORD(std::min(std::max(m_printer->toPage(), int(m_pd.nFromPage)), int(m_pd.nMaxPage)));
        break;
    case QPrinter::CurrentPage:
    case QPrinter::Selection: m_pd.Flags |= PD_SELECTION; break;
    default:
        m_pd.nFromPage = m_pd.nMinPage;
        m_pd.nToPage = m_pd.nMaxPage;
        break;
    }
    m_pd.nCopies = WORD(std::max(1, m_printer->copyCount()));
    m_chosen = true;
    return IDOK;
}

CDC* CPrintDialog::GetPrinterDC() {
    if (!m_chosen) return nullptr;
    if (!m_dc) {
        m_sink = std::make_unique<QtPrintSink>(*m_printer);
        m_dc = CreatePrinterDC(QtPrintSink::Describe(*m_printer), *m_sink);
    }
    return m_dc.get();
}
