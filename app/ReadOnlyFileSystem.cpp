#include "ReadOnlyFileSystem.h"

std::unique_ptr<RecordStream> ReadOnlyFileSystem::open(const std::string&, OpenMode) {
    return nullptr;
}

std::unique_ptr<RecordStream> ReadOnlyFileSystem::createLocked(const std::string&) {
    return nullptr;
}

bool ReadOnlyFileSystem::remove(const std::string&) { return false; }

bool ReadOnlyFileSystem::rename(const std::string&, const std::string&) { return false; }
