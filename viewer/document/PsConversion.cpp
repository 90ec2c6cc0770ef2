#include "viewer/document/PsConversion.h"

#include <cctype>
#include <climits>
#include <fstream>
#include <memory>

#include "platform/ghostscript/GSJobArgs.h"

namespace {

// Pieces of PostScript fed to the converter: small enough that a stop is
// seen within a page of a typical document.
constexpr std::streamsize kFeedChunk = 4096;
constexpr size_t kLongestLine = 4096;
constexpr size_t kKeptMessages = 2048;

// Opens the PDF, writes the range line that running it would write, and
// closes it again without interpreting a single page.
constexpr const char kCountOperation[] =
    "(r) file runpdfbegin (Processing pages 1 through ) print pdfpagecount =only (.\\n) print flush runpdfend";

// The converter's outputter: the page-count parser, and the job's text kept
// for an error message.
class ConversionOutputter : public PsInfoOutputter {
public:
    using PsInfoOutputter::PsInfoOutputter;
    void OnText(GS* gs, const char* text, int length) override {
        PsInfoOutputter::OnText(gs, text, length);
        if (m_messages.size() < kKeptMessages) m_messages.append(text, size_t(length));
    }
    // Only the stop flag ends a conversion.
    int IsDone(GS*) override { return Stopped(); }
    std::string m_messages;
};

}  // namespace

int ParseThroughCount(const std::string& line) {
    static const char kWord[] = "through ";
    const size_t n = sizeof kWord - 1;
    for (size_t at = 0; at + n <= line.size(); ++at) {
        size_t k = 0;
        while (k < n && std::tolower(static_cast<unsigned char>(line[at + k])) == kWord[k]) ++k;
        if (k < n) continue;
        size_t p = at + n;
        long long value = 0;
        size_t digits = 0;
        while (p < line.size() && std::isdigit(static_cast<unsigned char>(line[p]))) {
            if (value < INT_MAX) value = value * 10 + (line[p] - '0');
            ++p;
            ++digits;
        }
        if (digits == 0) return -1;
        return value > INT_MAX ? INT_MAX : int(value);
    }
    return -1;
}

void PsInfoOutputter::ParseLine(const std::string& line) {
    if (m_pageCount >= 0) return;
    const int count = ParseThroughCount(line);
    if (count >= 0) m_pageCount = count;
}

void PsInfoOutputter::OnText(GS*, const char* text, int length) {
    for (int i = 0; i < length; ++i) {
        const char c = text[i];
        if (c == '\n' || c == '\r') {
            ParseLine(m_line);
            m_line.clear();
        } else if (m_line.size() < kLongestLine) {
            m_line += c;
        }
    }
}

void PsInfoOutputter::Finish() {
    ParseLine(m_line);
    m_line.clear();
}

int PsInfoOutputter::IsDone(GS*) { return m_pageCount > 0 || Stopped() ? 1 : 0; }

std::vector<String8> PdfWriteJobArgs(const char* outputFile) {
    GSCommandLine line("gswin.exe");
    line.Add("-dCompatibilityLevel#1.2").Safer().Add("-dNOPAUSE").Add("-dBATCH").Add("-sDEVICE#pdfwrite");
    line.DefineString("OutputFile", outputFile, '#').Add("-dCompatibilityLevel#1.2");
    return line.Args();
}

std::vector<String8> PageCountJobArgs(const char* libPath) {
    GSCommandLine line("gswin.exe");
    // The wrapper drops an -I without a path, so Ghostscript keeps its own.
    line.Library(libPath).Add("-dNODISPLAY").Safer();
    line.Add("-dNOPLATFONTS").Add("-dNOPAUSE").Add("-dBATCH").Add("-dNOFONTMAP");
    return line.Args();
}

PsJobResult ConvertPostScriptToPdf(const char* psFile, const char* pdfFile, const std::atomic<int>* stop,
                                   std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return PsJobResult::Failed;
    };
    std::ifstream in(psFile ? psFile : "", std::ios::binary);
    if (!in) return fail("The PostScript file cannot be read.");
    GS* gs = GetGS();
    ConversionOutputter out(stop);
    if (!gs->StartGSJob(PdfWriteJobArgs(pdfFile), &out))
        return fail("Ghostscript did not start the conversion to PDF.\n" + out.m_messages);
    std::unique_ptr<char[]> buf(new char[kFeedChunk]);
    int code = 0;
    while (code >= 0 && !out.Stopped()) {
        in.read(buf.get(), kFeedChunk);
        const std::streamsize n = in.gcount();
        if (n <= 0) break;
        code = gs->ProcessPSCommand(buf.get(), size_t(n));
    }
    const int endCode = gs->EndGSJob();
    if (out.Stopped()) return PsJobResult::Stopped;
    if (code < 0 || endCode < 0 || in.bad())
        return fail("Ghostscript could not convert the PostScript document.\n" + out.m_messages);
    return PsJobResult::Done;
}

PsJobResult CountPdfPages(const char* pdfFile, const std::atomic<int>* stop, int* count) {
    *count = 1;
    GS* gs = GetGS();
    PsInfoOutputter out(stop);
    if (!gs->StartGSJob(PageCountJobArgs(gs->GetRastinPath()), &out)) return PsJobResult::Failed;
    gs->ProcessPSFile(pdfFile, kCountOperation);
    gs->EndGSJob();
    out.Finish();
    if (out.Stopped()) return PsJobResult::Stopped;
    *count = out.m_pageCount < 1 ? 1 : out.m_pageCount;
    return PsJobResult::Done;
}
