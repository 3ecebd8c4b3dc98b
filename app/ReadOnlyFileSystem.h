#pragma once

#include "PosixFileSystem.h"

// The system's files with every change refused, so that the self-check can run the
// experiment's own settings reader without creating the settings file.
class ReadOnlyFileSystem : public PosixFileSystem {
  public:
    std::unique_ptr<RecordStream> open(const std::string& path, OpenMode mode) override;
    std::unique_ptr<RecordStream> createLocked(const std::string& path) override;
    bool remove(const std::string& path) override;
    bool rename(const std::string& from, const std::string& to) override;
};
