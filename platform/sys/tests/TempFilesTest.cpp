#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

#include "platform/sys/TempFiles.h"
#include "platform/sys/tests/ScratchDir.h"

using namespace sys;

namespace {
class TmpDirEnv {
public:
    explicit TmpDirEnv(const std::string& dir) {
        const char* old = getenv("TMPDIR");
        had_ = old != nullptr;
        if (old) saved_ = old;
        setenv("TMPDIR", dir.c_str(), 1);
    }
    ~TmpDirEnv() {
        if (had_)
            setenv("TMPDIR", saved_.c_str(), 1);
        else
            unsetenv("TMPDIR");
    }

private:
    bool had_ = false;
    std::string saved_;
};

// <prefix><1 to 4 upper-case hex digits>.tmp
// digits: the length of the number, 0 for any up to 16.
bool HasTempShape(const std::string& name, const std::string& prefix, size_t digits = 0) {
    if (name.size() < prefix.size() + 5 || name.compare(0, prefix.size(), prefix) != 0) return false;
    if (name.compare(name.size() - 4, 4, ".tmp") != 0) return false;
    std::string hex = name.substr(prefix.size(), name.size() - prefix.size() - 4);
    if (hex.empty() || hex.size() > 16 || (digits && hex.size() != digits)) return false;
    for (char c : hex)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
    return true;
}

mode_t ModeOf(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}
}  // namespace

TEST(TempFiles, TempPathIsAPrivateFolderOfTheUser) {
    ScratchDir base;
    TmpDirEnv env(base.Path());
    const std::string expected = base.Path() + "/veloran-" + std::to_string(getuid()) + "/";
    EXPECT_EQ(GetTempPath(), expected);
    EXPECT_EQ(ModeOf(expected), 0700u);
    EXPECT_EQ(GetTempPath(), expected);  // made once, then reused

    // A folder that others can enter, or a link planted in its place, is refused.
    ASSERT_EQ(chmod(expected.c_str(), 0755), 0);
    EXPECT_EQ(GetTempPath(), "");
    std::filesystem::remove(expected);
    std::filesystem::create_directory(base / "elsewhere");
    std::filesystem::create_directory_symlink(base / "elsewhere", expected.substr(0, expected.size() - 1));
    EXPECT_EQ(GetTempPath(), "");
}

TEST(TempFiles, NamesHaveThePrefixHexNumberShape) {
    ScratchDir dir;
    std::set<std::string> names;
    for (int i = 0; i < 200; ++i) {
        std::string path = GetTempFileName(dir.Path(), "htp");
        ASSERT_FALSE(path.empty());
        std::string name = std::filesystem::path(path).filename();
        // 64 random bits: the name cannot be guessed and planted first.
        EXPECT_TRUE(HasTempShape(name, "htp", 16)) << name;
        EXPECT_EQ(path, dir / name);
        EXPECT_TRUE(names.insert(name).second) << "repeated " << name;
        EXPECT_EQ(std::filesystem::file_size(path), 0u);
        EXPECT_EQ(ModeOf(path), 0600u);
    }
    // Only three characters of the prefix are used; a folder ending in a
    // separator gets no second one.
    std::string err = GetTempFileName(dir.Path() + "/", "error");
    EXPECT_TRUE(HasTempShape(std::filesystem::path(err).filename(), "err")) << err;
    EXPECT_EQ(err.find("//"), std::string::npos);
    // A given number only forms the name.
    EXPECT_EQ(GetTempFileName(dir.Path(), "hpp", 0x1A), dir / "hpp1A.tmp");
    EXPECT_FALSE(std::filesystem::exists(dir / "hpp1A.tmp"));
    EXPECT_EQ(GetTempFileName(dir / "missing", "htp"), "");
}

TEST(TempFiles, ShareLocksConflictLikeShareModes) {
    ScratchDir dir;
    const std::string f = dir / "doc.dvi";
    ScratchDir::WriteFile(f, "x");
    using M = FileShareLock::Mode;
    {
        FileShareLock a = FileShareLock::TryAcquire(f, M::Shared);
        FileShareLock b = FileShareLock::TryAcquire(f, M::Shared);
        EXPECT_TRUE(a && b);
        EXPECT_FALSE(FileShareLock::TryAcquire(f, M::Exclusive));
    }
    FileShareLock ex = FileShareLock::TryAcquire(f, M::Exclusive);
    ASSERT_TRUE(ex);
    EXPECT_FALSE(FileShareLock::TryAcquire(f, M::Shared));
    FileShareLock moved = std::move(ex);
    EXPECT_FALSE(ex.IsHeld());
    EXPECT_FALSE(FileShareLock::TryAcquire(f, M::Shared));
    moved.Release();
    EXPECT_TRUE(FileShareLock::TryAcquire(f, M::Shared));
    EXPECT_FALSE(FileShareLock::TryAcquire(dir / "absent", M::Shared));
}

TEST(TempFiles, CleanUpDeletesOnlyFilesNobodyHolds) {
    ScratchDir dir;
    TempFile held = CreateTempFile(dir.Path(), "htp");
    ASSERT_FALSE(held.path.empty());
    ASSERT_TRUE(held.lock);
    TempFile side = CreateTempFile(dir.Path(), "hpp");
    ASSERT_TRUE(side.lock);
    std::string loose = GetTempFileName(dir.Path(), "hpp");
    std::string converted = held.path.substr(0, held.path.size() - 2) + "_p";  // .t_p
    ScratchDir::WriteFile(converted, "pdf");
    ScratchDir::WriteFile(dir / "VRPTTF.LOG", "log");
    std::filesystem::create_directory(dir / "hppDIR.tmp");
    ScratchDir outside;
    ScratchDir::WriteFile(outside / "victim", "keep");
    std::filesystem::create_symlink(outside / "victim", dir / "hppLINK.tmp");

    EXPECT_EQ(DeleteUnusedFiles(dir.Path(), "h?p*.tmp"), 1);  // only the loose one
    EXPECT_FALSE(std::filesystem::exists(loose));
    EXPECT_TRUE(std::filesystem::exists(held.path));
    EXPECT_TRUE(std::filesystem::exists(side.path));
    EXPECT_TRUE(std::filesystem::exists(converted));
    EXPECT_TRUE(std::filesystem::exists(dir / "VRPTTF.LOG"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "hppDIR.tmp"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "hppLINK.tmp"));
    EXPECT_EQ(ScratchDir::ReadFile(outside / "victim"), "keep");

    // A document reading the file through a stream of its own still holds it.
    held.lock.Release();
    FileShareLock reader = FileShareLock::TryAcquire(held.path, FileShareLock::Mode::Shared);
    EXPECT_EQ(DeleteUnusedFiles(dir.Path(), "h?p*.tmp"), 0);
    reader.Release();
    side.lock.Release();
    EXPECT_EQ(DeleteUnusedFiles(dir.Path(), "h?p*.tmp"), 2);
    EXPECT_FALSE(std::filesystem::exists(held.path));
    EXPECT_FALSE(std::filesystem::exists(side.path));
}
