// The file operations that differ between systems, for Windows.
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include "records/files.h"

namespace files {

std::string lastError() {
    return std::generic_category().message(errno);
}

std::string defaultFolder(std::string_view /*underHome*/, std::string& problem) {
    const char* local = std::getenv("LOCALAPPDATA");
    if (local == nullptr || *local == '\0') {
        problem = "LOCALAPPDATA is not set, so there is no home folder";
        return {};
    }
    return local;
}

std::string syncFile(std::FILE* file) {
    return _commit(_fileno(file)) == 0 ? std::string() : lastError();
}

std::string syncFolder(const std::string& /*folder*/) {
    return {};  // MoveFileEx with MOVEFILE_WRITE_THROUGH has written the entry already
}

std::string renameOver(const std::string& from, const std::string& to, bool durable) {
    const DWORD flags = MOVEFILE_REPLACE_EXISTING | (durable ? MOVEFILE_WRITE_THROUGH : 0);
    if (MoveFileExA(from.c_str(), to.c_str(), flags)) {
        return {};
    }
    return std::system_category().message(static_cast<int>(GetLastError()));
}

int openLockFile(const std::string& path, bool onlyNew) {
    return _open(path.c_str(), _O_RDWR | _O_CREAT | _O_BINARY | (onlyNew ? _O_EXCL : 0),
                 _S_IREAD | _S_IWRITE);
}

int tryLock(int fd) {
    OVERLAPPED whole{};
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole)) {
        return 1;
    }
    if (GetLastError() == ERROR_LOCK_VIOLATION) {
        return 0;
    }
    errno = EIO;
    return -1;
}

void closeLockFile(int fd) {
    _close(fd);  // releases the lock
}

std::string removeLockFile(int& fd, const std::string& path) {
    _close(fd);  // an open file cannot be removed here
    fd = -1;
    return std::remove(path.c_str()) == 0 || errno == ENOENT ? std::string() : lastError();
}

std::string makeFolder(const std::string& folder) {
    return _mkdir(folder.c_str()) == 0 || errno == EEXIST ? std::string() : lastError();
}

std::FILE* openRegular(const std::string& path, std::size_t most, std::string& problem) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::symlink_status(path, error);
    if (error || !std::filesystem::exists(status)) {
        problem = error && error != std::errc::no_such_file_or_directory ? error.message() : "";
        return nullptr;
    }
    if (std::filesystem::is_symlink(status)) {
        problem = "a symbolic link, which Kessandor does not follow";
    } else if (!std::filesystem::is_regular_file(status)) {
        problem = "not a regular file";
    } else if (std::filesystem::file_size(path, error) > most) {
        problem = std::string("larger than ").append(std::to_string(most)) += " bytes";
    }
    std::FILE* file = problem.empty() ? std::fopen(path.c_str(), "rb") : nullptr;
    if (file == nullptr && problem.empty()) {
        problem = lastError();
    }
    return file;
}

std::FILE* createTemporary(const std::string& temporary, const std::string& target,
                           std::string& problem) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::symlink_status(target, error);
    if (std::filesystem::is_symlink(status)) {
        problem = "a symbolic link, which Kessandor does not follow";
        return nullptr;
    }
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        problem = "not a regular file";
        return nullptr;
    }
    const int fd =
        _open(temporary.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    std::FILE* file = fd >= 0 ? _fdopen(fd, "wb") : nullptr;
    if (file == nullptr) {
        problem = lastError();
        if (fd >= 0) {
            _close(fd);
        }
    }
    return file;
}

void randomBytes(unsigned char* bytes, std::size_t count) {
    std::random_device source;  // rand_s, the system's generator, with mingw-w64
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<unsigned char>(source());
    }
}

bool inputIsTerminal() {
    return _isatty(_fileno(stdin)) != 0;
}

}  // namespace files
