// One table's game: the kessandor program on a pseudo-terminal of its own, 80 x 24, with the
// table descriptor beside it. Owns the child process and the two descriptors the server keeps
// (the terminal's master side and the server's end of the table descriptor).
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace server {

struct GameLaunch {
    std::filesystem::path program;  // the game, fixed when the server starts
    std::vector<std::string> args;  // after the program's name
    std::filesystem::path folder;   // the table's own folder: home, saves
};

class GameProcess {
public:
    // Starts the game. Throws std::system_error when it cannot be started. The child gets a
    // new session with the terminal as its controlling terminal, the table descriptor as
    // descriptor 3 and an environment of its own (no variable of the server's passes), and
    // dies with the server.
    explicit GameProcess(const GameLaunch& launch);
    ~GameProcess();  // closes both descriptors; kills the child if it still runs
    GameProcess(const GameProcess&) = delete;
    GameProcess& operator=(const GameProcess&) = delete;

    pid_t pid() const { return pid_; }
    // The descriptors, for the event loop to take over with release*: afterwards this object
    // no longer closes them.
    int releaseTerminal();
    int releaseControl();
    // Marks the child as reaped (its status collected elsewhere), so the destructor leaves it.
    void reaped() { pid_ = -1; }

    static constexpr unsigned short kColumns = 80;
    static constexpr unsigned short kRows = 24;
    // The table descriptor's number in the game.
    static constexpr int kControlFd = 3;

private:
    pid_t pid_ = -1;
    int terminal_ = -1;
    int control_ = -1;
};

}  // namespace server
