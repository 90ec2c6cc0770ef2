#include "platform/inet/InternetHandle.h"

#include <algorithm>

namespace inet {

HandleTable& HandleTable::Instance() {
    static HandleTable* table = new HandleTable();
    return *table;
}

HINTERNET HandleTable::Add(std::shared_ptr<InternetHandle> handle, HINTERNET parent) {
    std::lock_guard<std::mutex> lock(mutex_);
    uintptr_t id = next_;
    next_ += 8;
    entries_.push_back({id, Entry{std::move(handle), reinterpret_cast<uintptr_t>(parent)}});
    return reinterpret_cast<HINTERNET>(id);
}

std::shared_ptr<InternetHandle> HandleTable::Find(HINTERNET value) const {
    uintptr_t id = reinterpret_cast<uintptr_t>(value);
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& e : entries_)
        if (e.first == id) return e.second.handle;
    return nullptr;
}

void HandleTable::CloseLocked(uintptr_t id, std::vector<std::shared_ptr<InternetHandle>>& closed) {
    auto it = std::find_if(entries_.begin(), entries_.end(), [id](const auto& e) { return e.first == id; });
    if (it == entries_.end()) return;
    it->second.handle->closed = true;
    closed.push_back(std::move(it->second.handle));
    entries_.erase(it);
    std::vector<uintptr_t> children;
    for (const auto& e : entries_)
        if (e.second.parent == id) children.push_back(e.first);
    for (uintptr_t child : children) CloseLocked(child, closed);
}

bool HandleTable::Close(HINTERNET value) {
    std::vector<std::shared_ptr<InternetHandle>> closed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        CloseLocked(reinterpret_cast<uintptr_t>(value), closed);
    }
    // The handles are freed here, outside the lock, unless a blocked call
    // still holds one; that call frees it when it returns.
    return !closed.empty();
}

}  // namespace inet
