#include "platform/gdi/RecordingDC.h"

RecordingDC::RecordingDC(int width, int height, int bpp, int dpi) {
    DeviceCaps caps;
    caps.logPixelsX = caps.logPixelsY = dpi;
    SetDeviceCaps(caps);
    CreateCompatibleDC(nullptr);
    SetDeviceCaps(caps);
    if (bitmap_.CreateBitmap(width, height, 1, UINT(bpp), nullptr)) {
        SelectObject(&bitmap_);
        PatBlt(0, 0, width, height, WHITENESS);
    }
    StartLog();
}

void RecordingDC::ClearCalls() { const_cast<std::vector<std::string>*>(CallLog())->clear(); }

std::vector<std::string> RecordingDC::CallsNamed(const std::string& name) const {
    std::vector<std::string> out;
    for (auto& c : Calls())
        if (c.compare(0, name.size(), name) == 0 && c.size() > name.size() && c[name.size()] == '(') out.push_back(c);
    return out;
}
