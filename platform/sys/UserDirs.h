// Folders of the program: its own executable, and the per-user folders for
// settings, runtime files and temporary files.
#pragma once

#include <string>

namespace sys {

// Full path of the running program's executable; "" when unknown.
std::string ExecutablePath();

// The settings folder: $VELORAN_CONFIG_HOME, else $XDG_CONFIG_HOME/veloran,
// else $HOME/.config/veloran. No trailing separator. Not created.
std::string ConfigDir();

// The folder for the instance lock and socket: $XDG_RUNTIME_DIR/veloran when
// XDG_RUNTIME_DIR names an absolute folder, else the private temporary folder.
// No trailing separator. Not created.
std::string RuntimeDir();

// The private temporary folder: $TMPDIR (else /tmp) followed by
// "veloran-<uid>". No trailing separator. Not created.
std::string PrivateTempDir();

// Creates the folder and its missing parents (mode 0700) and checks that it
// is a real folder (not a link) owned by this user with no access for group
// or others. False, with a reason in *error, otherwise.
bool EnsurePrivateDir(const std::string& path, std::string* error = nullptr);

// Creates the folder and its missing parents (mode 0700 for new ones); true
// when it is a folder afterwards.
bool EnsureDir(const std::string& path);

}  // namespace sys
