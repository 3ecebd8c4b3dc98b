#include "FailingFileSystem.h"

namespace {

using Path = const std::string&;

class FailingStream : public RecordStream {
  public:
    FailingStream(FailingFileSystem& files, std::unique_ptr<RecordStream> real)
        : m_files(files), m_real(std::move(real)) {}
    bool append(Path bytes) override { return m_files.next("append") && m_real->append(bytes); }
    bool write(std::string_view b) override { return m_files.next("write") && m_real->write(b); }
    bool sync() override { return m_files.next("sync") && m_real->sync(); }
    bool tryLock() override { return m_files.next("lock") && m_real->tryLock(); }
    bool isAt(Path p) override { return m_files.next("check") && m_real->isAt(p); }
    bool permissions(Permissions& out) override {
        return m_files.next("perm") && m_real->permissions(out);
    }
    bool setPermissions(const Permissions& p) override {
        return m_files.next("chmod") && m_real->setPermissions(p);
    }
    // Closes for real even when the call is to fail, as close(2) does.
    bool close() override {
        const bool closed = m_real->close();
        return m_files.next("close") && closed;
    }

  private:
    FailingFileSystem& m_files;
    std::unique_ptr<RecordStream> m_real;
};

}  // namespace

bool FailingFileSystem::next(Path what) {
    log.push_back(what);
    return static_cast<int>(log.size()) - 1 != failAt;
}

std::unique_ptr<RecordStream> FailingFileSystem::wrap(std::unique_ptr<RecordStream> real) {
    return real ? std::make_unique<FailingStream>(*this, std::move(real)) : nullptr;
}

FileSystem::Opened FailingFileSystem::openForReading(Path p) {
    return next("read") ? PosixFileSystem::openForReading(p)
                        : Opened{Opened::Result::Error, {}, "EIO"};
}

bool FailingFileSystem::canOpenForReading(Path p) {
    return next("probe") && PosixFileSystem::canOpenForReading(p);
}

std::unique_ptr<RecordStream> FailingFileSystem::open(Path p, OpenMode mode) {
    return next("open:" + p) ? wrap(PosixFileSystem::open(p, mode)) : nullptr;
}

std::unique_ptr<RecordStream> FailingFileSystem::createLocked(Path p) {
    return next("create:" + p) ? wrap(PosixFileSystem::createLocked(p)) : nullptr;
}

bool FailingFileSystem::remove(Path p) { return next("remove:" + p) && PosixFileSystem::remove(p); }

bool FailingFileSystem::rename(Path from, Path to) {
    return next("rename") && PosixFileSystem::rename(from, to);
}

int FailingFileSystem::syncDirectory(Path p) {
    return next("syncdir") ? PosixFileSystem::syncDirectory(p) : syncError;
}
