#include "platform/kpathsea/KPathSea.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(KPathSea, FindsTheSystemTfmAndVfAndNothingForAMissingFont) {
    KPathSea kpse;
    kpse.LoadKPathSeaDLLInit(kKPathSeaLibraryName, nullptr);
    ASSERT_TRUE(kpse.IsKPathSeaDLLLoaded());

    const char* found = kpse.KPSEFindTfm("cmr10.tfm");
    ASSERT_NE(found, nullptr);
    std::string path = found;
    EXPECT_EQ(path.front(), '/');
    EXPECT_TRUE(EndsWith(path, "/cmr10.tfm")) << path;
    EXPECT_TRUE(std::filesystem::is_regular_file(path)) << path;

    // Font generation is off: a missing font is not made, just not found.
    EXPECT_EQ(kpse.KPSEFindTfm("vlrnosuchfont42.tfm"), nullptr);
    EXPECT_EQ(kpse.KPSEFindTfm(""), nullptr);
    EXPECT_EQ(kpse.KPSEFindTfm(nullptr), nullptr);

    // Virtual fonts along TeX's VF path; a font without one has none.
    const char* vf = kpse.KPSEFindVf("ptmr8t.vf");
    ASSERT_NE(vf, nullptr);
    EXPECT_TRUE(EndsWith(vf, "/ptmr8t.vf")) << vf;
    EXPECT_TRUE(std::filesystem::is_regular_file(vf)) << vf;
    EXPECT_EQ(kpse.KPSEFindVf("cmr10.vf"), nullptr);
    EXPECT_EQ(kpse.KPSEFindVf(nullptr), nullptr);

    kpse.UnloadKPathSeaDLL();
    EXPECT_FALSE(kpse.IsKPathSeaDLLLoaded());
    EXPECT_EQ(kpse.KPSEFindTfm("cmr10.tfm"), nullptr);
    EXPECT_EQ(kpse.KPSEFindVf("ptmr8t.vf"), nullptr);
}

TEST(KPathSea, BadLibraryPathsLeaveItUnloaded) {
    const char* paths[] = {
        "/nonexistent/folder/libkpathsea.so.6", // no such file
        "libz.so.1",                            // a library, but not kpathsea
        VELORAN_SOURCE_DIR "/CMakeLists.txt",   // not a library at all
        "",
        nullptr,
    };
    for (const char* p : paths) {
        KPathSea kpse;
        kpse.LoadKPathSeaDLLInit(p, nullptr);
        EXPECT_FALSE(kpse.IsKPathSeaDLLLoaded()) << (p ? p : "(null)");
        EXPECT_EQ(kpse.KPSEFindTfm("cmr10.tfm"), nullptr);
    }
    // Never loaded at all.
    KPathSea idle;
    EXPECT_EQ(idle.KPSEFindTfm("cmr10.tfm"), nullptr);
}

TEST(KPathSea, ReloadAndSecondObjectShareTheLibrary) {
    KPathSea a, b;
    a.LoadKPathSeaDLLInit(kKPathSeaLibraryName, nullptr);
    b.LoadKPathSeaDLLInit(kKPathSeaLibraryName, "tex");
    ASSERT_TRUE(a.IsKPathSeaDLLLoaded());
    ASSERT_TRUE(b.IsKPathSeaDLLLoaded());
    a.UnloadKPathSeaDLL();
    ASSERT_NE(b.KPSEFindTfm("cmbx10.tfm"), nullptr);
    a.LoadKPathSeaDLLInit(kKPathSeaLibraryName, nullptr);
    ASSERT_NE(a.KPSEFindTfm("cmti10.tfm"), nullptr);
}

TEST(KPathSea, ConcurrentLookupsKeepTheirOwnResults) {
    KPathSea kpse;
    kpse.LoadKPathSeaDLLInit(kKPathSeaLibraryName, nullptr);
    ASSERT_TRUE(kpse.IsKPathSeaDLLLoaded());

    const std::vector<std::string> fonts = {"cmr10", "cmmi10", "cmsy10", "cmbx12"};
    std::vector<int> failures(fonts.size(), 0);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < fonts.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                const std::string name = fonts[(t + i) % fonts.size()];
                const char* found = kpse.KPSEFindTfm((name + ".tfm").c_str());
                // The result is read after other threads have made lookups.
                std::this_thread::yield();
                if (!found || !EndsWith(found, "/" + name + ".tfm")) ++failures[t];
            }
        });
    }
    for (auto& th : threads) th.join();
    for (size_t t = 0; t < fonts.size(); ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
}

} // namespace
