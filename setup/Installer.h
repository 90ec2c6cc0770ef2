// The install program: installs the built viewer into a prefix with the
// build's own install step (cmake --install), records the base folder in the
// machine-wide settings, and keeps a list of what it made; the uninstall
// removes exactly the files and folders on that list and the recorded value.
#pragma once

#include <string>

namespace sys {
class Registry;
}

struct InstallResult {
    bool ok = false;
    std::string message;  // what went wrong, or what was done
};

class Installer {
public:
    // buildDir: the build folder whose install step runs (it holds
    // cmake_install.cmake).
    Installer(std::string buildDir, sys::Registry& registry);

    // Installs into prefix (an absolute folder, made when missing).
    InstallResult Install(const std::string& prefix);
    // Removes the recorded installation; succeeds when there is none.
    InstallResult Uninstall();

    // The build folder above the program's bin/ folder.
    static std::string BuildDirOfExecutable();
    // $HOME/.local, where a user's programs and desktop files go.
    static std::string DefaultPrefix();

    // The record in the installation's base folder.
    static constexpr const char* kRecordName = "uninstall.lst";

private:
    std::string buildDir_;
    sys::Registry& registry_;
};
