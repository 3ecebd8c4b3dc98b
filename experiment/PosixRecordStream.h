#pragma once

#include <sys/types.h>

#include "RecordStream.h"

// RecordStream on a POSIX file descriptor opened with O_APPEND, without a user-space buffer.
class PosixRecordStream : public RecordStream {
  public:
    explicit PosixRecordStream(int fd);
    ~PosixRecordStream() override;
    PosixRecordStream(const PosixRecordStream&) = delete;
    PosixRecordStream& operator=(const PosixRecordStream&) = delete;

    bool append(const std::string& bytes) override;
    bool write(std::string_view bytes) override;
    bool sync() override;
    bool tryLock() override;
    bool isAt(const std::string& path) override;
    bool permissions(Permissions& out) override;
    bool setPermissions(const Permissions& permissions) override;
    bool close() override;

  private:
    void CutBack(off_t size);

    int m_fd;
};
