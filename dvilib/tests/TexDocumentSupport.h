// A document typeset by TeX at test time in a temporary folder (with virtual
// fonts made there by vptovf), opened by a reader on kpathsea and the
// installation's map files.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "DviTestSupport.h"
#include "dvilib/VrDviTTFMap.h"
#include "platform/kpathsea/KPathSea.h"

namespace dvitest {

// A reader that draws with the installation's fonts: kpathsea loaded, every
// installed map read into `map`, `file` opened (TFM and VF files also looked
// for in `paths`) and scanned whole. Call under ASSERT_NO_FATAL_FAILURE.
inline void OpenWithInstalledMaps(KPathSea& kpse, VrDviTTFMap& map, VrDvi& dvi, const std::string& file,
                                  const DList<String8>& paths = {}) {
    kpse.LoadKPathSeaDLLInit(kKPathSeaLibraryName, nullptr);
    ASSERT_TRUE(kpse.IsKPathSeaDLLLoaded());
    for (const auto& e : std::filesystem::directory_iterator(VELORAN_BINARY_DIR "/share/veloran/ttfcfg"))
        if (e.path().extension() == ".map") {
            ASSERT_EQ(map.AppendTTFMapFile(e.path().c_str()), 1) << e.path();
        }
    dvi.SetKPathSea(&kpse);
    dvi.SetDviTTFMap(&map);
    dvi.Open(file.c_str(), paths, paths);
    dvi.NewPageWritten(0);
    ASSERT_EQ(dvi.GetMode(), ModeComplete) << dvi.GetErrorText().c_str();
}

class TexDocument {
public:
    // Writes the property list of a virtual font to be made before TeX runs.
    void VirtualFont(const std::string& name, const char* vpl) { vpls_.emplace_back(name, vpl); }

    // Typesets text with plain TeX (or the format program names, such as
    // "latex") and opens the result; call under ASSERT_NO_FATAL_FAILURE.
    void Typeset(const char* text, const std::string& program = "tex") {
        std::ofstream(dir.File("doc.tex")) << text;
        for (const auto& [name, vpl] : vpls_) {
            std::ofstream(dir.File(name + ".vpl")) << vpl;
            const std::string cmd = "vptovf " + name + ".vpl " + name + ".vf " + name + ".tfm";
            const std::string out = RunIn(dir, cmd);
            ASSERT_EQ(out.rfind("FAILED", 0), std::string::npos) << cmd << ": " << out;
        }
        ASSERT_NO_FATAL_FAILURE(RunTexProgram(dir.Path(), program));
        DList<String8> paths;
        paths.AddTail(String8(dir.Path().string().c_str()));
        ASSERT_NO_FATAL_FAILURE(OpenWithInstalledMaps(kpse, ttfMap, dvi, dir.File("doc.dvi"), paths));
        dvi.SetWinFont(0);
    }

    std::vector<unsigned char> PageBytes(int page) {
        std::vector<unsigned char> b(size_t(std::max(dvi.GetPageContents(page, nullptr), 0)));
        if (!b.empty()) dvi.GetPageContents(page, b.data());
        return b;
    }

    TempDir dir;
    KPathSea kpse;
    VrDviTTFMap ttfMap;
    VrDvi dvi;

private:
    std::vector<std::pair<std::string, const char*>> vpls_;
};

} // namespace dvitest
