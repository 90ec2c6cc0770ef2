// NamedBlock: a named block of bytes shared inside the process, standing in
// for a named file mapping. One party creates it with a size; others open it
// by name. It lives while any holder keeps it. It holds bytes only: values are
// copied in and out under the block's lock, so readers on other threads never
// see a half-written value and nothing in it can point into anyone's memory.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class NamedBlock {
public:
    // Creates the block of that name, zero-filled, or joins the one that
    // exists (its size stays; *existed tells which). Null for an empty name
    // or a size of 0.
    static std::shared_ptr<NamedBlock> Create(const std::string& name, std::size_t size,
                                              bool* existed = nullptr);
    // The living block of that name, or null.
    static std::shared_ptr<NamedBlock> Open(const std::string& name);

    ~NamedBlock();
    NamedBlock(const NamedBlock&) = delete;
    NamedBlock& operator=(const NamedBlock&) = delete;

    const std::string& Name() const { return name_; }
    std::size_t Size() const { return bytes_.size(); }

    // Copy bytes in or out; the range is clipped to the block. Return the
    // number of bytes copied.
    std::size_t Write(std::size_t offset, const void* data, std::size_t count);
    std::size_t Read(std::size_t offset, void* out, std::size_t count) const;
    // A copy of the whole block.
    std::vector<unsigned char> Snapshot() const;

private:
    NamedBlock(std::string name, std::size_t size) : name_(std::move(name)), bytes_(size, 0) {}

    const std::string name_;
    mutable std::mutex lock_;  // guards bytes_ (their contents; the size is fixed)
    std::vector<unsigned char> bytes_;
};
