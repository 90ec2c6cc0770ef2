// One QApplication on the offscreen platform for a test program.
#pragma once

#include "testsupport/QtTestTools.h"

// Qt's font database keeps fontconfig's caches to the end of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
