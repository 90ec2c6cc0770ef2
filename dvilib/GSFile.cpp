#include "dvilib/GSFile.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

int CGSFile::Open(const char* name, unsigned int mode) {
    Close();
    if (!name) return 0;
    int flags = ((mode & 15) == 1 ? O_WRONLY : O_RDONLY) | O_CLOEXEC;
    int fd;
    do {
        fd = ::open(name, flags);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return 0;
    m_handle = fd;
    return 1;
}

unsigned int CGSFile::Read(void* buffer, unsigned int count) {
    if (m_handle < 0 || !buffer) return 0;
    ssize_t n;
    do {
        n = ::read(m_handle, buffer, count);
    } while (n < 0 && errno == EINTR);
    return n > 0 ? static_cast<unsigned int>(n) : 0;
}

unsigned int CGSFile::Write(const void* buffer, unsigned int count) {
    if (m_handle < 0 || !buffer) return 0;
    ssize_t n;
    do {
        n = ::write(m_handle, buffer, count);
    } while (n < 0 && errno == EINTR);
    return n > 0 ? static_cast<unsigned int>(n) : 0;
}

unsigned int CGSFile::ReadFully(void* buffer, unsigned int count) {
    unsigned char* p = static_cast<unsigned char*>(buffer);
    unsigned int done = 0;
    while (done < count) {
        unsigned int n = Read(p + done, count - done);
        if (n == 0) break;
        done += n;
    }
    return done;
}

long CGSFile::Seek(long offset, unsigned int from) {
    if (m_handle < 0) return -1;
    int whence = from == 1 ? SEEK_CUR : from == 2 ? SEEK_END : SEEK_SET;
    return static_cast<long>(::lseek(m_handle, offset, whence));
}

void CGSFile::Close() {
    if (m_handle >= 0) ::close(m_handle);
    m_handle = -1;
}
