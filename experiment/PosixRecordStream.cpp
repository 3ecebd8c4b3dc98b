#include "PosixRecordStream.h"

#include <sys/file.h>
#include <sys/stat.h>
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
    if (!write(bytes)) {
        CutBack(before);
        return false;
    }
    // Bytes that may not have reached the disk are taken back too: the caller reports the
    // line as not written, and a continued file must not count it.
    if (::fsync(m_fd) != 0) {
        CutBack(before);
        return false;
    }
    return true;
}

bool PosixRecordStream::write(std::string_view bytes) {
    if (m_fd < 0) {
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool PosixRecordStream::sync() { return m_fd >= 0 && ::fsync(m_fd) == 0; }

void PosixRecordStream::CutBack(off_t size) {
    while (::ftruncate(m_fd, size) != 0 && errno == EINTR) {
    }
    ::fsync(m_fd);
}

// flock, not fcntl locks: those belong to the process and would be dropped by closing any
// other descriptor of the file, such as the one a cancellation reads it through.
bool PosixRecordStream::tryLock() {
    int result;
    do {
        result = ::flock(m_fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

bool PosixRecordStream::isAt(const std::string& path) {
    struct stat held, named;
    return m_fd >= 0 && ::fstat(m_fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

bool PosixRecordStream::permissions(Permissions& out) {
    struct stat status;
    if (m_fd < 0 || ::fstat(m_fd, &status) != 0) {
        return false;
    }
    out = {static_cast<unsigned>(status.st_mode & 07777), static_cast<long long>(status.st_uid),
           static_cast<long long>(status.st_gid)};
    return true;
}

bool PosixRecordStream::setPermissions(const Permissions& permissions) {
    if (m_fd < 0) {
        return false;
    }
    // Owner and group first, since changing them may clear the set-ID bits. Only a privileged
    // process may give a file away; a member of the group may still set the group.
    const uid_t owner = static_cast<uid_t>(permissions.owner);
    const gid_t group = static_cast<gid_t>(permissions.group);
    if (::fchown(m_fd, owner, group) != 0 && ::fchown(m_fd, static_cast<uid_t>(-1), group) != 0) {
        // the process's own owner and group stay
    }
    return ::fchmod(m_fd, static_cast<mode_t>(permissions.mode)) == 0;
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
