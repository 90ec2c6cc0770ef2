#include "platform/ui/PrintDialog.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QImage>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/ui/MessageBox.h"

namespace {

// Bands of this many rows keep a page's raster small at any resolution.
constexpr int kBandRows = 256;
constexpr int kPrintResolution = 300;
constexpr const char kPdfDestination[] = "Print to File (PDF)";

// The last print setup of the process.
struct PrintSetup {
    bool chosen = false;
    bool pdf = false;
    QString printer;
    QPageSize paper;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
};

// Print documents begun and not yet ended, process-wide (UI thread only).
int g_openDocuments = 0;

// The process's file-creation mask, read without changing it.
mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("Umask:", 0) == 0) return mode_t(std::strtoul(line.c_str() + 6, nullptr, 8));
    return 022;
}

PrintSetup& LastSetup() {
    static PrintSetup setup;
    return setup;
}

// The papers the setup offers.
constexpr QPageSize::PageSizeId kPapers[] = {QPageSize::A3,     QPageSize::A4,     QPageSize::A5,
                                             QPageSize::B4,     QPageSize::B5,     QPageSize::Letter,
                                             QPageSize::Legal,  QPageSize::Executive, QPageSize::Tabloid};

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

QtPrintSink::~QtPrintSink() {
    if (m_painter.isActive()) m_painter.end();
    Finish();
}

bool QtPrintSink::BeginDocument(const std::string& name, const PrinterInfo&) {
    m_printer.setDocName(QString::fromStdString(name));
    m_pages = 0;
    const QString file = m_printer.outputFileName();
    if (!file.isEmpty()) {
        const std::string path = file.toStdString();
        const size_t slash = path.find_last_of('/');
        std::string part = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + "." +
                           path.substr(slash == std::string::npos ? 0 : slash + 1) + ".XXXXXX";
        const int fd = mkstemp(part.data());
        if (fd < 0) return false;
        close(fd);
        m_chosenFile = file;
        m_partFile = QString::fromStdString(part);
        m_printer.setOutputFileName(m_partFile);
    }
    if (!m_painter.begin(&m_printer)) {
        Finish();
        return false;
    }
    m_open = true;
    ++g_openDocuments;
    return true;
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

bool QtPrintSink::EndDocument() {
    bool ok = m_painter.isActive() && m_painter.end();
    if (ok && !m_partFile.isEmpty()) {
        // mkstemp made it private; the finished file gets the usual mode.
        const std::string part = m_partFile.toStdString(), chosen = m_chosenFile.toStdString();
        ok = chmod(part.c_str(), 0666 & ~CurrentUmask()) == 0 && rename(part.c_str(), chosen.c_str()) == 0;
        if (ok) m_partFile.clear();
    }
    Finish();
    return ok;
}

void QtPrintSink::AbortDocument() {
    m_printer.abort();
    if (m_painter.isActive()) m_painter.end();
    Finish();
}

void QtPrintSink::Finish() {
    if (!m_partFile.isEmpty()) QFile::remove(m_partFile);
    if (!m_chosenFile.isEmpty()) m_printer.setOutputFileName(m_chosenFile);
    m_partFile.clear();
    m_chosenFile.clear();
    if (m_open) --g_openDocuments;
    m_open = false;
}

int QtPrintSink::OpenDocuments() { return g_openDocuments; }

CPrintDialog::CPrintDialog(BOOL bPrintSetupOnly, DWORD dwFlags, CWnd* pParentWnd)
    : CDialog(bPrintSetupOnly ? IDD_PRINT_SETUP_DIALOG : IDD_PRINT_DIALOG, pParentWnd), m_setupOnly(bPrintSetupOnly),
      m_printer(std::make_unique<QPrinter>(QPrinter::PrinterResolution)) {
    m_pd.Flags = dwFlags;
    m_printer->setResolution(kPrintResolution);
    m_printer->setFullPage(false);
    const PrintSetup& setup = LastSetup();
    if (!setup.chosen) return;
    if (setup.pdf) m_printer->setOutputFormat(QPrinter::PdfFormat);
    else m_printer->setPrinterName(setup.printer);
    m_printer->setPageSize(setup.paper);
    m_printer->setPageOrientation(setup.orientation);
}

int CPrintDialog::GetJobCopies() const {
    if (m_printer->outputFormat() == QPrinter::NativeFormat && m_printer->supportsMultipleCopies()) return 1;
    return std::max<int>(1, m_pd.nCopies);
}

INT_PTR CPrintDialog::DoSetupModal() {
    QWidget* parent = nullptr;
    if (CWnd* main = AfxGetMainWnd()) parent = main->GetWidget();
    QDialog dialog(parent);
    dialog.setWindowTitle("Print Setup");
    auto* printers = new QComboBox;
    printers->setObjectName("printer");
    for (const QString& name : QPrinterInfo::availablePrinterNames()) printers->addItem(name, name);
    printers->addItem(kPdfDestination, QString());
    auto* papers = new QComboBox;
    papers->setObjectName("paper");
    for (QPageSize::PageSizeId id : kPapers) papers->addItem(QPageSize::name(id), int(id));
    auto* portrait = new QRadioButton("P&ortrait");
    auto* landscape = new QRadioButton("L&andscape");
    portrait->setObjectName("portrait");
    landscape->setObjectName("landscape");

    // What the dialog shows first: the last setup, else the printer's defaults.
    const PrintSetup& last = LastSetup();
    const bool pdf =
        last.chosen ? last.pdf : m_printer->outputFormat() == QPrinter::PdfFormat || printers->count() == 1;
    const QString printer = last.chosen ? last.printer : QPrinterInfo::defaultPrinterName();
    const int at = pdf ? printers->count() - 1 : printers->findData(printer);
    printers->setCurrentIndex(at >= 0 ? at : 0);
    const int paper = papers->findData(int(m_printer->pageLayout().pageSize().id()));
    papers->setCurrentIndex(paper >= 0 ? paper : 1);
    (m_printer->pageLayout().orientation() == QPageLayout::Landscape ? landscape : portrait)->setChecked(true);

    auto* printerBox = new QGroupBox("Printer");
    auto* printerForm = new QFormLayout(printerBox);
    printerForm->addRow("&Name:", printers);
    auto* paperBox = new QGroupBox("Paper");
    auto* paperForm = new QFormLayout(paperBox);
    paperForm->addRow("Si&ze:", papers);
    auto* orientationBox = new QGroupBox("Orientation");
    auto* orientationLayout = new QVBoxLayout(orientationBox);
    orientationLayout->addWidget(portrait);
    orientationLayout->addWidget(landscape);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QGridLayout(&dialog);
    layout->addWidget(printerBox, 0, 0, 1, 2);
    layout->addWidget(paperBox, 1, 0);
    layout->addWidget(orientationBox, 1, 1);
    layout->addWidget(buttons, 2, 0, 1, 2);

    if (AfxRunModalDialog(dialog, GetTemplateID()) != IDOK) return IDCANCEL;
    PrintSetup chosen;
    chosen.chosen = true;
    chosen.printer = printers->currentData().toString();
    chosen.pdf = chosen.printer.isEmpty();
    chosen.paper = QPageSize(QPageSize::PageSizeId(papers->currentData().toInt()));
    chosen.orientation = landscape->isChecked() ? QPageLayout::Landscape : QPageLayout::Portrait;
    LastSetup() = chosen;
    return IDOK;
}

CPrintDialog::~CPrintDialog() {
    m_dc.reset();
    m_sink.reset();
}

INT_PTR CPrintDialog::DoModal() {
    if (m_setupOnly) return DoSetupModal();
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
