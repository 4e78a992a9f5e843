// The few file operations the records need, done with the care a program owes its players'
// files: a file is replaced in one step, never rewritten in place; a temporary file is created
// afresh under a name nobody can guess, never opened through a symbolic link; what is read must
// be a regular file of a size the caller bounds; new folders and files are their owner's
// alone. Each operation that can fail returns what went wrong as the system's short reason
// ("Permission denied"), or an empty text. The parts that differ between systems live in
// files_posix.cpp and files_windows.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace files {

// This user's folder for `kind` of files, with "/kessandor" added: the XDG variable `xdg` when
// it names an absolute folder, else `underHome` below the home folder (on Windows, below the
// local application data). Empty, with `problem` set, when there is no home.
std::string userFolder(const char* xdg, std::string_view underHome, std::string& problem);

// Creates `folder` and every missing parent, each new one open to its owner alone.
std::string makeFolders(const std::string& folder);

// The whole of `path`, a regular file of at most `most` bytes; nullopt with `problem` empty
// when there is no such file. Anything else (a symbolic link, a fifo, a device, a larger
// file) is refused without reading it, with `problem` saying so.
std::optional<std::string> read(const std::string& path, std::size_t most, std::string& problem);

// Makes `path` hold `content` in one step: writes it to a new temporary file beside it (see
// temporaryFor) and renames that over `path`, so a program killed at any moment leaves `path`
// the old file or the new one. The new file keeps the old one's permissions, or is its owner's
// alone. A `path` that is a symbolic link or not a regular file is left alone and refused.
// With `durable`, the data is flushed to disk before the rename and the folder's entry after
// it, so a power cut does too; without, see renameOver.
std::string replace(const std::string& path, std::string_view content, bool durable);

// "<path>.<random>.tmp": the name of a temporary file replace() writes for `path`.
std::string temporaryFor(const std::string& path);
// Removes the temporary files a program killed in replace() left for `path`, this version's
// and the "<path>.tmp" of earlier ones. REQUIRES: nobody else writes `path` meanwhile.
std::string removeTemporaries(const std::string& path);

// Removes `path`; a file already gone is no failure.
std::string remove(const std::string& path);

// The paths of the files in `folder` whose names start with `prefix` and end in `suffix`,
// sorted; none when the folder does not exist, and `problem` set when it cannot be listed.
std::vector<std::string> list(const std::string& folder, std::string_view prefix,
                              std::string_view suffix, std::string& problem);

// `paths` ordered by the time each was last written, the oldest first; equal times, and files
// that have gone, in name order.
std::vector<std::string> byAge(std::vector<std::string> paths);

// 16 hex digits from the system's source of random bytes.
std::string randomName();

// An exclusive lock on the lock file `path`, held from construction to destruction (or until
// the process ends, however it ends).
class Lock {
public:
    enum class Create { ifMissing, onlyNew };
    // Waits at most `waitMs` milliseconds while another process holds it (0: tries once).
    // With Create::onlyNew, a lock file that exists already is not taken.
    Lock(const std::string& path, std::int32_t waitMs, Create create = Create::ifMissing);
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    bool held() const { return fd_ >= 0 && problem_.empty(); }
    // Whether another process held it for the whole wait.
    bool busy() const { return busy_; }
    // What kept the lock from being taken; empty while it is held.
    const std::string& problem() const { return problem_; }
    // Removes the lock file while it is still held, so that none is left behind.
    std::string removeFile();

private:
    std::string path_;
    int fd_ = -1;
    bool busy_ = false;
    std::string problem_;
};

bool inputIsTerminal();

// --- Used by files.cpp, defined per system ---
// `underHome` below the home folder (on Windows, the local application data).
std::string defaultFolder(std::string_view underHome, std::string& problem);
// The reason for the last failed system call.
std::string lastError();
// Creates the one folder `folder`, its owner's alone; one that exists already is no failure.
std::string makeFolder(const std::string& folder);
// Opens `path` for reading when it is a regular file of at most `most` bytes.
std::FILE* openRegular(const std::string& path, std::size_t most, std::string& problem);
// Creates `temporary`, which must not exist, for writing, with the permissions of `target`
// when that exists. Refuses a `target` that is a symbolic link or not a regular file.
std::FILE* createTemporary(const std::string& temporary, const std::string& target,
                           std::string& problem);
std::string syncFile(std::FILE* file);
std::string syncFolder(const std::string& folder);
// Renames `from` over `to`, replacing it in one step; with `durable`, on disk when it returns
// where the system can tell (the folder is flushed by syncFolder).
std::string renameOver(const std::string& from, const std::string& to, bool durable);
void randomBytes(unsigned char* bytes, std::size_t count);
// The lock file's descriptor, or -1 with errno set.
int openLockFile(const std::string& path, bool onlyNew);
// 1 when the lock is taken, 0 when another process holds it, -1 with errno set on failure.
int tryLock(int fd);
void closeLockFile(int fd);
// Removes the lock file `path` that `fd` holds locked. Where an open file cannot be removed
// (Windows), it is closed first and `fd` becomes -1.
std::string removeLockFile(int& fd, const std::string& path);

}  // namespace files
