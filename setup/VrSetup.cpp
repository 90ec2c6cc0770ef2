// VrSetup: runs the installer beside it, removing a recorded earlier
// installation first. It shows no main window.
#include <QApplication>

#include "platform/sys/Registry.h"
#include "platform/ui/UiDispatcher.h"
#include "setup/SetupLauncher.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    UiDispatcher::Init();
    SetupLauncher launcher(SetupLauncher::InstallerBesideExecutable(), sys::Registry::Default());
    return launcher.Run();
}
