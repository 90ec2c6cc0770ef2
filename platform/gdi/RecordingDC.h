// A memory DC that also logs every call made on it, one line per call
// ("Rectangle(1,2,3,4)"), for tests of drawing code. Calls a call makes
// internally are not logged.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/DC.h"

class RecordingDC : public CDC {
public:
    // Draws on a width x height bitmap of bpp bits, filled white.
    RecordingDC(int width = 1, int height = 1, int bpp = 32, int dpi = 96);
    const std::vector<std::string>& Calls() const { return *CallLog(); }
    void ClearCalls();
    // The logged lines that start with name.
    std::vector<std::string> CallsNamed(const std::string& name) const;

private:
    CBitmap bitmap_;
};
