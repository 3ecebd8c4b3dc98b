#pragma once

#include <string>

// A fresh folder, removed with its content. Another parent than /tmp, such as /dev/shm, keeps
// large files off the disk.
class TempDir {
  public:
    explicit TempDir(const std::string& parent = "/tmp");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string operator/(const std::string& name) const { return path + "/" + name; }
    // Removes what the folder holds, keeping the folder.
    void empty() const;

    std::string path;
};
