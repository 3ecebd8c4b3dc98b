#include "PosixFileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "PathName.h"
#include "PosixRecordStream.h"

namespace {

int OpenRetrying(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path, flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

bool IsRegularFile(int fd) {
    struct stat status;
    return ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
}

// Reads a regular file; O_NONBLOCK has no effect on those.
class FdByteSource : public ByteSource {
  public:
    explicit FdByteSource(int fd) : m_fd(fd) {}
    ~FdByteSource() override { ::close(m_fd); }
    FdByteSource(const FdByteSource&) = delete;
    FdByteSource& operator=(const FdByteSource&) = delete;

    long read(char* buffer, std::size_t size) override {
        ssize_t n;
        do {
            n = ::read(m_fd, buffer, size);
        } while (n < 0 && errno == EINTR);
        return static_cast<long>(n);
    }

  private:
    int m_fd;
};

}  // namespace

FileSystem::Opened PosixFileSystem::openForReading(const std::string& path) {
    // O_NONBLOCK: opening a FIFO would otherwise wait for a writer, before any window shows.
    const int fd = OpenRetrying(path.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) {
        const int error = errno;
        return {error == ENOENT ? Opened::Result::Missing : Opened::Result::Error, nullptr,
                std::strerror(error)};
    }
    if (!IsRegularFile(fd)) {
        ::close(fd);
        return {Opened::Result::NotRegular, nullptr, "not a regular file"};
    }
    return {Opened::Result::Ok, std::make_unique<FdByteSource>(fd), {}};
}

FileSystem::ReadResult PosixFileSystem::readFile(const std::string& path, std::string& content) {
    content.clear();
    Opened opened = openForReading(path);
    if (opened.result == Opened::Result::Missing || opened.result == Opened::Result::Error) {
        return ReadResult::CannotOpen;
    }
    if (opened.result == Opened::Result::NotRegular) {
        return ReadResult::Error;
    }
    char buffer[65536];
    for (;;) {
        const long n = opened.source->read(buffer, sizeof buffer);
        if (n < 0) {
            content.clear();
            return ReadResult::Error;
        }
        if (n == 0) {
            return ReadResult::Ok;
        }
        content.append(buffer, static_cast<std::size_t>(n));
    }
}

bool PosixFileSystem::canOpenForReading(const std::string& path) {
    const int fd = OpenRetrying(path.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    return true;
}

std::unique_ptr<RecordStream> PosixFileSystem::open(const std::string& path, OpenMode mode) {
    const int flags = O_WRONLY | O_CREAT | O_APPEND | (mode == OpenMode::CreateNew ? O_EXCL : 0);
    // O_NONBLOCK and the type check keep a FIFO or a device from taking the record.
    const int fd = OpenRetrying(path.c_str(), flags | O_NONBLOCK, 0666);
    if (fd < 0) {
        return nullptr;
    }
    if (!IsRegularFile(fd)) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<PosixRecordStream>(fd);
}

std::unique_ptr<RecordStream> PosixFileSystem::createLocked(const std::string& path) {
    // Every instance changes the path only while it holds the lock of the file there, checked
    // after locking to be the file the path names; so a file held by another is never touched.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (std::chrono::steady_clock::now() < deadline) {
        int fd = OpenRetrying(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND, 0600);
        const bool created = fd >= 0;
        if (!created) {
            if (errno != EEXIST) {
                return nullptr;
            }
            // A leftover, or another instance's: opened only to take its lock. A link or
            // anything but a regular file was not made by orvi and is left to the operator.
            fd = OpenRetrying(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
            if (fd < 0) {
                if (errno == ENOENT) {
                    continue;
                }
                return nullptr;
            }
            if (!IsRegularFile(fd)) {
                ::close(fd);
                return nullptr;
            }
        }
        auto stream = std::make_unique<PosixRecordStream>(fd);
        if (!stream->tryLock()) {
            // Held by another instance for the moment of its cancellation.
            stream.reset();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        if (!stream->isAt(path)) {
            continue;  // removed or replaced between the open and the lock
        }
        if (created) {
            return stream;
        }
        if (::unlink(path.c_str()) != 0) {
            return nullptr;
        }
    }
    return nullptr;
}

bool PosixFileSystem::remove(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool PosixFileSystem::rename(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

int PosixFileSystem::syncDirectory(const std::string& path) {
    const std::string folder = PathName::Folder(path);
    const int fd = OpenRetrying(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) {
        return errno;
    }
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

std::string PosixFileSystem::finalPath(const std::string& path) {
    struct stat status;
    if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
        return path;
    }
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        return path;
    }
    std::string target = resolved;
    std::free(resolved);
    return target;
}
