#include "ReadOnlyFileSystem.h"

FileSystem::Opened ReadOnlyFileSystem::openForReading(const std::string& path) {
    return m_files.openForReading(path);
}

FileSystem::ReadResult ReadOnlyFileSystem::readFile(const std::string& path, std::string& content) {
    return m_files.readFile(path, content);
}

bool ReadOnlyFileSystem::canOpenForReading(const std::string& path) {
    return m_files.canOpenForReading(path);
}

std::unique_ptr<RecordStream> ReadOnlyFileSystem::open(const std::string&, OpenMode) {
    return nullptr;
}

bool ReadOnlyFileSystem::remove(const std::string&) { return false; }

bool ReadOnlyFileSystem::rename(const std::string&, const std::string&) { return false; }

bool ReadOnlyFileSystem::syncDirectory(const std::string&) { return false; }
