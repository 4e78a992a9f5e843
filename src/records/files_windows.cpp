// The file operations that differ between systems, for Windows.
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdlib>
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

Lock::Lock(const std::string& path)
    : fd_(_open(path.c_str(), _O_RDWR | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE)) {
    if (fd_ < 0) {
        problem_ = lastError();
        return;
    }
    OVERLAPPED whole{};
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd_));
    if (!LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &whole)) {
        problem_ = std::system_category().message(static_cast<int>(GetLastError()));
    }
}

Lock::~Lock() {
    if (fd_ >= 0) {
        _close(fd_);  // releases the lock
    }
}

bool inputIsTerminal() {
    return _isatty(_fileno(stdin)) != 0;
}

std::int64_t processId() {
    return _getpid();
}

}  // namespace files
