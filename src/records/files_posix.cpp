// The file operations that differ between systems, for POSIX systems.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

#include "records/files.h"

namespace files {

namespace {

// Closes a descriptor without losing the errno of the failure before it.
void closeQuietly(int fd) {
    const int saved = errno;
    close(fd);
    errno = saved;
}

}  // namespace

std::string lastError() {
    return std::generic_category().message(errno);
}

std::string defaultFolder(std::string_view underHome, std::string& problem) {
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home != '/') {
        problem = "HOME is not set, so there is no home folder";
        return {};
    }
    return std::string(home).append("/").append(underHome);
}

std::string syncFile(std::FILE* file) {
    return fsync(fileno(file)) == 0 ? std::string() : lastError();
}

std::string syncFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || fsync(fd) != 0) {
        std::string problem = lastError();
        if (fd >= 0) {
            closeQuietly(fd);
        }
        return problem;
    }
    close(fd);
    return {};
}

// A rename over an existing file is what lets an unforced save survive a power cut: ext4 with
// its default options (data=ordered, auto_da_alloc) writes the new file's data out before it
// commits such a rename, so the old file or the new one is found there. A rename onto a new
// name gets no such care, nor does any rename on other file systems: only replace()'s fsync
// (`durable`) keeps those from leaving an empty file.
std::string renameOver(const std::string& from, const std::string& to, bool /*durable*/) {
    return std::rename(from.c_str(), to.c_str()) == 0 ? std::string() : lastError();
}

Lock::Lock(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
    int locked = -1;
    if (fd_ >= 0) {
        do {
            locked = flock(fd_, LOCK_EX);
        } while (locked != 0 && errno == EINTR);
    }
    if (locked != 0) {
        problem_ = lastError();
    }
}

Lock::~Lock() {
    if (fd_ >= 0) {
        close(fd_);  // releases the lock
    }
}

bool inputIsTerminal() {
    return isatty(STDIN_FILENO) == 1;
}

std::int64_t processId() {
    return getpid();
}

}  // namespace files
