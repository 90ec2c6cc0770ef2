// The setup launcher: when an earlier installation is recorded (the
// machine-wide value "VeloranBaseDir" that the viewer reads too), the
// installer runs in silent uninstall mode behind the "Deleting Previous
// Version..." window until it ends; then the installer runs and is waited for.
// The installer is the program `setup` beside the launcher.
#pragma once

#include <string>

namespace sys {
class Registry;
}

class SetupLauncher {
public:
    // installer: the program to run (a path); registry: the store whose
    // machine root records the installation.
    SetupLauncher(std::string installer, sys::Registry& registry);

    // The whole work, on the UI thread; the window is kept painted while the
    // uninstaller runs. Returns 0 (failures are shown in message boxes).
    int Run();

    // The installer beside the running program.
    static std::string InstallerBesideExecutable();
    // Whether an earlier installation is recorded; nothing is created.
    static bool PreviousInstallation(const sys::Registry& registry);

    static constexpr const char* kInstallKey = "SOFTWARE\\Veloran\\Viewer";
    static constexpr const char* kBaseDirValue = "VeloranBaseDir";
    static constexpr const char* kCaption = "ViewerInstallProc";

private:
    std::string installer_;
    sys::Registry& registry_;
};

// Registers the launcher's texts (English and Korean) once.
void AfxRegisterSetupStrings();
constexpr unsigned IDS_DELETING_PREVIOUS = 102;
