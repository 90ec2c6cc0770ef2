#include "viewer/document/ViewerDvi.h"

#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <strings.h>

#include "dvilib/DirectiveGrammar.h"
#include "platform/sys/RegularFile.h"
#include "viewer/document/FetchedFile.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/document/DocumentView.h"

namespace {

// A size or an origin beyond 10 metres is no paper.
constexpr double kMaxMillimetres = 10000.0;

bool IsBlank(unsigned char c) { return c != 0 && c <= 0x20; }

const unsigned char* Blanks(const unsigned char* p) {
    while (IsBlank(*p)) ++p;
    return p;
}

// Only blanks from `from` to the end of the text (or its NUL).
bool OnlyBlanks(const unsigned char* text, int length, int from) {
    for (int i = from; i < length && text[i]; ++i)
        if (!IsBlank(text[i])) return false;
    return true;
}

bool Keyword(const unsigned char* text, int length, const char* keyword) {
    const size_t n = std::strlen(keyword);
    return size_t(length) >= n && strncasecmp(reinterpret_cast<const char*>(text), keyword, n) == 0;
}

// A number of digits and points (the C locale's form, whatever the
// process's locale); p moves behind it. 0 when there is none.
double Number(const unsigned char*& p) {
    const unsigned char* q = p;
    while ((*q >= '0' && *q <= '9') || *q == '.') ++q;
    double v = 0;
    if (q > p) {
        const auto r = std::from_chars(reinterpret_cast<const char*>(p), reinterpret_cast<const char*>(q), v);
        if (r.ec != std::errc()) v = 0;
    }
    p = q;
    return v;
}

// A decimal integer after blanks, with an optional sign; false without digits.
bool Integer(const unsigned char*& p, long& v) {
    p = Blanks(p);
    const unsigned char* q = p;
    bool negative = false;
    if (*q == '+' || *q == '-') negative = *q++ == '-';
    const unsigned char* digits = q;
    while (*q >= '0' && *q <= '9') ++q;
    if (q == digits || q - digits > 9) return false;
    long value = 0;
    std::from_chars(reinterpret_cast<const char*>(digits), reinterpret_cast<const char*>(q), value);
    v = negative ? -value : value;
    p = q;
    return true;
}

// "papersize" value: a number above 0 with its unit, in 1/10000 mm.
bool PaperValue(const unsigned char*& p, int& out) {
    const double v = Number(p);
    if (!(v > 0)) return false;
    char unit[3] = {char(p[0]), p[0] ? char(p[1]) : '\0', 0};
    double mm = 0;
    if (!ViewerDvi::UnitToMillimetres(unit, mm)) return false;
    p += 2;
    const double value = v * mm;
    if (!(value <= kMaxMillimetres)) return false;
    out = int(std::lround(value * 10000));
    return out > 0;
}

// "defaultorg:" value: a number above 0 with its unit directly behind, in inches.
bool OriginValue(const unsigned char*& p, double& inches) {
    const double v = Number(p);
    if (!(v > 0)) return false;
    char unit[3] = {char(p[0]), p[0] ? char(p[1]) : '\0', 0};
    double f = 0;
    if (!ViewerDvi::UnitToInches(unit, f)) return false;
    p += 2;
    inches = v * f;
    return inches * 25.4 <= kMaxMillimetres;
}

}  // namespace

// ----------------------------------------------------------------- reader

ViewerDvi::ViewerDvi() : m_paper(PaperSize::kA4, 0) { Reset(); }

ViewerDvi::ViewerDvi(const String8& file, const DList<String8>& tfmPaths, const DList<String8>& vfPaths)
    : VrDvi(file, tfmPaths, vfPaths), m_paper(PaperSize::kCustom, 0) {
    Reset();
}

ViewerDvi::~ViewerDvi() = default;

void ViewerDvi::Reset() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_paperBySpecial = 0;
}

void ViewerDvi::ResetForScan() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_paperBySpecial = 0;
    m_pagePapers.clear();
    m_paper = PaperSize(PaperSize::kA4, 0);
    m_watermarkInstruction.clear();
    m_watermarkFile.clear();
}

bool ViewerDvi::UnitToMillimetres(const char* unit, double& factor) {
    static const struct {
        const char* name;
        double mm;
    } kUnits[] = {{"in", 25.4},
                  {"cm", 10.0},
                  {"mm", 1.0},
                  {"pt", 0.35145980351459805},
                  {"sp", 5.362851005776948e-06},
                  {"bp", 0.35277777777777775}};
    for (const auto& u : kUnits)
        if (strncasecmp(unit, u.name, 2) == 0) {
            factor = u.mm;
            return true;
        }
    return false;
}

bool ViewerDvi::UnitToInches(const char* unit, double& factor) {
    static const struct {
        const char* name;
        double inches;
    } kUnits[] = {{"in", 1.0},         {"cm", 1.0 / 2.54},           {"mm", 1.0 / 25.4},
                  {"pt", 1.0 / 72.27}, {"sp", 1.0 / (72.27 * 65536)}, {"bp", 1.0 / 72.0}};
    for (const auto& u : kUnits)
        if (strncasecmp(unit, u.name, 2) == 0) {
            factor = u.inches;
            return true;
        }
    return false;
}

int ViewerDvi::GetPagePaperCount() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return int(m_pagePapers.size());
}

bool ViewerDvi::GetPagePaper(int page, PaperSize& paper) const {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_pagePapers.empty() || page < 0) return false;
    paper = m_pagePapers[std::min<size_t>(size_t(page), m_pagePapers.size() - 1)];
    return true;
}

PaperSize ViewerDvi::GetPaper() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_paper;
}

int ViewerDvi::IsPaperBySpecial() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_paperBySpecial;
}

void ViewerDvi::SetAllPapers(const PaperSize& paper) {
    std::lock_guard<std::mutex> lock(m_lock);
    // Without entries the view derives the paper from the pages' extent; the
    // chosen paper becomes the single entry so that it holds for every page.
    if (m_pagePapers.empty()) m_pagePapers.push_back(paper);
    for (PaperSize& p : m_pagePapers) p = paper;
    m_paper = paper;
}

std::vector<unsigned char> ViewerDvi::GetWatermarkInstruction() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_watermarkInstruction;
}

std::string ViewerDvi::GetWatermarkFile() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_watermarkFile;
}

bool ViewerDvi::HasView() const { return m_pDoc && m_pDoc->HasView(); }

void ViewerDvi::AppendPictFile(const String8& file) {
    if (m_pDoc) m_pDoc->FindFetchedFile(file, 0);
}

void ViewerDvi::DoSpecial(unsigned char* text, int length) {
    if (!text || length <= 0) return VrDvi::DoSpecial(text, length);
    // The viewer's own specials by keyword; each handler takes the whole
    // text, its length and where the arguments start, and checks them.
    using Handler = void (*)(ViewerDvi&, unsigned char* text, int length, int at);
    static const struct {
        const char* keyword;
        Handler handle;
    } kOwn[] = {
        {"landscape",
         [](ViewerDvi& d, unsigned char* t, int n, int at) {
             if (d.HasView() && OnlyBlanks(t, n, at)) d.PaperSpecial(1, nullptr);
         }},
        {"portrait",
         [](ViewerDvi& d, unsigned char* t, int n, int at) {
             if (d.HasView() && OnlyBlanks(t, n, at)) d.PaperSpecial(0, nullptr);
         }},
        {"papersize",
         [](ViewerDvi& d, unsigned char* t, int, int at) {
             int w = 0, h = 0;
             if (!d.HasView() || !ParsePaperSizeArgs(t + at, w, h)) return;
             const PaperSize size(w, h, 0);
             d.PaperSpecial(-1, &size);
         }},
        {"defaultorg:",
         [](ViewerDvi& d, unsigned char* t, int, int at) {
             double x = 0, y = 0;
             if (d.GetNPage() < 1 && d.HasView() && ParseDefaultOrgArgs(t + at, x, y)) d.DefaultOrgSpecial(x, y);
         }},
        {"workspacecolor:",
         [](ViewerDvi& d, unsigned char* t, int, int at) {
             COLORREF colour = 0;
             if (d.GetNPage() < 1 && d.HasView() && ParseWorkspaceColorArgs(t + at, colour))
                 d.WorkspaceColorSpecial(colour);
         }},
        {"allfilesembedded:",
         [](ViewerDvi& d, unsigned char*, int, int) {
             if (d.m_pDoc) d.m_pDoc->SetAllFilesEmbedded(1);
         }},
        {"embeddedfilename:", [](ViewerDvi& d, unsigned char* t, int n, int) { d.EmbeddedFileSpecial(t, n); }},
        {"watermarkgraphics:", [](ViewerDvi& d, unsigned char* t, int n, int) { d.WatermarkSpecial(t, n); }},
        {"note:",
         [](ViewerDvi& d, unsigned char* t, int n, int) {
             if (d.m_pDoc) d.m_pDoc->ReadNoteSpecial(reinterpret_cast<const char*>(t), n, d.GetNPage());
         }},
    };
    for (const auto& own : kOwn)
        if (Keyword(text, length, own.keyword)) return own.handle(*this, text, length, int(std::strlen(own.keyword)));
    VrDvi::DoSpecial(text, length);
}

void ViewerDvi::PaperSpecial(int orientation, const PaperSize* size) {
    std::lock_guard<std::mutex> lock(m_lock);
    const int k = GetNPage();
    if (k < 0 || k >= kMaxPages) return;
    const bool first = m_pagePapers.empty();
    if (int(m_pagePapers.size()) <= k) m_pagePapers.resize(size_t(k) + 1, m_paper);
    PaperSize& entry = m_pagePapers[size_t(k)];
    if (size) {
        int w = 0, h = 0;
        size->GetPortraitSize(&w, &h);
        if (first) {
            entry.SetSize(w, h);
            m_paper.SetSize(w, h);
        } else {
            entry = PaperSize(w, h, m_paper.GetOrientation());
            m_paper = entry;
        }
    } else {
        entry.SetOrientation(orientation);
        m_paper.SetOrientation(orientation);
    }
    m_paperBySpecial = 1;
}

bool ViewerDvi::ParsePaperSizeArgs(const unsigned char* args, int& w, int& h) {
    const unsigned char* p = Blanks(args);
    if (*p++ != '=') return false;
    p = Blanks(p);
    if (!PaperValue(p, w)) return false;
    p = Blanks(p);
    if (*p++ != ',') return false;
    p = Blanks(p);
    return PaperValue(p, h);
}

bool ViewerDvi::ParseDefaultOrgArgs(const unsigned char* args, double& x, double& y) {
    const unsigned char* p = Blanks(args);
    if (!OriginValue(p, x)) return false;
    p = Blanks(p);
    if (!OriginValue(p, y)) return false;
    return *Blanks(p) == 0;
}

bool ViewerDvi::ParseWorkspaceColorArgs(const unsigned char* args, COLORREF& colour) {
    const unsigned char* p = args;
    long c[3];
    for (long& v : c) {
        if (!Integer(p, v) || v < 0 || v > 255) return false;
        if (*p && !IsBlank(*p)) return false;
    }
    if (*Blanks(p)) return false;
    colour = COLORREF(c[0] | c[1] << 8 | c[2] << 16);
    return true;
}

void ViewerDvi::DefaultOrgSpecial(double xi, double yi) {
    m_pDoc->PostView("DefaultOrigin", [xi, yi](CDocumentView* v) {
        ViewStatus vs;
        v->GetViewStatus(vs);
        if (vs.originX != 0) return;
        auto pixels = [&](double inches, int resolution) {
            const double d = inches * resolution * vs.DispMag * 1e-8;
            return std::round(d * 10000) / 10000;
        };
        const double x = pixels(xi, vs.resolutionX), y = pixels(yi, vs.resolutionY);
        // On the page bitmap at the current zoom.
        if (!(x >= 0 && x < vs.pageWidth && y >= 0 && y < vs.pageHeight)) return;
        vs.scrollX = vs.originX = int(std::trunc(x));
        vs.scrollY = vs.originY = int(std::trunc(y));
        v->SetStatus(vs);
    });
}

void ViewerDvi::WorkspaceColorSpecial(COLORREF colour) {
    m_pDoc->PostView("WorkspaceColor", [colour](CDocumentView* v) {
        ViewStatus vs;
        v->GetViewStatus(vs);
        vs.workspaceColor = colour;
        v->SetStatus(vs);
    });
}

void ViewerDvi::EmbeddedFileSpecial(unsigned char* text, int length) {
    if (!m_pDoc) return;
    int at = 17;
    while (at < length && IsBlank(text[at])) ++at;
    const int nameStart = at;
    while (at < length && text[at] > 0x20) ++at;
    if (at == nameStart) return;
    const String8 name(std::string(reinterpret_cast<const char*>(text + nameStart), size_t(at - nameStart)).c_str());
    m_pDoc->AddEmbeddedUrl(name);
    if (at >= length) return;
    ++at;  // the byte behind the name
    while (at < length && IsBlank(text[at])) ++at;
    if (length - at < 7 || strncasecmp(reinterpret_cast<const char*>(text + at), "binary=", 7) != 0) return;
    at += 7;
    FetchedFile* file = m_pDoc->FindFetchedFile(name, 1);
    if (!file || file->IsComplete()) return;
    file->Write(reinterpret_cast<const char*>(text + at), length - at);
    file->Close();
    if (!file->IsComplete()) return;
    const String8 address = file->GetFullAddress();
    m_pDoc->PostView("RedrawIfAwaitedFile", [address](CDocumentView* v) { v->RedrawIfAwaitedFile(address); });
}

bool ViewerDvi::BuildWatermarkInstruction(const unsigned char* text, int length, std::vector<unsigned char>& out,
                                          std::string& file) {
    const int n = int(::strnlen(reinterpret_cast<const char*>(text), size_t(length))) - 18;
    if (n <= 0) return false;
    // The arguments of a "graphics:" special: six dimensions, WMF or EPS, a name.
    std::vector<unsigned char> args(text + 18, text + 18 + n);
    args.push_back(0);
    const auto graphics = vrspecial::ParseGraphics(args.data(), true);
    if (!graphics) return false;
    file = graphics->name.c_str();
    out.assign(size_t(n) + 20, 0);
    const uint32_t len = uint32_t(n) + 10;
    out[0] = 242;
    out[1] = uint8_t(len >> 24);
    out[2] = uint8_t(len >> 16);
    out[3] = uint8_t(len >> 8);
    out[4] = uint8_t(len);
    std::memcpy(out.data() + 5, "graphics: ", 10);
    std::memcpy(out.data() + 15, text + 18, size_t(n));
    return true;
}

void ViewerDvi::WatermarkSpecial(const unsigned char* text, int length) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_watermarkInstruction.empty()) return;
    }
    std::vector<unsigned char> instruction;
    std::string file;
    if (!BuildWatermarkInstruction(text, length, instruction, file)) return;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_watermarkInstruction = std::move(instruction);
        m_watermarkFile = file;
    }
    AppendPictFile(String8(file.c_str()));
    SetWaterMarkWMFFileName(CString(file));
}

// ----------------------------------------------------------------- drawer

void ViewerDviDrawer::OnPictureMessage(const PictInfo*, const std::string& text) {
    if (m_pDoc) m_pDoc->ReportPageProblem(text);
}

std::unique_ptr<std::istream> ViewerDviDrawer::OpenPictFileStream(PictInfo* p, int* size) {
    if (!m_pDoc || !p || p->fileName.GetLength() == 0) return nullptr;
    const std::string path = m_pDoc->PictureSourcePath(p->fileName);
    if (path.empty()) return nullptr;
    int64_t length = 0;
    auto s = sys::OpenRegularFileStream(path, &length);
    if (!s || length > INT32_MAX) return nullptr;
    if (size) *size = int(length);
    return s;
}

void ViewerDviDrawer::ClosePictFileStream(PictInfo*, std::unique_ptr<std::istream>) {}

void ViewerDviDrawer::DrawWatermark(const std::vector<unsigned char>& instruction) {
    if (instruction.empty() || !IsWorking()) return;
    ProcessInstruction(instruction.data(), instruction.size());
    DrawAllPictures();
    ClearPictList();
}
