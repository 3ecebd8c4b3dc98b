#include "PathName.h"

namespace PathName {

std::size_t FileNameStart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

std::string FileName(const std::string& path) { return path.substr(FileNameStart(path)); }

std::string Folder(const std::string& path) {
    const std::size_t start = FileNameStart(path);
    if (start == 0) {
        return ".";
    }
    return start == 1 ? "/" : path.substr(0, start - 1);
}

}  // namespace PathName
