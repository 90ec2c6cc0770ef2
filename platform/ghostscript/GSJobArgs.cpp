#include "platform/ghostscript/GSJobArgs.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/ghostscript/GSPageBitmap.h"

namespace {

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// -dNAME=value or -dNAME#value: the value, when s names NAME.
bool OptionValue(std::string_view s, std::string_view name, std::string_view* value) {
    if (!StartsWith(s, name) || s.size() <= name.size()) return false;
    char sep = s[name.size()];
    if (sep != '=' && sep != '#') return false;
    *value = s.substr(name.size() + 1);
    return true;
}

// -d, -D, -s and -S all define a name; what follows them, else "".
std::string_view DefinedName(std::string_view a) {
    if (a.size() < 2 || a[0] != '-' || std::string_view("dDsS").find(a[1]) == std::string_view::npos) return {};
    return a.substr(2);
}

bool LiftsSafer(std::string_view a) {
    const std::string_view name = DefinedName(a);
    return StartsWith(name, "NOSAFER") || StartsWith(name, "DELAYSAFER") || StartsWith(name, "SAFER=") ||
           StartsWith(name, "SAFER#") || StartsWith(a, "--permit-");
}

// -dSAFER in any of its spellings.
bool IsSafer(std::string_view a) { return (a.substr(0, 2) == "-d" || a.substr(0, 2) == "-D") && a.substr(2) == "SAFER"; }

} // namespace

GSCommandLine::GSCommandLine(std::string_view program) { m_args.emplace_back(program); }

GSCommandLine& GSCommandLine::Add(std::string_view option) {
    if (IsSafer(option)) return Safer();
    if (!LiftsSafer(option)) m_args.emplace_back(option);
    return *this;
}

GSCommandLine& GSCommandLine::Safer() {
    if (!m_safer) m_args.emplace_back("-dSAFER");
    m_safer = true;
    return *this;
}

GSCommandLine& GSCommandLine::Library(const char* path) { return Add(std::string("-I") + (path ? path : "")); }

GSCommandLine& GSCommandLine::Resolution(int xRes, int yRes) {
    return Add("-r" + std::to_string(xRes) + "x" + std::to_string(yRes));
}

GSCommandLine& GSCommandLine::PageSize(int width, int height) {
    return Add("-g" + std::to_string(width) + "x" + std::to_string(height));
}

GSCommandLine& GSCommandLine::Define(std::string_view name, int value) {
    return Add("-d" + std::string(name) + "=" + std::to_string(value));
}

GSCommandLine& GSCommandLine::DefineString(std::string_view name, const char* value, char separator) {
    return Add("-s" + std::string(name) + separator + (value ? value : ""));
}

std::vector<std::string> GSCommandLine::Argv() const {
    std::vector<std::string> argv = m_args;
    if (!m_safer) argv.insert(argv.begin() + 1, "-dSAFER");
    return argv;
}

std::vector<String8> GSCommandLine::Args() const {
    std::vector<String8> args;
    for (const std::string& a : Argv()) args.emplace_back(a.c_str());
    return args;
}

bool GSJobArgs::Build(const std::vector<String8>& args) {
    argv.clear();
    bitmapDevice = 0;
    bitsPerPixel = 24;
    if (args.empty()) return false;

    std::vector<std::string> in;
    for (size_t i = 1; i < args.size(); ++i) in.emplace_back(args[i].c_str(), size_t(args[i].GetLength()));

    for (const std::string& a : in) {
        std::string_view v;
        if (OptionValue(a, "-dBitsPerPixel", &v)) bitsPerPixel = GSPageBitmap::NormalBitsPerPixel(atoi(std::string(v).c_str()));
    }

    GSCommandLine line("gs");
    line.Safer();
    for (size_t i = 0; i < in.size(); ++i) {
        const std::string& a = in[i];
        std::string_view v;
        if (a == "-I" || OptionValue(a, "-dBitsPerPixel", &v) || OptionValue(a, "-dDisplayFormat", &v) ||
            OptionValue(a, "-sDisplayHandle", &v) || OptionValue(a, "-dDisplayHandle", &v))
            continue;
        if (OptionValue(a, "-sDEVICE", &v) && (v == "mswindll" || v == "display")) {
            bitmapDevice = 1;
            line.Add("-sDEVICE=display");
            line.Define("DisplayFormat", int(GSPageBitmap::DisplayFormat(bitsPerPixel)));
            continue;
        }
        if (a == "-c") {
            // PostScript tokens up to the next option; drop the ones this
            // Ghostscript no longer defines, and the group if nothing is left.
            size_t end = i + 1;
            while (end < in.size() && !StartsWith(in[end], "-")) ++end;
            std::vector<std::string> kept;
            for (size_t k = i + 1; k < end; ++k)
                if (in[k] != ".setpdfwrite") kept.push_back(in[k]);
            if (!kept.empty()) {
                line.Add("-c");
                for (const std::string& k : kept) line.Add(k);
            } else if (end < in.size() && in[end] == "-f") {
                ++end; // "-f" only ended the group
            }
            i = end - 1;
            continue;
        }
        line.Add(a);
    }
    argv = line.Argv();
    return true;
}

String8 PSStringLiteral(const char* text) {
    std::string out = "(";
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text ? text : ""); *p; ++p) {
        unsigned char c = *p;
        if (c == '(' || c == ')' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char esc[5];
            std::snprintf(esc, sizeof esc, "\\%03o", c);
            out += esc;
        } else {
            out += char(c);
        }
    }
    out += ')';
    return String8(out.c_str());
}
