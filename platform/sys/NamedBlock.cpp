#include "platform/sys/NamedBlock.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace {
std::mutex& RegistryLock() {
    static std::mutex m;  // guards Registry()
    return m;
}
std::map<std::string, std::weak_ptr<NamedBlock>>& Registry() {
    static std::map<std::string, std::weak_ptr<NamedBlock>> r;
    return r;
}
} // namespace

std::shared_ptr<NamedBlock> NamedBlock::Create(const std::string& name, std::size_t size, bool* existed) {
    if (existed) *existed = false;
    if (name.empty() || size == 0) return nullptr;
    std::lock_guard<std::mutex> g(RegistryLock());
    auto& slot = Registry()[name];
    if (auto living = slot.lock()) {
        if (existed) *existed = true;
        return living;
    }
    std::shared_ptr<NamedBlock> block(new NamedBlock(name, size));
    slot = block;
    return block;
}

std::shared_ptr<NamedBlock> NamedBlock::Open(const std::string& name) {
    std::lock_guard<std::mutex> g(RegistryLock());
    auto it = Registry().find(name);
    if (it == Registry().end()) return nullptr;
    return it->second.lock();
}

NamedBlock::~NamedBlock() {
    std::lock_guard<std::mutex> g(RegistryLock());
    auto it = Registry().find(name_);
    // A block of the same name created after this one died keeps its entry.
    if (it != Registry().end() && it->second.expired()) Registry().erase(it);
}

std::size_t NamedBlock::Write(std::size_t offset, const void* data, std::size_t count) {
    std::lock_guard<std::mutex> g(lock_);
    if (offset >= bytes_.size() || !data) return 0;
    std::size_t n = std::min(count, bytes_.size() - offset);
    std::memcpy(bytes_.data() + offset, data, n);
    return n;
}

std::size_t NamedBlock::Read(std::size_t offset, void* out, std::size_t count) const {
    std::lock_guard<std::mutex> g(lock_);
    if (offset >= bytes_.size() || !out) return 0;
    std::size_t n = std::min(count, bytes_.size() - offset);
    std::memcpy(out, bytes_.data() + offset, n);
    return n;
}

std::vector<unsigned char> NamedBlock::Snapshot() const {
    std::lock_guard<std::mutex> g(lock_);
    return bytes_;
}
