#include "server/game_process.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <csignal>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace server {

namespace {

[[noreturn]] void fail(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

int openMaster() {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        const int saved = errno;
        if (master >= 0) {
            close(master);
        }
        errno = saved;
        fail("cannot open a pseudo-terminal");
    }
    return master;
}

// The whole environment of the game: nothing of the server's passes.
std::vector<std::string> environmentFor(const GameLaunch& launch) {
    const std::string folder = launch.folder.string();
    return {"HOME=" + folder,      "XDG_STATE_HOME=" + folder, "XDG_DATA_HOME=" + folder + "/data",
            "TERM=xterm-256color", "PATH=/usr/bin:/bin",       "LC_ALL=C.UTF-8",
            "KESSANDOR_SAVE=1"};
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> list(texts.size() + 1, nullptr);  // ended by a null, as exec wants
    std::transform(texts.begin(), texts.end(), list.begin(),
                   [](std::string& text) { return text.data(); });
    return list;
}

// In the child, between fork and exec: only async-signal-safe calls. Never returns.
[[noreturn]] void becomeGame(const char* slaveName, int control, const char* folder,
                             char* const* argv, char* const* envp) {
#ifdef __linux__
    prctl(PR_SET_PDEATHSIG, SIGKILL);  // a game never outlives its server
#endif
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int signal = 1; signal < NSIG; ++signal) {
        ::signal(signal, SIG_DFL);  // the server's ignored SIGPIPE must not reach the game
    }
    setsid();
    const int slave = open(slaveName, O_RDWR);  // the first terminal opened: controlling
    if (slave < 0) {
        _exit(127);
    }
#ifdef TIOCSCTTY
    ioctl(slave, TIOCSCTTY, 0);
#endif
    const winsize size{GameProcess::kRows, GameProcess::kColumns, 0, 0};
    ioctl(slave, TIOCSWINSZ, &size);
    if (dup2(slave, 0) < 0 || dup2(slave, 1) < 0 || dup2(slave, 2) < 0) {
        _exit(127);
    }
    // dup2 onto itself would keep close-on-exec: clear it by hand then.
    const int placed = control == GameProcess::kControlFd ? fcntl(control, F_SETFD, 0)
                                                          : dup2(control, GameProcess::kControlFd);
    if (placed < 0) {
        _exit(127);
    }
    // Every other descriptor is the server's: none may reach the game.
    for (int fd = GameProcess::kControlFd + 1; fd < 65536; ++fd) {
        close(fd);
    }
    if (chdir(folder) != 0) {
        _exit(127);
    }
    execve(argv[0], argv, envp);
    _exit(127);
}

}  // namespace

GameProcess::GameProcess(const GameLaunch& launch) {
    terminal_ = openMaster();
    std::string slaveName = ptsname(terminal_);  // before fork: ptsname is not signal-safe
    int pair[2] = {-1, -1};
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        close(terminal_);
        fail("cannot open the table descriptor");
    }
    // The game's end must survive exec: dup2 in the child clears close-on-exec on the copy.
    std::vector<std::string> argv{launch.program.string()};
    argv.insert(argv.end(), launch.args.begin(), launch.args.end());
    std::vector<std::string> envp = environmentFor(launch);
    const std::vector<char*> argvList = pointers(argv);
    const std::vector<char*> envpList = pointers(envp);
    const std::string folder = launch.folder.string();
    pid_ = fork();
    if (pid_ < 0) {
        close(pair[0]);
        close(pair[1]);
        close(terminal_);
        fail("cannot start the game");
    }
    if (pid_ == 0) {
        becomeGame(slaveName.c_str(), pair[1], folder.c_str(), argvList.data(), envpList.data());
    }
    close(pair[1]);
    control_ = pair[0];
}

GameProcess::~GameProcess() {
    if (terminal_ >= 0) {
        close(terminal_);
    }
    if (control_ >= 0) {
        close(control_);
    }
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

int GameProcess::releaseTerminal() {
    const int fd = terminal_;
    terminal_ = -1;
    return fd;
}

int GameProcess::releaseControl() {
    const int fd = control_;
    control_ = -1;
    return fd;
}

}  // namespace server
