// The application's profile calls on the registry store of platform/sys:
// HKCU\Software\<registry key>\<profile>\<section>, integers as 32-bit values.
#pragma once

#include "platform/sys/Registry.h"
#include "platform/ui/ProfileStore.h"

class RegistryProfileStore : public ProfileStore {
public:
    // The registry must outlive the store.
    explicit RegistryProfileStore(sys::Registry& registry) : registry_(registry) {}

    std::optional<std::string> ReadString(const char* key, const char* profile, const char* section,
                                          const char* entry) override;
    std::optional<int> ReadInt(const char* key, const char* profile, const char* section,
                               const char* entry) override;
    bool WriteString(const char* key, const char* profile, const char* section, const char* entry,
                     const char* value) override;
    bool WriteInt(const char* key, const char* profile, const char* section, const char* entry,
                  int value) override;
    bool Delete(const char* key, const char* profile, const char* section, const char* entry) override;

    static std::string KeyPath(const char* key, const char* profile, const char* section);

private:
    sys::Registry& registry_;
};
