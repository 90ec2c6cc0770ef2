// The registry store: three roots (current user, local machine, classes),
// each a tree of keys holding string and 32-bit values. Key paths are key
// names joined by backslashes ("Software\Veloran\Viewer"; a slash belongs to
// the name, as in "MIME\Database\Content Type\image/tiff"). Key and value
// names compare without regard to ASCII case. The empty value name is the
// key's default value.
//
// The file-backed store keeps one file per root in its folder (hkcu.reg,
// hklm.reg, hkcr.reg). Every change rewrites that root's file atomically (a
// new file renamed over the old one, under a lock file, so several processes
// may share the folder); a file changed by another process is read again
// before the next access. A damaged file is read as far as it parses.
// All operations are safe to call from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sys/RegistryTree.h"

namespace sys {

enum class RegRoot { CurrentUser, LocalMachine, ClassesRoot };  // HKCU, HKLM, HKCR

class Registry {
public:
    // File-backed store in `dir`, made on first write when missing.
    static std::unique_ptr<Registry> OpenDirectory(std::string dir);
    // A store that lives in memory only (tests).
    static std::unique_ptr<Registry> CreateInMemory();

    // The process-wide store: file-backed in ConfigDir() (VELORAN_CONFIG_HOME
    // moves it) unless SetDefault installed another one.
    static Registry& Default();
    static void SetDefault(std::unique_ptr<Registry> registry);

    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    // The folder of a file-backed store; empty for one in memory.
    const std::string& Directory() const { return dir_; }
    // The file that holds a root ("" in memory).
    std::string FileOf(RegRoot root) const;

    bool KeyExists(RegRoot root, std::string_view key) const;
    // Creates the key and every missing key above it; true when it exists afterwards.
    bool CreateKey(RegRoot root, std::string_view key);
    // Deletes a key with its values; fails when it is missing, is a root or
    // still has subkeys.
    bool DeleteKey(RegRoot root, std::string_view key);
    // Names of the subkeys and of the values, in case-insensitive order.
    std::vector<std::string> SubKeys(RegRoot root, std::string_view key) const;
    std::vector<std::string> ValueNames(RegRoot root, std::string_view key) const;

    std::optional<RegValue> GetValue(RegRoot root, std::string_view key, std::string_view name) const;
    // A value of the other type reads as missing.
    std::optional<std::string> GetString(RegRoot root, std::string_view key, std::string_view name) const;
    std::optional<uint32_t> GetDword(RegRoot root, std::string_view key, std::string_view name) const;

    // Writing needs an existing key (as with an opened key); false otherwise
    // or when the file cannot be written, in which case nothing changes.
    bool SetValue(RegRoot root, std::string_view key, std::string_view name, RegValue value);
    bool SetString(RegRoot root, std::string_view key, std::string_view name, std::string_view value);
    bool SetDword(RegRoot root, std::string_view key, std::string_view name, uint32_t value);
    bool DeleteValue(RegRoot root, std::string_view key, std::string_view name);

    // Fault injection for tests: called while a root's new file is half
    // written, with the number of bytes written so far.
    static void SetWriteFaultHook(std::function<void(size_t)> hook);

private:
    struct Root;
    explicit Registry(std::string dir);

    Root& RootOf(RegRoot root) const;
    // Reads the root's file again when another process replaced it.
    void Refresh(Root& r) const;
    // Runs `change` on the root's tree under the lock file and stores the
    // result; `change` returns false to leave everything as it was.
    bool Modify(RegRoot root, const std::function<bool(RegKey&)>& change);
    // Runs `look` under the lock on the key at `key` of the fresh tree, or on
    // null when there is none; false, without calling it, for a bad path.
    bool Read(RegRoot root, std::string_view key, const std::function<void(const RegKey*)>& look) const;

    std::string dir_;
    mutable std::mutex mutex_;  // guards roots_ (trees and their files)
    std::unique_ptr<Root> roots_[3];
};

// The application's profile settings, stored under
// HKCU\Software\<registryKey>\<profile>\<section> with integer entries as
// 32-bit values and text entries as strings. Every call names its profile
// and section. Safe to call from any thread.
class ProfileStore {
public:
    ProfileStore(Registry& registry, std::string registryKey);

    // The entry's text, or `def` when it is missing or not a string.
    std::string GetString(std::string_view profile, std::string_view section, std::string_view entry,
                          std::string_view def = {}) const;
    // The entry's number, or `def` when it is missing or not an integer.
    int GetInt(std::string_view profile, std::string_view section, std::string_view entry, int def) const;
    // Write the entry, making the keys above it as needed.
    bool WriteString(std::string_view profile, std::string_view section, std::string_view entry,
                     std::string_view value);
    bool WriteInt(std::string_view profile, std::string_view section, std::string_view entry, int value);
    bool DeleteEntry(std::string_view profile, std::string_view section, std::string_view entry);
    bool HasEntry(std::string_view profile, std::string_view section, std::string_view entry) const;

    // "Software\<registryKey>\<profile>\<section>".
    std::string KeyPath(std::string_view profile, std::string_view section) const;
    Registry& GetRegistry() const { return registry_; }

private:
    Registry& registry_;
    std::string registryKey_;
};

}  // namespace sys
