#include "TempDir.h"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>

TempDir::TempDir(const std::string& parent) : path(parent + "/orvi-test-XXXXXX") {
    if (!mkdtemp(path.data())) throw std::runtime_error("cannot make " + path);
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

void TempDir::empty() const {
    for (const auto& entry : std::filesystem::directory_iterator(path))
        std::filesystem::remove_all(entry.path());
}
