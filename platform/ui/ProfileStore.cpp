#include "platform/ui/ProfileStore.h"

#include <cctype>

std::string MemoryProfileStore::Fold(const char* s) {
    std::string out = s ? s : "";
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string MemoryProfileStore::Path(const char* key, const char* profile, const char* section) {
    return Fold(key) + '\n' + Fold(profile) + '\n' + Fold(section);
}

std::optional<std::string> MemoryProfileStore::ReadString(const char* key, const char* profile,
                                                          const char* section, const char* entry) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto s = sections_.find(Path(key, profile, section));
    if (s == sections_.end()) return std::nullopt;
    auto v = s->second.find(Fold(entry));
    if (v == s->second.end() || v->second.isInt) return std::nullopt;
    return v->second.text;
}

std::optional<int> MemoryProfileStore::ReadInt(const char* key, const char* profile, const char* section,
                                               const char* entry) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto s = sections_.find(Path(key, profile, section));
    if (s == sections_.end()) return std::nullopt;
    auto v = s->second.find(Fold(entry));
    if (v == s->second.end() || !v->second.isInt) return std::nullopt;
    return v->second.number;
}

bool MemoryProfileStore::WriteString(const char* key, const char* profile, const char* section,
                                     const char* entry, const char* value) {
    if (!entry) return Delete(key, profile, section, nullptr);
    std::lock_guard<std::mutex> lock(mutex_);
    Value& v = sections_[Path(key, profile, section)][Fold(entry)];
    v.isInt = false;
    v.text = value ? value : "";
    return true;
}

bool MemoryProfileStore::WriteInt(const char* key, const char* profile, const char* section, const char* entry,
                                  int value) {
    if (!entry) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    Value& v = sections_[Path(key, profile, section)][Fold(entry)];
    v.isInt = true;
    v.number = value;
    v.text.clear();
    return true;
}

bool MemoryProfileStore::Delete(const char* key, const char* profile, const char* section, const char* entry) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto s = sections_.find(Path(key, profile, section));
    if (s == sections_.end()) return false;
    if (!entry) {
        sections_.erase(s);
        return true;
    }
    return s->second.erase(Fold(entry)) > 0;
}
