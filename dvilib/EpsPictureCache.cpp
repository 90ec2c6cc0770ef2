#include "dvilib/EpsPictureCache.h"

#include <utility>

EpsPictureCache& EpsPictureCache::Get() {
    static EpsPictureCache cache;
    return cache;
}

std::shared_ptr<const EpsPictureCache::Rendering> EpsPictureCache::Find(const std::string& key) {
    std::lock_guard<std::mutex> lock(m_lock);
    const auto it = m_index.find(key);
    if (it == m_index.end()) return nullptr;
    m_entries.splice(m_entries.begin(), m_entries, it->second);
    return it->second->rendering;
}

void EpsPictureCache::Put(const std::string& key, std::shared_ptr<const Rendering> rendering) {
    if (!rendering) return;
    std::lock_guard<std::mutex> lock(m_lock);
    if (const auto it = m_index.find(key); it != m_index.end()) {
        m_bytes -= it->second->rendering->Bytes();
        m_entries.erase(it->second);
        m_index.erase(it);
    }
    if (rendering->Bytes() > m_limit) return;
    m_bytes += rendering->Bytes();
    m_entries.push_front(Entry{key, std::move(rendering)});
    m_index.emplace(key, m_entries.begin());
    TrimLocked();
}

void EpsPictureCache::TrimLocked() {
    while (m_bytes > m_limit && !m_entries.empty()) {
        const Entry& last = m_entries.back();
        m_bytes -= last.rendering->Bytes();
        m_index.erase(last.key);
        m_entries.pop_back();
    }
}

void EpsPictureCache::SetLimit(size_t bytes) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_limit = bytes;
    TrimLocked();
}

size_t EpsPictureCache::Limit() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_limit;
}

size_t EpsPictureCache::Bytes() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_bytes;
}

size_t EpsPictureCache::Count() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_entries.size();
}

void EpsPictureCache::Clear() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_entries.clear();
    m_index.clear();
    m_bytes = 0;
}
