#pragma once

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "PosixFileSystem.h"

// Real files, every operation logged ("read", "open:<path>", "append", "perm", "close", ...) and
// the one at index failAt made to fail as its system call would; a failed folder sync reports
// syncError.
class FailingFileSystem : public PosixFileSystem {
  public:
    int failAt = -1;
    int syncError = EIO;
    std::vector<std::string> log;

    // Logs the operation; false when it is the one to fail.
    bool next(const std::string& what);

    Opened openForReading(const std::string& path) override;
    bool canOpenForReading(const std::string& path) override;
    std::unique_ptr<RecordStream> open(const std::string& path, OpenMode mode) override;
    std::unique_ptr<RecordStream> createLocked(const std::string& path) override;
    bool remove(const std::string& path) override;
    bool rename(const std::string& from, const std::string& to) override;
    int syncDirectory(const std::string& path) override;

  private:
    std::unique_ptr<RecordStream> wrap(std::unique_ptr<RecordStream> real);
};
