// Opening a file or web address with the desktop's handler (xdg-open), and
// starting a named program such as a configured browser. Both go through one
// launcher that takes an argument vector; tests install their own launcher so
// that no desktop program starts.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace sys {

// Starts the argument vector; true when it started. The default starts it
// detached (StartDetached).
using ShellLauncher = std::function<bool(const std::vector<std::string>& argv)>;

// Installs a launcher; an empty one restores the default. Returns the one
// that was installed before (empty for the default).
ShellLauncher SetShellLauncher(ShellLauncher launcher);

// Opens a path or address with the desktop's handler: {"xdg-open", target}.
// A target that starts with '-' is passed as "./target" so that it cannot
// read as an option. False for an empty target or when the start fails.
bool ShellOpen(const std::string& target);

// Starts a program with its arguments through the launcher (no shell).
bool LaunchProgram(const std::vector<std::string>& argv);

}  // namespace sys
