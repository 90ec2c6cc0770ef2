// PostScript to PDF conversion and the page count of a PDF, Ghostscript jobs
// run by a document's worker thread: the conversion in a child process (the
// PostScript may never end), the count in-process. A stop flag (the
// document's) ends either job early: the wrapper polls it for the count, and
// the converter's input is ended at the next piece, so a stop takes effect
// within a page (a child that runs on is ended).
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "base/String8.h"
#include "platform/ghostscript/GS.h"

// Reads the page count from Ghostscript's "Processing pages 1 through N."
// line. Text may arrive in any pieces: it is gathered into lines first.
class PsInfoOutputter : public GS::PageOutputter {
public:
    explicit PsInfoOutputter(const std::atomic<int>* stop = nullptr) : m_stop(stop) {}

    void OnText(GS* gs, const char* text, int length) override;
    // Done once a count above 0 is known, or when the stop flag is set.
    int IsDone(GS* gs) override;
    // Parses what is left of an unfinished last line.
    void Finish();
    bool Stopped() const { return m_stop && m_stop->load(); }

    int m_pageCount = -1;

private:
    void ParseLine(const std::string& line);

    const std::atomic<int>* m_stop;
    std::string m_line;
};

// The number after the first "through " (any case) of a line: -1 when there
// is none or no digits follow it.
int ParseThroughCount(const std::string& line);

// Ghostscript arguments of the conversion job and of the page-count job.
std::vector<String8> PdfWriteJobArgs(const char* outputFile);
std::vector<String8> PageCountJobArgs(const char* libPath);

enum class PsJobResult { Done, Failed, Stopped };

// Converts the PostScript file psFile into the PDF file pdfFile. On Failed
// *error (when given) says why. A stopped or failed conversion leaves pdfFile
// as the caller made it (the caller deletes it).
PsJobResult ConvertPostScriptToPdf(const char* psFile, const char* pdfFile, const std::atomic<int>* stop,
                                   std::string* error);

// The page count of a PDF file, at least 1, in *count. Failed when no job
// could run (the count is then 1).
PsJobResult CountPdfPages(const char* pdfFile, const std::atomic<int>* stop, int* count);
