#include "platform/ui/RegistryProfileStore.h"

namespace {
constexpr sys::RegRoot kUser = sys::RegRoot::CurrentUser;
const char* Or(const char* s) { return s ? s : ""; }
} // namespace

std::string RegistryProfileStore::KeyPath(const char* key, const char* profile, const char* section) {
    std::string path = "Software";
    for (const char* part : {key, profile, section})
        if (part && *part) path += std::string("\\") + part;
    return path;
}

std::optional<std::string> RegistryProfileStore::ReadString(const char* key, const char* profile,
                                                            const char* section, const char* entry) {
    return registry_.GetString(kUser, KeyPath(key, profile, section), Or(entry));
}

std::optional<int> RegistryProfileStore::ReadInt(const char* key, const char* profile, const char* section,
                                                 const char* entry) {
    auto v = registry_.GetDword(kUser, KeyPath(key, profile, section), Or(entry));
    if (!v) return std::nullopt;
    return int(*v);
}

bool RegistryProfileStore::WriteString(const char* key, const char* profile, const char* section,
                                       const char* entry, const char* value) {
    std::string path = KeyPath(key, profile, section);
    return registry_.CreateKey(kUser, path) && registry_.SetString(kUser, path, Or(entry), Or(value));
}

bool RegistryProfileStore::WriteInt(const char* key, const char* profile, const char* section, const char* entry,
                                    int value) {
    std::string path = KeyPath(key, profile, section);
    return registry_.CreateKey(kUser, path) && registry_.SetDword(kUser, path, Or(entry), uint32_t(value));
}

bool RegistryProfileStore::Delete(const char* key, const char* profile, const char* section, const char* entry) {
    std::string path = KeyPath(key, profile, section);
    if (entry) return registry_.DeleteValue(kUser, path, entry);
    return registry_.DeleteKey(kUser, path);
}
