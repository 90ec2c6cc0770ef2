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

bool LiftsSafer(std::string_view a) {
    return StartsWith(a, "-dNOSAFER") || StartsWith(a, "-dDELAYSAFER") || StartsWith(a, "--permit-") ||
           StartsWith(a, "-dSAFER=") || StartsWith(a, "-dSAFER#");
}

} // namespace

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

    argv.push_back("gs");
    argv.push_back("-dSAFER");
    for (size_t i = 0; i < in.size(); ++i) {
        const std::string& a = in[i];
        std::string_view v;
        if (a == "-dSAFER" || LiftsSafer(a) || a == "-I" || OptionValue(a, "-dBitsPerPixel", &v) ||
            OptionValue(a, "-dDisplayFormat", &v) || OptionValue(a, "-sDisplayHandle", &v) ||
            OptionValue(a, "-dDisplayHandle", &v))
            continue;
        if (OptionValue(a, "-sDEVICE", &v) && (v == "mswindll" || v == "display")) {
            bitmapDevice = 1;
            argv.push_back("-sDEVICE=display");
            char format[48];
            std::snprintf(format, sizeof format, "-dDisplayFormat=%u", GSPageBitmap::DisplayFormat(bitsPerPixel));
            argv.push_back(format);
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
                argv.push_back("-c");
                argv.insert(argv.end(), kept.begin(), kept.end());
            } else if (end < in.size() && in[end] == "-f") {
                ++end; // "-f" only ended the group
            }
            i = end - 1;
            continue;
        }
        argv.push_back(a);
    }
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
