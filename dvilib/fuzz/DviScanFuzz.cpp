// Fuzz target of the reader's page scanner and its scan-time specials. The
// input is scanned as a DVI file (in one go and page by page), and fed as the
// text of one special.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "dvilib/DirectiveScan.h"
#include "dvilib/VrDvi.h"
#include "dvilib/VrDviError.h"

namespace {

class FuzzDvi : public VrDvi {
public:
    using VrDvi::VrDvi;
    void Special(const uint8_t* data, size_t size) {
        std::vector<unsigned char> text(data, data + size);
        text.push_back(0);
        DoSpecial(text.data(), int(size));
    }

protected:
    void AppendPictFile(const String8& file) override { pictures += file.GetLength(); }

public:
    long pictures = 0;
};

const std::string& TempPath() {
    static const std::string path = [] {
        std::atexit([] { std::remove(("/tmp/vrdvi-fuzz-" + std::to_string(getpid()) + ".dvi").c_str()); });
        return "/tmp/vrdvi-fuzz-" + std::to_string(getpid()) + ".dvi";
    }();
    return path;
}

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool quiet = [] {
        VrDviSetErrorHook([](const char*) {});
        return true;
    }();
    (void)quiet;
    {
        FILE* f = std::fopen(TempPath().c_str(), "wb");
        if (!f) return 0;
        if (size) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    DList<String8> none;
    FuzzDvi whole(TempPath().c_str(), none, none);
    whole.NewPageWritten(0);
    int n = whole.GetNPage();
    for (int p = 0; p < n; ++p) {
        int len = whole.GetPageContents(p, nullptr);
        Check(len > 0 && whole.GetPageEndOffset(p) < long(size));
        std::vector<unsigned char> buf(static_cast<size_t>(len));
        Check(whole.GetPageContents(p, buf.data()) == len);
        Check(buf.back() == 140);
        Check(whole.GetPageColorStackSize(p) >= 1);
    }

    // Page by page must reach the same pages.
    FuzzDvi steps(TempPath().c_str(), none, none);
    for (int k = 1; k <= n + 1 && steps.GetMode() == ModeScanning; ++k) steps.NewPageWritten(k);
    Check(steps.GetNPage() == n);
    for (int p = 0; p < n; ++p) Check(steps.GetPageEndOffset(p) == whole.GetPageEndOffset(p));

    FuzzDvi special;
    special.Special(data, size);
    std::vector<unsigned char> text(data, data + size);
    text.push_back(0);
    int sp;
    getdimen(text.data(), &sp);
    return 0;
}
