// One QApplication on the offscreen platform for a test program.
#pragma once

#include "testsupport/QtTestTools.h"
