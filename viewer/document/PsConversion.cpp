#include "viewer/document/PsConversion.h"

#include <cctype>
#include <climits>
#include <fstream>
#include <string>

#include "platform/ghostscript/GSChildJob.h"
#include "platform/ghostscript/GSJobArgs.h"

namespace {

// How long a conversion may take.
constexpr int kConversionTimeLimitMs = 10 * 60 * 1000;
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
    if (!std::ifstream(psFile ? psFile : "", std::ios::binary)) return fail("The PostScript file cannot be read.");
    if (stop && stop->load()) return PsJobResult::Stopped;
    // PostScript is a program that may never end: it runs in a child
    // process, fed in pieces, and a stop ends its input there.
    ConversionOutputter out(stop);
    const GSChildJob::Result r = GSChildJob::StreamFile(GetGS(), PdfWriteJobArgs(pdfFile), psFile, &out,
                                                        kConversionTimeLimitMs);
    if (out.Stopped() || r.end == GSChildJob::End::Stopped) return PsJobResult::Stopped;
    if (r.end == GSChildJob::End::TimedOut)
        return fail("Ghostscript did not finish converting the PostScript document within " +
                    std::to_string(kConversionTimeLimitMs / 60000) + " minutes.\n" + out.m_messages);
    if (r.end != GSChildJob::End::Done)
        return fail("Ghostscript could not convert the PostScript document.\n" +
                    (out.m_messages.empty() ? r.text : out.m_messages));
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
