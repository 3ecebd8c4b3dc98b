#include "TestFiles.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    if (!(std::ofstream(path, std::ios::binary) << bytes)) throw std::runtime_error(path);
}

std::string DataPath(const std::string& name) { return std::string(ORVI_TEST_DATA) + "/" + name; }

std::string DataFile(const std::string& name) {
    if (!std::ifstream(DataPath(name))) throw std::runtime_error("no test data " + name);
    return ReadBytes(DataPath(name));
}
