#include "PosixRecordStream.h"

#include <sys/types.h>
#include <unistd.h>

#include <cerrno>

PosixRecordStream::PosixRecordStream(int fd) : m_fd(fd) {}

PosixRecordStream::~PosixRecordStream() { close(); }

bool PosixRecordStream::append(const std::string& bytes) {
    if (m_fd < 0) {
        return false;
    }
    const off_t before = ::lseek(m_fd, 0, SEEK_END);
    if (before < 0) {
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            CutBack(before);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    // Bytes that may not have reached the disk are taken back too: the caller reports the
    // line as not written, and a continued file must not count it.
    if (::fsync(m_fd) != 0) {
        CutBack(before);
        return false;
    }
    return true;
}

void PosixRecordStream::CutBack(off_t size) {
    while (::ftruncate(m_fd, size) != 0 && errno == EINTR) {
    }
    ::fsync(m_fd);
}

bool PosixRecordStream::close() {
    if (m_fd < 0) {
        return true;
    }
    // Linux releases the descriptor even when close reports EINTR, so never retry.
    const int result = ::close(m_fd);
    m_fd = -1;
    return result == 0;
}
