#pragma once

#include <cstddef>
#include <string>

// Paths are split at their last '/' only; no normalisation, so a path keeps the spelling the
// operator gave it in every message.
namespace PathName {

// Where the final component begins: 0 for a bare name.
std::size_t FileNameStart(const std::string& path);

// The final component: "a/b.txt" -> "b.txt", "b.txt" -> "b.txt".
std::string FileName(const std::string& path);

// The folder that holds the final component: "a/b" -> "a", "/b" -> "/", "b" -> ".".
std::string Folder(const std::string& path);

}  // namespace PathName
