#include "OutputFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "PathName.h"

namespace fs = std::filesystem;

namespace {

std::string SystemError(const char* what, int error = errno) {
    return std::string(what) + " (" + std::strerror(error) + ")";
}

bool SyncFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL;  // some file systems cannot
    const int error = errno;
    ::close(fd);
    errno = error;
    return synced;
}

// What a new file's permissions would be: 0666 less the umask.
mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// A new empty file beside `target` with the given permissions; empty, with errno set, when it
// could not be made.
std::string MakeTemporary(const std::string& target, mode_t mode) {
    const std::size_t nameStart = PathName::FileNameStart(target);
    std::string temporary =
        target.substr(0, nameStart) + "." + target.substr(nameStart) + ".XXXXXX";
    const int fd = ::mkstemp(&temporary[0]);
    if (fd < 0) {
        return std::string();
    }
    const bool modeSet = ::fchmod(fd, mode) == 0;
    const int error = errno;
    ::close(fd);
    if (!modeSet) {
        ::unlink(temporary.c_str());
        errno = error;
        return std::string();
    }
    return temporary;
}

}  // namespace

OutputFiles::OutputFiles(const std::vector<std::string>& inputs, FileSystem& files)
    : m_files(files) {
    for (const std::string& path : inputs) {
        m_inputs.push_back(Identify(path));
    }
}

OutputFiles::Input OutputFiles::Identify(const std::string& path) {
    Input input{path, {}, false, 0, 0};
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        input.exists = true;
        input.device = info.st_dev;
        input.inode = info.st_ino;
    }
    std::error_code error;
    fs::path resolved = fs::weakly_canonical(fs::absolute(path, error), error);
    if (error) {
        resolved = fs::absolute(path, error).lexically_normal();
    }
    input.resolved = resolved.string();
    return input;
}

std::string OutputFiles::Clash(const std::string& path) const {
    const Input output = Identify(path);
    for (const Input& input : m_inputs) {
        const bool sameFile = output.exists && input.exists && output.device == input.device &&
                              output.inode == input.inode;
        if (sameFile || output.resolved == input.resolved) {
            return "output " + path + " would overwrite the input file " + input.path +
                   (sameFile && output.resolved != input.resolved ? " (a link to the same file)"
                                                                  : "");
        }
    }
    return std::string();
}

std::string OutputFiles::Clash(const std::vector<std::string>& paths) const {
    for (const std::string& path : paths) {
        std::string clash = Clash(path);
        if (!clash.empty()) {
            return clash;
        }
    }
    return std::string();
}

bool OutputFiles::WriteText(const std::string& path, const std::string& text,
                            std::string& error) const {
    return Write(
        path,
        [&text](const std::string& temporary, std::string& writeError) {
            std::FILE* file = std::fopen(temporary.c_str(), "wb");
            if (file == nullptr) {
                writeError = SystemError("cannot write");
                return false;
            }
            errno = 0;
            const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size() &&
                                 std::fflush(file) == 0;
            const int reason = errno;
            const bool closed = std::fclose(file) == 0;
            if (!written || !closed) {
                errno = written ? errno : reason;
                writeError = SystemError("cannot write");
                return false;
            }
            return true;
        },
        error);
}

bool OutputFiles::Write(const std::string& path, const Writer& writer, std::string& error) const {
    // The check that no input is overwritten is made before anything is written; here it only
    // guards outputs that were not checked.
    const std::string clash = Clash(path);
    if (!clash.empty()) {
        error = clash;
        return false;
    }
    // A symbolic link stays a link: its target is replaced.
    const std::string target = m_files.finalPath(path);
    struct stat info {};
    if (::stat(target.c_str(), &info) != 0) {
        return Replace(target, NewFileMode(), writer, error);
    }
    if (S_ISDIR(info.st_mode)) {
        error = "is a folder";
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        // A device or a FIFO (/dev/stdout, say) cannot be replaced, only written to.
        return writer(target, error);
    }
    return Replace(target, info.st_mode & 07777, writer, error);
}

bool OutputFiles::Replace(const std::string& target, mode_t mode, const Writer& writer,
                          std::string& error) const {
    const std::string temporary = MakeTemporary(target, mode);
    if (temporary.empty()) {
        error = SystemError("cannot write");
        return false;
    }
    if (!writer(temporary, error)) {
        ::unlink(temporary.c_str());
        return false;
    }
    if (!SyncFile(temporary) || !m_files.rename(temporary, target)) {
        error = SystemError("cannot write");
        ::unlink(temporary.c_str());
        return false;
    }
    // EINVAL: the file system does not sync folders at all.
    const int syncError = m_files.syncDirectory(target);
    if (syncError != 0 && syncError != EINVAL) {
        error = SystemError("written, but the folder could not be synced", syncError);
        return false;
    }
    return true;
}

std::vector<std::string> OutputFiles::Distinct(
    const std::vector<std::string>& inputs,
    std::vector<std::pair<std::string, std::string>>& repeated) {
    std::vector<Input> kept;
    std::vector<std::string> distinct;
    for (const std::string& path : inputs) {
        const Input input = Identify(path);
        bool seen = false;
        for (const Input& earlier : kept) {
            if ((input.exists && earlier.exists && input.device == earlier.device &&
                 input.inode == earlier.inode) ||
                input.resolved == earlier.resolved) {
                repeated.emplace_back(path, earlier.path);
                seen = true;
                break;
            }
        }
        if (!seen) {
            kept.push_back(input);
            distinct.push_back(path);
        }
    }
    return distinct;
}
