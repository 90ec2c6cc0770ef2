// Reading files that must be regular files. A FIFO, device or socket named
// where a file is expected would block its reader in open() or never end, so
// the file is opened without waiting and kept only when fstat shows a
// regular file.
#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <string>

namespace sys {

// A descriptor for reading `path` (reads block as usual), or -1: errno is
// that of open, or EINVAL when the file is not a regular one. *size, when
// given, is the file's size.
int OpenRegularFile(const std::string& path, int64_t* size = nullptr);

// The same as a binary input stream that owns the descriptor; null when the
// file cannot be opened or is not a regular file.
std::unique_ptr<std::istream> OpenRegularFileStream(const std::string& path, int64_t* size = nullptr);

}  // namespace sys
