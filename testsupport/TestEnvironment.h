// The world a test of the program runs in: a temporary folder with config/
// (VELORAN_CONFIG_HOME and the default registry) and tmp/ (TMPDIR). The
// environment variables it set get their former values back when it goes,
// and the default registry becomes one in memory, so that nothing a later
// test does reaches the user's settings.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/sys/Registry.h"
#include "testsupport/TestTools.h"

namespace testsupport {

class TestEnvironment {
public:
    TestEnvironment() {
        Set("TMPDIR", dir_.File("tmp"), tmpdir_);
        std::filesystem::create_directories(dir_.Path() / "tmp");
        Set("VELORAN_CONFIG_HOME", dir_.File("config"), config_);
        ResetConfig();
    }
    ~TestEnvironment() {
        sys::Registry::SetDefault(sys::Registry::CreateInMemory());
        Restore("TMPDIR", tmpdir_);
        Restore("VELORAN_CONFIG_HOME", config_);
    }
    TestEnvironment(const TestEnvironment&) = delete;
    TestEnvironment& operator=(const TestEnvironment&) = delete;

    // Settings afresh: an empty config folder and the default registry on it.
    void ResetConfig() {
        std::filesystem::remove_all(dir_.Path() / "config");
        std::filesystem::create_directories(dir_.Path() / "config");
        sys::Registry::SetDefault(sys::Registry::OpenDirectory(dir_.File("config")));
    }

    const TempDir& Dir() const { return dir_; }
    const std::filesystem::path& Path() const { return dir_.Path(); }
    std::string File(const std::string& name) const { return dir_.File(name); }
    // RunTex, RunIn and the like take the environment as their folder.
    operator const TempDir&() const { return dir_; }

private:
    static void Set(const char* name, const std::string& value, std::optional<std::string>& before) {
        if (const char* v = std::getenv(name)) before = v;
        setenv(name, value.c_str(), 1);
    }
    static void Restore(const char* name, const std::optional<std::string>& before) {
        if (before) setenv(name, before->c_str(), 1);
        else unsetenv(name);
    }

    TempDir dir_;
    std::optional<std::string> tmpdir_, config_;
};

} // namespace testsupport
