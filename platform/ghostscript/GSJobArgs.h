// Ghostscript arguments of a job as the library receives them, and PostScript
// string literals for names placed in PostScript text.
#pragma once

#include <string>
#include <vector>

#include "base/String8.h"

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
