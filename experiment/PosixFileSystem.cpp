#include "PosixFileSystem.h"

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "PosixRecordStream.h"

namespace {

int OpenRetrying(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path, flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

}  // namespace

FileSystem::ReadResult PosixFileSystem::readFile(const std::string& path, std::string& content) {
    content.clear();
    const int fd = OpenRetrying(path.c_str(), O_RDONLY);
    if (fd < 0) {
        return ReadResult::CannotOpen;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            ::close(fd);
            content.clear();
            return ReadResult::Error;
        }
        if (n == 0) {
            break;
        }
        content.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return ReadResult::Ok;
}

bool PosixFileSystem::canOpenForReading(const std::string& path) {
    const int fd = OpenRetrying(path.c_str(), O_RDONLY);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    return true;
}

std::unique_ptr<RecordStream> PosixFileSystem::open(const std::string& path, OpenMode mode) {
    int flags = O_WRONLY | O_CREAT | O_APPEND;
    if (mode == OpenMode::CreateNew) {
        flags |= O_EXCL;
    } else if (mode == OpenMode::Truncate) {
        flags |= O_TRUNC;
    }
    const int fd = OpenRetrying(path.c_str(), flags, 0666);
    if (fd < 0) {
        return nullptr;
    }
    return std::make_unique<PosixRecordStream>(fd);
}

bool PosixFileSystem::remove(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool PosixFileSystem::rename(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool PosixFileSystem::syncDirectory(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    std::string folder;
    if (slash == std::string::npos) {
        folder = ".";
    } else if (slash == 0) {
        folder = "/";
    } else {
        folder = path.substr(0, slash);
    }
    const int fd = OpenRetrying(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) {
        return false;
    }
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}
