#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <pthread.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/sys/FileSearch.h"
#include "platform/sys/Registry.h"
#include "platform/sys/UserDirs.h"
#include "platform/sys/tests/ScratchDir.h"

using namespace sys;

namespace {

constexpr RegRoot HKCU = RegRoot::CurrentUser;
constexpr RegRoot HKLM = RegRoot::LocalMachine;
constexpr RegRoot HKCR = RegRoot::ClassesRoot;

const char* const kGhostscriptKey = "Software\\Veloran\\Shared\\GhostScript";
constexpr int kChildWrites = 25;

// What another process sharing the folder does; its exit code.
int RunChildJob(const std::string& job, const std::string& dir) {
    auto reg = Registry::OpenDirectory(dir);
    if (job == "dies-writing") {
        // Dies half-way through writing its new file.
        Registry::SetWriteFaultHook([](size_t written) {
            if (written > 0) _exit(42);
        });
        reg->SetString(HKCU, kGhostscriptKey, "DLLPath", std::string(100000, 'n'));
        return 0;
    }
    if (job == "writes") {
        int ok = 0;
        for (int i = 0; i < kChildWrites; ++i) ok += reg->SetDword(HKCU, "K", "child" + std::to_string(i), uint32_t(i));
        return ok == kChildWrites ? 0 : 1;
    }
    return 99;
}

// The other process is this test program started again to run only the job
// (RegistryChild.Job), so that no child of this process runs more than exec.
pid_t StartChild(const std::string& job, const std::string& dir) {
    std::vector<std::string> vars{"VR_CHILD_JOB=" + job, "VR_CHILD_DIR=" + dir};
    std::vector<char*> env;
    for (char** e = environ; *e; ++e) env.push_back(*e);
    for (std::string& v : vars) env.push_back(v.data());
    env.push_back(nullptr);
    char self[] = "/proc/self/exe";
    char filter[] = "--gtest_filter=RegistryChild.Job";
    char* argv[] = {self, filter, nullptr};
    pid_t pid = -1;
    return posix_spawn(&pid, self, nullptr, nullptr, argv, env.data()) == 0 ? pid : -1;
}

int ExitCodeOf(pid_t pid) {
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// "K0\K1\...": a key path `depth` names deep.
std::string DeepPath(size_t depth) {
    std::string path;
    for (size_t i = 0; i < depth; ++i) {
        if (i) path += '\\';
        path += 'K';
        path += std::to_string(i % 10);
    }
    return path;
}

// Runs `fn` on a thread with a small stack, to show its stack use does not
// grow with the size of the data.
void RunOnSmallStack(const std::function<void()>& fn) {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 256 * 1024);
    pthread_t thread;
    auto trampoline = [](void* arg) -> void* {
        (*static_cast<const std::function<void()>*>(arg))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attr, trampoline, const_cast<std::function<void()>*>(&fn)), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}

}  // namespace

TEST(Registry, ValuesSurviveReopeningInEveryRoot) {
    ScratchDir dir;
    {
        auto reg = Registry::OpenDirectory(dir.Path());
        ASSERT_TRUE(reg->CreateKey(HKLM, "Software\\Veloran\\Viewer"));
        EXPECT_TRUE(reg->SetString(HKLM, "Software\\Veloran\\Viewer", "VeloranBaseDir", "/opt/veloran/share/veloran"));
        EXPECT_TRUE(reg->SetString(HKLM, "Software\\Veloran\\Viewer", "FirstRunning", "FALSE"));
        ASSERT_TRUE(reg->CreateKey(HKCR, "MIME\\Database\\Content Type\\image/tiff"));
        EXPECT_TRUE(reg->SetString(HKCR, "MIME\\Database\\Content Type\\image/tiff", "", "Tag Image File Format"));
        EXPECT_TRUE(reg->SetString(HKCR, "MIME\\Database\\Content Type\\image/tiff", "Extension", ".tif"));
        ASSERT_TRUE(reg->CreateKey(HKCR, ".tif\\ShellNew"));
        ASSERT_TRUE(reg->CreateKey(HKCU, "Software\\Veloran\\Veloran Viewer 5.0\\Settings"));
        EXPECT_TRUE(reg->SetDword(HKCU, "Software\\Veloran\\Veloran Viewer 5.0\\Settings", "Window Left", 0xFFFFFFF6u));
    }
    EXPECT_TRUE(std::filesystem::exists(dir / "hkcu.reg"));
    EXPECT_TRUE(std::filesystem::exists(dir / "hklm.reg"));
    EXPECT_TRUE(std::filesystem::exists(dir / "hkcr.reg"));

    auto reg = Registry::OpenDirectory(dir.Path());
    EXPECT_EQ(reg->GetString(HKLM, "Software\\Veloran\\Viewer", "VeloranBaseDir"), "/opt/veloran/share/veloran");
    EXPECT_EQ(reg->GetString(HKLM, "Software\\Veloran\\Viewer", "FirstRunning"), "FALSE");
    EXPECT_EQ(reg->GetString(HKCR, "MIME\\Database\\Content Type\\image/tiff", ""), "Tag Image File Format");
    EXPECT_EQ(reg->GetString(HKCR, "MIME\\Database\\Content Type\\image/tiff", "Extension"), ".tif");
    EXPECT_TRUE(reg->KeyExists(HKCR, ".tif\\ShellNew"));  // a key without values is kept
    EXPECT_EQ(reg->SubKeys(HKCR, "MIME\\Database\\Content Type"), std::vector<std::string>{"image/tiff"});
    EXPECT_EQ(reg->GetDword(HKCU, "Software\\Veloran\\Veloran Viewer 5.0\\Settings", "Window Left"), 0xFFFFFFF6u);
    // The roots are separate trees.
    EXPECT_FALSE(reg->KeyExists(HKCU, "Software\\Veloran\\Viewer"));
    EXPECT_FALSE(reg->KeyExists(HKLM, "MIME"));
}

TEST(Registry, NamesCompareWithoutCaseAndKeepTheirFirstSpelling) {
    auto reg = Registry::CreateInMemory();
    ASSERT_TRUE(reg->CreateKey(HKLM, "Software\\Veloran\\Viewer"));
    ASSERT_TRUE(reg->SetString(HKLM, "SOFTWARE\\veloran\\VIEWER", "FirstRunning", "TRUE"));
    EXPECT_EQ(reg->GetString(HKLM, "software\\VELORAN\\viewer", "firstrunning"), "TRUE");
    EXPECT_TRUE(reg->CreateKey(HKLM, "SOFTWARE\\VELORAN"));  // exists already
    EXPECT_EQ(reg->SubKeys(HKLM, ""), std::vector<std::string>{"Software"});
    EXPECT_EQ(reg->SubKeys(HKLM, "software"), std::vector<std::string>{"Veloran"});

    // Another spelling of a value name overwrites the same value.
    ASSERT_TRUE(reg->SetString(HKLM, "Software\\Veloran\\Viewer", "FIRSTRUNNING", "FALSE"));
    EXPECT_EQ(reg->ValueNames(HKLM, "Software\\Veloran\\Viewer"), std::vector<std::string>{"FirstRunning"});
    EXPECT_EQ(reg->GetString(HKLM, "Software\\Veloran\\Viewer", "FirstRunning"), "FALSE");

    // Enumeration is in case-insensitive order.
    for (const char* k : {"b", "A", "c", "B2"}) ASSERT_TRUE(reg->CreateKey(HKLM, std::string("Software\\AFPL Ghostscript\\") + k));
    EXPECT_EQ(reg->SubKeys(HKLM, "Software\\afpl ghostscript"), (std::vector<std::string>{"A", "b", "B2", "c"}));
}

TEST(Registry, KeysMustExistAndDeleteOnlyWithoutSubkeys) {
    auto reg = Registry::CreateInMemory();
    EXPECT_FALSE(reg->SetString(HKCR, ".dvi", "", "Veloran.Document"));  // no key yet
    EXPECT_FALSE(reg->KeyExists(HKCR, ".dvi"));
    ASSERT_TRUE(reg->CreateKey(HKCR, ".dvi\\ShellNew"));
    ASSERT_TRUE(reg->SetString(HKCR, ".dvi", "", "Veloran.Document"));
    ASSERT_TRUE(reg->SetString(HKCR, ".dvi", "Content Type", "application/x-dvi"));

    EXPECT_FALSE(reg->DeleteKey(HKCR, ".dvi"));  // still has ShellNew
    EXPECT_TRUE(reg->DeleteKey(HKCR, ".DVI\\shellnew"));
    EXPECT_TRUE(reg->DeleteKey(HKCR, ".dvi"));
    EXPECT_FALSE(reg->KeyExists(HKCR, ".dvi"));
    EXPECT_FALSE(reg->DeleteKey(HKCR, ".dvi"));
    EXPECT_FALSE(reg->DeleteKey(HKCR, ""));  // the root stays

    ASSERT_TRUE(reg->CreateKey(HKCR, ".ps"));
    ASSERT_TRUE(reg->SetString(HKCR, ".ps", ".backup", "Other.PS"));
    EXPECT_TRUE(reg->DeleteValue(HKCR, ".ps", ".BACKUP"));
    EXPECT_FALSE(reg->DeleteValue(HKCR, ".ps", ".backup"));
    EXPECT_FALSE(reg->GetValue(HKCR, ".ps", ".backup"));

    // Malformed paths and names are refused rather than stored.
    for (const char* bad : {"a\\\\b", "\\a", "a\\", "a\\b\nc"}) {
        EXPECT_FALSE(reg->CreateKey(HKCR, bad)) << bad;
        EXPECT_FALSE(reg->KeyExists(HKCR, bad)) << bad;
    }
    EXPECT_FALSE(reg->SetString(HKCR, ".ps", "a\nb", "x"));
}

TEST(Registry, ValueTypesDoNotReadAsEachOther) {
    auto reg = Registry::CreateInMemory();
    ASSERT_TRUE(reg->CreateKey(HKCU, "K"));
    ASSERT_TRUE(reg->SetDword(HKCU, "K", "n", 7));
    ASSERT_TRUE(reg->SetString(HKCU, "K", "s", "7"));
    EXPECT_FALSE(reg->GetString(HKCU, "K", "n"));
    EXPECT_FALSE(reg->GetDword(HKCU, "K", "s"));
    EXPECT_EQ(reg->GetValue(HKCU, "K", "n"), RegValue::Dword(7));
    ASSERT_TRUE(reg->SetString(HKCU, "K", "n", "now text"));
    EXPECT_EQ(reg->GetString(HKCU, "K", "n"), "now text");
    EXPECT_FALSE(reg->GetDword(HKCU, "K", "n"));
}

TEST(Registry, AwkwardTextsAndNamesRoundTripThroughTheFile) {
    const std::vector<std::string> texts = {
        "",
        "plain",
        "  blanks around  ",
        "quote \" and backslash \\ and C:\\gs\\bin\\",
        "line\nbreaks\r\nand\ttabs",
        std::string("nul\0byte", 8),
        "\x01\x1f\x7f control",
        "UTF-8: \xed\x95\x9c\xea\xb8\x80 \xc3\xa9",
        "<<End>>",
        "\"@\"=dword:00000001",
        "[Software\\Evil]",
        "ends with backslash\\",
    };
    const std::vector<std::string> keyNames = {"a]b", "[x]", "k=\"v\"", "image/tiff", "Veloran Viewer 5.0", "@"};
    ScratchDir dir;
    {
        auto reg = Registry::OpenDirectory(dir.Path());
        for (const std::string& k : keyNames) {
            ASSERT_TRUE(reg->CreateKey(HKCU, "Root\\" + k)) << k;
            for (size_t i = 0; i < texts.size(); ++i) {
                ASSERT_TRUE(reg->SetString(HKCU, "Root\\" + k, "v" + std::to_string(i), texts[i]));
                ASSERT_TRUE(reg->SetString(HKCU, "Root\\" + k, "name " + texts[i % 4] + " = \"" + std::to_string(i), "x"));
            }
        }
    }
    auto reg = Registry::OpenDirectory(dir.Path());
    EXPECT_EQ(reg->SubKeys(HKCU, "Root").size(), keyNames.size());
    for (const std::string& k : keyNames) {
        for (size_t i = 0; i < texts.size(); ++i) {
            EXPECT_EQ(reg->GetString(HKCU, "Root\\" + k, "v" + std::to_string(i)), texts[i]) << k << " " << i;
            EXPECT_EQ(reg->GetString(HKCU, "Root\\" + k, "name " + texts[i % 4] + " = \"" + std::to_string(i)), "x");
        }
    }
}

TEST(Registry, DamagedFileIsReadAsFarAsItParses) {
    ScratchDir dir;
    ScratchDir::WriteFile(dir / "hklm.reg",
                          std::string("\"Orphan\"=\"before any key\"\n") +
                          "[Software\\Veloran\\Viewer]\r\n"
                          "\"VeloranBaseDir\"=\"/opt/v\"\r\n"
                          "\"Broken\"=\"no end\n"
                          "\"BadEscape\"=\"\\q\"\n"
                          "\"BadDword\"=dword:12345678901\n"
                          "\"HexJunk\"=dword:zz\n"
                          "garbage line\n"
                          "[Software\\\\Empty]\n"
                          "\"Lost\"=\"belongs to no key\"\n"
                          "[Software\\Veloran\\Viewer]\n"
                          "\"FirstRunning\"=\"TRUE\"\n"
                          "\"Count\"=DWORD:2A\n"
                          "[unterminated\n"
                          "\"AfterBadKey\"=\"x\"\n" +
                              std::string("\0\xff\xfe[\n", 5));
    auto reg = Registry::OpenDirectory(dir.Path());
    EXPECT_EQ(reg->ValueNames(HKLM, "Software\\Veloran\\Viewer"),
              (std::vector<std::string>{"Count", "FirstRunning", "VeloranBaseDir"}));
    EXPECT_EQ(reg->GetDword(HKLM, "Software\\Veloran\\Viewer", "Count"), 42u);
    EXPECT_EQ(reg->SubKeys(HKLM, "Software"), std::vector<std::string>{"Veloran"});

    int bad = 0;
    ParseRegistry(ScratchDir::ReadFile(dir / "hklm.reg"), &bad);
    EXPECT_EQ(bad, 11);

    // Writing replaces the damaged file with a clean one holding what was read.
    ASSERT_TRUE(reg->SetString(HKLM, "Software\\Veloran\\Viewer", "FirstRunning", "FALSE"));
    ParseRegistry(ScratchDir::ReadFile(dir / "hklm.reg"), &bad);
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(Registry::OpenDirectory(dir.Path())->GetString(HKLM, "Software\\Veloran\\Viewer", "VeloranBaseDir"), "/opt/v");
}

TEST(Registry, KeysDeeperThanTheLimitAreBadLinesAndRefused) {
    struct Case {
        size_t depth;
        bool loads;
    };
    for (const Case& c : {Case{511, true}, Case{512, true}, Case{513, false}, Case{100000, false}}) {
        SCOPED_TRACE(c.depth);
        ScratchDir dir;
        const std::string deep = DeepPath(c.depth);
        ScratchDir::WriteFile(dir / "hkcu.reg", "[Software\\Veloran\\Good]\n\"A\"=\"1\"\n[" + deep +
                                                    "]\n\"Deep\"=\"x\"\n[Software\\Veloran\\After]\n"
                                                    "\"B\"=dword:00000002\n");
        int bad = -1;
        ParseRegistry(ScratchDir::ReadFile(dir / "hkcu.reg"), &bad);
        EXPECT_EQ(bad, c.loads ? 0 : 2);  // the key line and the value below it

        auto reg = Registry::OpenDirectory(dir.Path());
        EXPECT_EQ(reg->GetString(HKCU, "Software\\Veloran\\Good", "A"), "1");
        EXPECT_EQ(reg->GetDword(HKCU, "Software\\Veloran\\After", "B"), 2u);
        EXPECT_EQ(reg->GetString(HKCU, deep, "Deep").has_value(), c.loads);
        EXPECT_EQ(reg->KeyExists(HKCU, "K0"), c.loads);

        // A write keeps the good keys; a deep key beyond the limit is gone.
        ASSERT_TRUE(reg->SetString(HKCU, "Software\\Veloran\\Good", "A", "2"));
        auto again = Registry::OpenDirectory(dir.Path());
        EXPECT_EQ(again->GetString(HKCU, "Software\\Veloran\\Good", "A"), "2");
        EXPECT_EQ(again->GetDword(HKCU, "Software\\Veloran\\After", "B"), 2u);
        EXPECT_EQ(again->GetString(HKCU, deep, "Deep").has_value(), c.loads);
        ParseRegistry(ScratchDir::ReadFile(dir / "hkcu.reg"), &bad);
        EXPECT_EQ(bad, 0);

        // Through the API a key beyond the limit is refused and nothing is written.
        const std::string before = ScratchDir::ReadFile(dir / "hkcu.reg");
        EXPECT_EQ(again->CreateKey(HKCU, DeepPath(c.depth) + "\\New"), c.depth < 512);
        if (c.depth >= 512) {
            EXPECT_EQ(ScratchDir::ReadFile(dir / "hkcu.reg"), before);
        }
    }
}

TEST(Registry, TreeOperationsDoNotRecurseOverTheDepth) {
    // The tree class itself has no limit; walking it must not use the stack
    // in proportion to its depth.
    RunOnSmallStack([] {
        auto deep = std::make_unique<RegKey>();
        RegKey* k = deep.get();
        for (int i = 0; i < 100000; ++i) k = &k->CreateChild(i % 2 ? "a" : "B");
        k->SetValue("v", RegValue::Dword(1));
        auto copy = std::make_unique<RegKey>(*deep);
        EXPECT_TRUE(*copy == *deep);
        k->SetValue("v", RegValue::Dword(2));
        EXPECT_FALSE(*copy == *deep);
        copy.reset();
        deep.reset();

        RegKey tree = ParseRegistry("[" + DeepPath(512) + "]\n\"v\"=\"x\"\n");
        std::string text = FormatRegistry(tree);
        EXPECT_NE(text.find("[" + DeepPath(512) + "]\n\"v\"=\"x\"\n"), std::string::npos);
        EXPECT_TRUE(ParseRegistry(text) == tree);
    });
}

TEST(RegistryChild, Job) {
    const char* job = std::getenv("VR_CHILD_JOB");
    const char* dir = std::getenv("VR_CHILD_DIR");
    if (!job || !dir) GTEST_SKIP() << "the other process of the tests below";
    _exit(RunChildJob(job, dir));
}

TEST(Registry, CrashWhileWritingLeavesTheOldFile) {
    ScratchDir dir;
    const std::string key = kGhostscriptKey;
    {
        auto reg = Registry::OpenDirectory(dir.Path());
        ASSERT_TRUE(reg->CreateKey(HKCU, key));
        ASSERT_TRUE(reg->SetString(HKCU, key, "DLLPath", "/usr/lib/old/"));
    }
    const std::string before = ScratchDir::ReadFile(dir / "hkcu.reg");

    // A second process dies half-way through writing its new file.
    int code = ExitCodeOf(StartChild("dies-writing", dir.Path()));
    ASSERT_EQ(code, 42);
    EXPECT_EQ(ScratchDir::ReadFile(dir / "hkcu.reg"), before);

    auto reg = Registry::OpenDirectory(dir.Path());
    EXPECT_EQ(reg->GetString(HKCU, key, "DLLPath"), "/usr/lib/old/");
    EXPECT_EQ(FindFiles(dir / "hkcu.reg.*.tmp").size(), 1u);  // the dead writer's half file
    ASSERT_TRUE(reg->SetString(HKCU, key, "LibPath", "/usr/share/gs"));
    EXPECT_TRUE(FindFiles(dir / "hkcu.reg.*.tmp").empty());  // cleared by the next writer
    EXPECT_EQ(Registry::OpenDirectory(dir.Path())->GetString(HKCU, key, "LibPath"), "/usr/share/gs");
}

TEST(Registry, FailedWriteChangesNothing) {
    ScratchDir dir;
    auto reg = Registry::OpenDirectory(dir.Path());
    ASSERT_TRUE(reg->CreateKey(HKCU, "K"));
    ASSERT_TRUE(reg->SetString(HKCU, "K", "v", "old"));
    // The new file cannot be made: its name is taken by a folder.
    const std::string temp = dir / ("hkcu.reg." + std::to_string(long(getpid())) + ".tmp");
    ASSERT_TRUE(std::filesystem::create_directory(temp));
    EXPECT_FALSE(reg->SetString(HKCU, "K", "v", "new"));
    EXPECT_FALSE(reg->CreateKey(HKCU, "K2"));
    EXPECT_EQ(reg->GetString(HKCU, "K", "v"), "old");
    EXPECT_FALSE(reg->KeyExists(HKCU, "K2"));
    std::filesystem::remove(temp);
    EXPECT_TRUE(reg->SetString(HKCU, "K", "v", "new"));
    EXPECT_EQ(Registry::OpenDirectory(dir.Path())->GetString(HKCU, "K", "v"), "new");
}

TEST(Registry, ProcessesSharingTheFolderLoseNoWrites) {
    ScratchDir dir;
    auto reg = Registry::OpenDirectory(dir.Path());
    ASSERT_TRUE(reg->CreateKey(HKCU, "K"));
    ASSERT_TRUE(reg->SetString(HKCU, "K", "seen", "first"));
    constexpr int kWrites = kChildWrites;
    pid_t child = StartChild("writes", dir.Path());
    ASSERT_GT(child, 0);
    int ok = 0;
    for (int i = 0; i < kWrites; ++i) ok += reg->SetDword(HKCU, "K", "parent" + std::to_string(i), uint32_t(i));
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ok, kWrites);
    // This store sees the other process's values without being reopened.
    EXPECT_EQ(reg->ValueNames(HKCU, "K").size(), size_t(2 * kWrites + 1));
    EXPECT_EQ(reg->GetDword(HKCU, "K", "child24"), 24u);
    EXPECT_EQ(Registry::OpenDirectory(dir.Path())->ValueNames(HKCU, "K").size(), size_t(2 * kWrites + 1));
}

TEST(Registry, InMemoryStoreWritesNoFile) {
    ScratchDir dir;
    ASSERT_EQ(setenv("VELORAN_CONFIG_HOME", dir.Path().c_str(), 1), 0);
    auto reg = Registry::CreateInMemory();
    EXPECT_EQ(reg->Directory(), "");
    EXPECT_EQ(reg->FileOf(HKCU), "");
    ASSERT_TRUE(reg->CreateKey(HKCU, "Software"));
    ASSERT_TRUE(reg->SetString(HKCU, "Software", "x", "y"));
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));

    Registry* raw = reg.get();
    Registry::SetDefault(std::move(reg));
    EXPECT_EQ(&Registry::Default(), raw);
    // Without an installed store the default lives in VELORAN_CONFIG_HOME.
    Registry::SetDefault(nullptr);
    EXPECT_EQ(Registry::Default().Directory(), dir.Path());
    EXPECT_EQ(Registry::Default().FileOf(HKLM), dir / "hklm.reg");
    Registry::SetDefault(nullptr);
    unsetenv("VELORAN_CONFIG_HOME");
}

TEST(Registry, ConfigFolderFollowsTheEnvironment) {
    const char* home = getenv("HOME");
    std::string savedHome = home ? home : "";
    setenv("HOME", "/home/someone", 1);
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("VELORAN_CONFIG_HOME");
    EXPECT_EQ(ConfigDir(), "/home/someone/.config/veloran");
    setenv("XDG_CONFIG_HOME", "/xdg/conf/", 1);
    EXPECT_EQ(ConfigDir(), "/xdg/conf/veloran");
    setenv("XDG_CONFIG_HOME", "relative", 1);  // ignored, as the XDG rules say
    EXPECT_EQ(ConfigDir(), "/home/someone/.config/veloran");
    setenv("VELORAN_CONFIG_HOME", "/tmp/test-config", 1);
    EXPECT_EQ(ConfigDir(), "/tmp/test-config");
    unsetenv("VELORAN_CONFIG_HOME");
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", savedHome.c_str(), 1);
}

TEST(ProfileStore, EntriesLiveUnderProfileAndSection) {
    auto reg = Registry::CreateInMemory();
    ProfileStore profile(*reg, "Veloran");
    const std::string app = "Veloran Viewer 5.0", shared = "Shared";

    EXPECT_EQ(profile.GetString(shared, "TfmPathList", "0", "<<End>>"), "<<End>>");
    EXPECT_EQ(profile.GetInt(app, "Settings", "Window Left", 0), 0);
    EXPECT_FALSE(profile.HasEntry(app, "Settings", "Window Left"));

    ASSERT_TRUE(profile.WriteInt(app, "Settings", "Window Left", -8));
    ASSERT_TRUE(profile.WriteString(shared, "TfmPathList", "0", "/usr/share/texmf/fonts/tfm/"));
    ASSERT_TRUE(profile.WriteString(shared, "KPathSea", "DLLPath", ""));
    EXPECT_EQ(profile.GetInt(app, "Settings", "Window Left", 0), -8);
    EXPECT_EQ(profile.GetString(shared, "tfmpathlist", "0", "<<End>>"), "/usr/share/texmf/fonts/tfm/");
    EXPECT_EQ(profile.GetString(shared, "KPathSea", "DLLPath", "default"), "");
    EXPECT_EQ(reg->GetDword(RegRoot::CurrentUser, "Software\\Veloran\\Veloran Viewer 5.0\\Settings", "Window Left"),
              uint32_t(-8));
    EXPECT_EQ(profile.KeyPath(shared, "Contents"), "Software\\Veloran\\Shared\\Contents");

    // The two profiles do not see each other's sections.
    EXPECT_EQ(profile.GetString(app, "TfmPathList", "0", "<<End>>"), "<<End>>");
    // An entry of the other type reads as its default.
    EXPECT_EQ(profile.GetString(app, "Settings", "Window Left", "none"), "none");
    EXPECT_EQ(profile.GetInt(shared, "TfmPathList", "0", 5), 5);

    EXPECT_TRUE(profile.DeleteEntry(shared, "TfmPathList", "0"));
    EXPECT_FALSE(profile.DeleteEntry(shared, "TfmPathList", "0"));
    EXPECT_FALSE(profile.DeleteEntry(shared, "NoSection", "0"));
    EXPECT_EQ(profile.GetString(shared, "TfmPathList", "0", "<<End>>"), "<<End>>");
}
