// CPrintDialog: the system's print dialog over Qt's, its print setup dialog,
// and the print sink that hands a printer DC's bands to the chosen QPrinter
// (a CUPS printer or a PDF file). DoModal runs through the modal answerer
// (the QPrintDialog, or the setup dialog, is handed to the script).
#pragma once

#include <QPrinter>
#include <QPainter>
#include <memory>

#include "platform/gdi/DC.h"
#include "platform/gdi/PrintSink.h"
#include "platform/ui/Dialog.h"

constexpr DWORD PD_ALLPAGES = 0x00000000;
constexpr DWORD PD_SELECTION = 0x00000001;
constexpr DWORD PD_PAGENUMS = 0x00000002;
constexpr DWORD PD_NOSELECTION = 0x00000004;
constexpr DWORD PD_RETURNDC = 0x00000100;
constexpr DWORD PD_HIDEPRINTTOFILE = 0x00100000;
constexpr DWORD PD_USEDEVMODECOPIES = 0x00040000;

// The dialogs' resource ids as the modal answerer sees them.
constexpr UINT IDD_PRINT_DIALOG = 1538;
constexpr UINT IDD_PRINT_SETUP_DIALOG = 1539;

// Pages go to a QPrinter, one after another, band by band.
class QtPrintSink : public PrintSink {
public:
    explicit QtPrintSink(QPrinter& printer) : m_printer(printer) {}
    ~QtPrintSink() override;
    // The printer's resolution, sheet and printable area in device pixels.
    static PrinterInfo Describe(QPrinter& printer);

    bool BeginDocument(const std::string& name, const PrinterInfo& printer) override;
    bool BeginPage(int pageNumber) override;
    bool PrintBand(const ::PrintBand& band) override;
    // A PDF file is written under a temporary name beside the chosen one
    // and renamed to it at the end, so that a job that is stopped, fails or
    // is killed leaves nothing at the chosen path (and a file already there
    // as it was).
    bool EndDocument() override;
    // Ends the document; the PDF file being written is removed.
    void AbortDocument() override;

    // Documents begun and not yet ended or aborted, in the whole process.
    static int OpenDocuments();

private:
    void Finish();

    QPrinter& m_printer;
    QPainter m_painter;
    int m_pages = 0;
    bool m_open = false;
    QString m_chosenFile, m_partFile; // empty when not printing to a file
};

class CPrintDialog : public CDialog {
public:
    struct PRINTDLG {
        DWORD Flags = 0;
        WORD nFromPage = 0, nToPage = 0, nMinPage = 0, nMaxPage = 0;
        WORD nCopies = 1;
    };

    // With bPrintSetupOnly the print setup dialog (printer, paper,
    // orientation): its choice is what every later print dialog of the
    // process starts from. Otherwise the print dialog, which starts from the
    // last print setup.
    explicit CPrintDialog(BOOL bPrintSetupOnly, DWORD dwFlags = 0, CWnd* pParentWnd = nullptr);
    ~CPrintDialog() override;

    INT_PTR DoModal() override;
    // The copies the job has to print itself (the range again each time,
    // collated): 1 when the destination makes the copies.
    int GetJobCopies() const;
    // After IDOK: the chosen range (PD_PAGENUMS, PD_SELECTION or all).
    BOOL PrintRange() const { return (m_pd.Flags & PD_PAGENUMS) != 0; }
    BOOL PrintSelection() const { return (m_pd.Flags & PD_SELECTION) != 0; }
    int GetFromPage() const { return m_pd.nFromPage; }
    int GetToPage() const { return m_pd.nToPage; }
    int GetCopies() const { return m_pd.nCopies; }
    // A printer DC on the chosen printer, owned by the dialog (null before
    // IDOK); copies are left to the printer.
    CDC* GetPrinterDC();
    QPrinter& GetPrinter() { return *m_printer; }

    PRINTDLG m_pd;

private:
    INT_PTR DoSetupModal();

    bool m_setupOnly;
    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<QtPrintSink> m_sink;
    std::unique_ptr<CDC> m_dc;
    bool m_chosen = false;
};
