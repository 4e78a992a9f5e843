// The file operations that differ between systems, for POSIX systems.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

#include "records/files.h"

namespace files {

namespace {

constexpr mode_t kOwnerOnly = 0600;
constexpr mode_t kOwnerOnlyFolder = 0700;

// Closes a descriptor without losing the errno of the failure before it.
void closeQuietly(int fd) {
    const int saved = errno;
    close(fd);
    errno = saved;
}

// What is wrong with the file `status` describes, to be read or replaced, or an empty text.
std::string notRegular(const struct stat& status, std::size_t most) {
    if (S_ISLNK(status.st_mode)) {
        return "a symbolic link, which Kessandor does not follow";
    }
    if (!S_ISREG(status.st_mode)) {
        return "not a regular file";
    }
    if (static_cast<std::uintmax_t>(status.st_size) > most) {
        return std::string("larger than ").append(std::to_string(most)) += " bytes";
    }
    return {};
}

}  // namespace

// Every open here refuses to follow a symbolic link at the end of the path, and fails with
// ELOOP when it meets one.
std::string lastError() {
    return errno == ELOOP ? "a symbolic link, which Kessandor does not follow"
                          : std::generic_category().message(errno);
}

std::string defaultFolder(std::string_view underHome, std::string& problem) {
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
        problem = "HOME is not set, so there is no home folder";
        return {};
    }
    if (*home != '/') {
        problem = std::string("HOME is not an absolute path (").append(home) +=
            "), so there is no home folder";
        return {};
    }
    return std::string(home).append("/").append(underHome);
}

std::string makeFolder(const std::string& folder) {
    return mkdir(folder.c_str(), kOwnerOnlyFolder) == 0 || errno == EEXIST ? std::string()
                                                                           : lastError();
}

// O_NONBLOCK: opening a fifo must not wait for a writer.
std::FILE* openRegular(const std::string& path, std::size_t most, std::string& problem) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        problem = errno == ENOENT ? std::string() : lastError();
        return nullptr;
    }
    struct stat status {};
    problem = fstat(fd, &status) == 0 ? notRegular(status, most) : lastError();
    std::FILE* file = problem.empty() ? fdopen(fd, "rb") : nullptr;
    if (file == nullptr) {
        problem = problem.empty() ? lastError() : problem;
        closeQuietly(fd);
    }
    return file;
}

std::FILE* createTemporary(const std::string& temporary, const std::string& target,
                           std::string& problem) {
    struct stat status {};
    mode_t mode = kOwnerOnly;
    if (lstat(target.c_str(), &status) == 0) {
        problem = notRegular(status, static_cast<std::size_t>(-1));
        if (!problem.empty()) {
            return nullptr;
        }
        mode = status.st_mode & 07777U;
    } else if (errno != ENOENT) {
        problem = lastError();
        return nullptr;
    }
    const int fd =
        open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kOwnerOnly);
    if (fd < 0) {
        problem = lastError();
        return nullptr;
    }
    std::FILE* file = fchmod(fd, mode) == 0 ? fdopen(fd, "wb") : nullptr;
    if (file == nullptr) {
        problem = lastError();
        closeQuietly(fd);
        unlink(temporary.c_str());
    }
    return file;
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

void randomBytes(unsigned char* bytes, std::size_t count) {
    if (getentropy(bytes, count) != 0) {
        std::abort();  // only for more than 256 bytes, or with no random source at all
    }
}

int openLockFile(const std::string& path, bool onlyNew) {
    return open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (onlyNew ? O_EXCL : 0),
                kOwnerOnly);
}

int tryLock(int fd) {
    for (;;) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            return 1;
        }
        if (errno == EWOULDBLOCK) {
            return 0;
        }
        if (errno != EINTR) {
            return -1;
        }
    }
}

void closeLockFile(int fd) {
    close(fd);
}

// Unlinked while still locked: a copy that opened it meanwhile finds it locked, or its save
// gone once it has the lock.
std::string removeLockFile(int& /*fd*/, const std::string& path) {
    return unlink(path.c_str()) == 0 || errno == ENOENT ? std::string() : lastError();
}

bool inputIsTerminal() {
    return isatty(STDIN_FILENO) == 1;
}

}  // namespace files
