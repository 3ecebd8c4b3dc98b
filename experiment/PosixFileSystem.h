#pragma once

#include "FileSystem.h"

// FileSystem on the POSIX calls of the running system.
class PosixFileSystem : public FileSystem {
  public:
    Opened openForReading(const std::string& path) override;
    ReadResult readFile(const std::string& path, std::string& content) override;
    bool canOpenForReading(const std::string& path) override;
    std::unique_ptr<RecordStream> open(const std::string& path, OpenMode mode) override;
    std::unique_ptr<RecordStream> createLocked(const std::string& path) override;
    bool remove(const std::string& path) override;
    bool rename(const std::string& from, const std::string& to) override;
    int syncDirectory(const std::string& path) override;
    std::string finalPath(const std::string& path) override;
};
