// The store behind the application's profile calls. Every call names the
// registry key, the profile, the section and the entry explicitly, so no
// "current profile" is shared between threads.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "platform/core/CString.h"

class ProfileStore {
public:
    virtual ~ProfileStore() = default;
    // nullopt when the value is missing or has the other type.
    virtual std::optional<std::string> ReadString(const char* key, const char* profile, const char* section,
                                                  const char* entry) = 0;
    virtual std::optional<int> ReadInt(const char* key, const char* profile, const char* section,
                                       const char* entry) = 0;
    virtual bool WriteString(const char* key, const char* profile, const char* section, const char* entry,
                             const char* value) = 0;
    virtual bool WriteInt(const char* key, const char* profile, const char* section, const char* entry,
                          int value) = 0;
    // Removes one entry (entry non-null) or a whole section (entry null).
    virtual bool Delete(const char* key, const char* profile, const char* section, const char* entry) = 0;
};

// In-memory store; names compare without regard to ASCII case. Thread-safe.
class MemoryProfileStore : public ProfileStore {
public:
    std::optional<std::string> ReadString(const char* key, const char* profile, const char* section,
                                          const char* entry) override;
    std::optional<int> ReadInt(const char* key, const char* profile, const char* section,
                               const char* entry) override;
    bool WriteString(const char* key, const char* profile, const char* section, const char* entry,
                     const char* value) override;
    bool WriteInt(const char* key, const char* profile, const char* section, const char* entry,
                  int value) override;
    bool Delete(const char* key, const char* profile, const char* section, const char* entry) override;

private:
    struct Value {
        bool isInt = false;
        int number = 0;
        std::string text;
    };
    static std::string Path(const char* key, const char* profile, const char* section);
    static std::string Fold(const char* s);
    std::mutex mutex_;  // guards sections_
    std::map<std::string, std::map<std::string, Value>> sections_;
};
