// What the page-view tests share: the application object that documents use,
// with the system's kpathsea and the installation's TrueType map loaded.
#pragma once

#include <filesystem>

#include "platform/kpathsea/KPathSea.h"
#include "viewer/app/VrViewerApp.h"

inline CVrViewerApp* NewTestApplication() {
    auto* app = new CVrViewerApp;
    app->m_kpathsea.LoadKPathSeaDLLInit(kKPathSeaLibraryName, nullptr);
    for (const auto& e : std::filesystem::directory_iterator(VELORAN_BINARY_DIR "/share/veloran/ttfcfg"))
        if (e.path().extension() == ".map") app->m_ttfMap.AppendTTFMapFile(e.path().c_str());
    return app;
}
