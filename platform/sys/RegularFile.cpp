#include "platform/sys/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ext/stdio_filebuf.h>

namespace sys {

namespace {

class DescriptorStream : public std::istream {
public:
    explicit DescriptorStream(int fd) : std::istream(nullptr), buf_(fd, std::ios::in | std::ios::binary) {
        rdbuf(&buf_);
    }

private:
    __gnu_cxx::stdio_filebuf<char> buf_;  // closes the descriptor
};

}  // namespace

int OpenRegularFile(const std::string& path, int64_t* size) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (size) *size = int64_t(st.st_size);
    return fd;
}

std::unique_ptr<std::istream> OpenRegularFileStream(const std::string& path, int64_t* size) {
    const int fd = OpenRegularFile(path, size);
    if (fd < 0) return nullptr;
    return std::make_unique<DescriptorStream>(fd);
}

}  // namespace sys
