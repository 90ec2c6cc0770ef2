// setup: installs the built viewer ("setup [/prefix=DIR]", by default into
// ~/.local) or removes the recorded installation ("setup /s /uninst").
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/sys/Registry.h"
#include "setup/Installer.h"

int main(int argc, char** argv) {
    bool uninstall = false, silent = false;
    std::string prefix = Installer::DefaultPrefix();
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "/s" || a == "/S") silent = true;
        else if (a == "/uninst") uninstall = true;
        else if (a.rfind("/prefix=", 0) == 0) prefix = a.substr(8);
        else {
            std::fprintf(stderr, "setup: unknown argument %s\nusage: setup [/prefix=DIR] | setup /s /uninst\n",
                         a.c_str());
            return 2;
        }
    }
    Installer installer(Installer::BuildDirOfExecutable(), sys::Registry::Default());
    InstallResult r = uninstall ? installer.Uninstall() : installer.Install(prefix);
    if (!r.ok) std::fprintf(stderr, "setup: %s\n", r.message.c_str());
    else if (!silent) std::printf("setup: %s\n", r.message.c_str());
    return r.ok ? 0 : 1;
}
