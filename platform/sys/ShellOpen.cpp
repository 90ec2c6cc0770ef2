#include "platform/sys/ShellOpen.h"

#include <mutex>

#include "platform/sys/Process.h"

namespace sys {

namespace {

std::mutex g_mutex;  // guards g_launcher
ShellLauncher g_launcher;

bool Launch(const std::vector<std::string>& argv) {
    ShellLauncher launcher;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        launcher = g_launcher;
    }
    if (launcher) return launcher(argv);
    return StartDetached(argv);
}

}  // namespace

ShellLauncher SetShellLauncher(ShellLauncher launcher) {
    std::lock_guard<std::mutex> lock(g_mutex);
    ShellLauncher old = std::move(g_launcher);
    g_launcher = std::move(launcher);
    return old;
}

bool ShellOpen(const std::string& target) {
    if (target.empty()) return false;
    return Launch({"xdg-open", target[0] == '-' ? "./" + target : target});
}

bool LaunchProgram(const std::vector<std::string>& argv) {
    if (argv.empty() || argv[0].empty()) return false;
    return Launch(argv);
}

}  // namespace sys
