#pragma once

#include <string>

// Whole files as bytes; a file that cannot be read reads as empty.
std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
// A file of tests/data.
std::string DataPath(const std::string& name);
std::string DataFile(const std::string& name);
