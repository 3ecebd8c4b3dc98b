#pragma once

#include "FileSystem.h"

// Reads through another FileSystem and refuses every write, so that the self-check can run the
// experiment's own settings reader without creating the settings file.
class ReadOnlyFileSystem : public FileSystem {
  public:
    explicit ReadOnlyFileSystem(FileSystem& files) : m_files(files) {}

    Opened openForReading(const std::string& path) override;
    ReadResult readFile(const std::string& path, std::string& content) override;
    bool canOpenForReading(const std::string& path) override;
    std::unique_ptr<RecordStream> open(const std::string& path, OpenMode mode) override;
    bool remove(const std::string& path) override;
    bool rename(const std::string& from, const std::string& to) override;
    bool syncDirectory(const std::string& path) override;

  private:
    FileSystem& m_files;
};
