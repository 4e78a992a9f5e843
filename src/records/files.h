// The few file operations the records need, done with the care a program owes its players'
// files: a file is replaced in one step, never rewritten in place. Each operation that can fail
// returns what went wrong as the system's short reason ("Permission denied"), or an empty text.
// The parts that differ between systems live in files_posix.cpp and files_windows.cpp.
#pragma once

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

// Creates `folder` and every missing parent.
std::string makeFolders(const std::string& folder);

// The whole of `path`; nullopt with `problem` empty when there is no such file.
std::optional<std::string> read(const std::string& path, std::string& problem);

// Makes `path` hold `content` in one step: writes it to `temporary`, in the same folder, and
// renames that over `path`, so a program killed at any moment leaves `path` the old file or the
// new one. With `durable`, the data is flushed to disk before the rename and the folder's entry
// after it, so a power cut does too; without, see renameOver.
std::string replace(const std::string& path, const std::string& temporary, std::string_view content,
                    bool durable);

// Removes `path`; a file already gone is no failure.
std::string remove(const std::string& path);

// The paths of the files in `folder` whose names end in `suffix`, sorted; none when the folder
// does not exist.
std::vector<std::string> list(const std::string& folder, std::string_view suffix);

// An exclusive lock on the lock file `path` (created when missing), held from construction to
// destruction. Construction waits while another process holds it.
class Lock {
public:
    explicit Lock(const std::string& path);
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    // What kept the lock from being taken; empty while it is held.
    const std::string& problem() const { return problem_; }

private:
    int fd_ = -1;
    std::string problem_;
};

bool inputIsTerminal();
std::int64_t processId();

// --- Used by files.cpp, defined per system ---
// `underHome` below the home folder (on Windows, the local application data).
std::string defaultFolder(std::string_view underHome, std::string& problem);
// The reason for the last failed system call.
std::string lastError();
std::string syncFile(std::FILE* file);
std::string syncFolder(const std::string& folder);
// Renames `from` over `to`, replacing it in one step; with `durable`, on disk when it returns
// where the system can tell (the folder is flushed by syncFolder).
std::string renameOver(const std::string& from, const std::string& to, bool durable);

}  // namespace files
