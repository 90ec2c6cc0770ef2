// Ghostscript command lines as callers build them, the arguments of a job as
// the library receives them, and PostScript string literals for names placed
// in PostScript text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/String8.h"

// A Ghostscript command line, the program name first. It holds -dSAFER
// exactly once: where Safer() (or Add("-dSAFER")) put it, else right after
// the program. Options that would lift it (-dNOSAFER, -dDELAYSAFER,
// --permit-*, -dSAFER=..., -dSAFER#..., and the same with -D, -s or -S) are
// dropped.
class GSCommandLine {
public:
    explicit GSCommandLine(std::string_view program);

    GSCommandLine& Add(std::string_view option);
    GSCommandLine& Safer();
    GSCommandLine& Library(const char* path);                // -I<path>, "-I" for none
    GSCommandLine& Resolution(int xRes, int yRes);           // -r<x>x<y>
    GSCommandLine& PageSize(int width, int height);          // -g<w>x<h>
    GSCommandLine& Define(std::string_view name, int value); // -d<name>=<value>
    // -s<name>=<value>, or -s<name>#<value> for separator '#'.
    GSCommandLine& DefineString(std::string_view name, const char* value, char separator = '=');

    std::vector<std::string> Argv() const;
    std::vector<String8> Args() const;

private:
    std::vector<std::string> m_args; // m_args[0] is the program
    bool m_safer = false;
};

struct GSJobArgs {
    std::vector<std::string> argv; // argv[0] is the program name
    int bitmapDevice = 0;          // 1: the job renders through the display device
    int bitsPerPixel = 24;         // of the bitmaps, when bitmapDevice is set

    // Builds the arguments from a caller's list (args[0] the program name):
    // "-sDEVICE=mswindll" selects the display device in the format of
    // -dBitsPerPixel, -dSAFER is always in force (options that lift it are
    // dropped), ".setpdfwrite" is dropped from -c, an -I without a path is
    // dropped. False when args is empty.
    bool Build(const std::vector<String8>& args);
};

// text as a PostScript string literal, "(...)", escaped so that any bytes
// (parentheses, backslashes, line ends, non-ASCII) come back unchanged.
String8 PSStringLiteral(const char* text);
