// Runs the real game binary and talks to it as a player at a terminal would: read the screen
// until a text shows (with a deadline), then type. A small robot plays on from there.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#if defined(__APPLE__)
#include <util.h>
#else
#include <pty.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace e2e {

using Clock = std::chrono::steady_clock;
inline constexpr auto npos = std::string::npos;
inline const std::string kClear = "\x1b[H\x1b[2J\x1b[3J";  // clears an xterm window
inline const std::string kTitle = kClear + "\n\n\n\n\n\n                  Welcome to Kessandor!";
inline const std::string kMenuPrompt = "[Your Choice][?] ";

enum class Wiring {
    Terminal,    // stdin, stdout and stderr on a pseudo-terminal of 80 x 24
    JobControl,  // the same, with a tiny shell that runs the game as the foreground job
    Pipes,       // stdin and stdout are pipes; no controlling terminal, so key waits return
};

// Runs in the child. As a job, the game gets a process group of its own as the terminal's
// foreground group and this process waits for it, as a shell does: unlike the group of the
// session leader, that group is not orphaned, so Ctrl-Z really stops the game. The shell
// exits with the game's status, or 128 + the signal that killed it.
[[noreturn]] inline void runGame(bool asJob) {
    setenv("TERM", "xterm", 1);
    const pid_t game = asJob ? fork() : 0;
    if (game == 0) {
        if (asJob) {
            setpgid(0, 0);
            std::signal(SIGTTOU, SIG_IGN);  // not the foreground group yet
            tcsetpgrp(STDIN_FILENO, getpid());
            std::signal(SIGTTOU, SIG_DFL);
        }
        execl(KESSANDOR_BINARY, KESSANDOR_BINARY, nullptr);
        _exit(127);
    }
    int status = 0;
    while (waitpid(game, &status, WUNTRACED) < 0 ? errno == EINTR : WIFSTOPPED(status)) {
    }
    _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
}

class Session {
public:
    explicit Session(Wiring wiring = Wiring::Terminal) : wiring_(wiring) {
        std::signal(SIGPIPE, SIG_IGN);  // a game that died must not take the test with it
        if (wiring == Wiring::Pipes) {
            int in[2], out[2];
            EXPECT_EQ(pipe(in) | pipe(out), 0);
            if ((child_ = fork()) == 0) {
                setsid();
                dup2(in[0], STDIN_FILENO);
                dup2(out[1], STDOUT_FILENO);
                close(in[1]);  // or the game's input never ends
                runGame(false);
            }
            close(in[0]);
            close(out[1]);
            std::tie(in_, outFd_) = std::pair(in[1], out[0]);
        } else {
            winsize size{24, 80, 0, 0};
            if ((child_ = forkpty(&in_, nullptr, nullptr, &size)) == 0) {
                runGame(wiring == Wiring::JobControl);
            }
            outFd_ = in_;
        }
        fcntl(in_, F_SETFL, O_NONBLOCK);
        fcntl(outFd_, F_SETFL, O_NONBLOCK);
    }
    ~Session() {
        if (child_ > 0) {  // a job gets SIGHUP and SIGCONT when its shell dies
            kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
        }
        close(in_);
        if (outFd_ != in_) {
            close(outFd_);
        }
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Reads until `done` holds, checking it as the output arrives; at the deadline (10 s, for
    // a sanitizer build) or the end of the output it reports a failure showing the screen.
    bool waitUntil(const std::function<bool()>& done, std::string_view what) {
        for (const auto end = Clock::now() + std::chrono::seconds(10); !done(); pump(5)) {
            if (ended_ || Clock::now() > end) {
                ADD_FAILURE() << "timed out waiting for " << what << "\nscreen:\n" << screen();
                return false;
            }
        }
        return true;
    }
    // Waits for the earliest of `texts` in the output not consumed yet, consumes the output
    // up to its end and returns its index, or -1.
    int waitAny(std::initializer_list<std::string_view> texts) {
        int found = -1;
        std::size_t end = 0;
        const auto look = [&] {
            std::size_t first = npos;
            for (int i = 0; const std::string_view text : texts) {
                if (const std::size_t at = out_.find(text, pos_); at < first) {
                    std::tie(first, found, end) = std::tuple(at, i, at + text.size());
                }
                ++i;
            }
            return found >= 0;
        };
        if (waitUntil(look, *texts.begin())) {
            mark_ = std::exchange(pos_, end);
        }
        return found;
    }
    bool expect(std::string_view text) { return waitAny({text}) == 0; }
    std::string_view consumed() const { return std::string_view(out_).substr(0, pos_); }
    std::string_view segment() const { return consumed().substr(mark_); }  // by the last wait
    std::string_view rest() const { return std::string_view(out_).substr(pos_); }

    // Writes while reading, so that neither side stalls on a full pipe.
    void send(std::string_view keys) {
        waitUntil(
            [&] {
                pollfd writable{in_, POLLOUT, 0};
                const ssize_t wrote = poll(&writable, 1, 0) == 1
                                          ? write(in_, keys.data(), std::min(keys.size(), 65536ul))
                                          : 0;
                keys.remove_prefix(wrote > 0 ? wrote : 0);
                return keys.empty() || (wrote < 0 && errno != EAGAIN);
            },
            "the game to read its input");
    }
    void closeInput() {
        if (wiring_ == Wiring::Pipes) {
            close(std::exchange(in_, -1));
        } else {
            send("\x04");  // Ctrl-D on an empty line
        }
    }
    void pressKey(std::string_view key) {
        if (wiring_ != Wiring::Pipes && waitCbreak()) {
            send(key);
        }
    }

    termios mode() const {
        termios settings{};
        tcgetattr(outFd_, &settings);
        return settings;
    }
    bool waitCbreak() {  // ECHO and ICANON both off, as the key wait sets them
        return waitUntil([&] { return (mode().c_lflag & (ECHO | ICANON)) == 0; }, "cbreak mode");
    }
    pid_t gamePid() const { return wiring_ == Wiring::JobControl ? tcgetpgrp(outFd_) : child_; }
    char processState() const {  // from /proc/<pid>/stat: 'T' when stopped
        std::ifstream stat("/proc/" + std::to_string(gamePid()) + "/stat");
        const std::string line((std::istreambuf_iterator<char>(stat)), {});
        const std::size_t close = line.rfind(") ");
        return close == npos ? '?' : line[close + 2];
    }

    // Waits for the child to end (killing it at the deadline); returns its wait status,
    // which is 0 when it exited with status 0.
    int finish() {
        int status = -1;
        for (const auto end = Clock::now() + std::chrono::seconds(10);
             wait4(child_, &status, WNOHANG, &usage_) != child_; pump(5)) {
            if (Clock::now() > end) {
                ADD_FAILURE() << "the game did not end\nscreen:\n" << screen();
                kill(child_, SIGKILL);
                wait4(child_, &status, 0, &usage_);
                break;
            }
        }
        child_ = -1;
        while (pump(0)) {  // what the game wrote just before it ended
        }
        return status;
    }
    const rusage& usage() const { return usage_; }
    std::string screen() const {  // the recent output, for failure messages
        return out_.substr(out_.size() - std::min<std::size_t>(out_.size(), 2500));
    }

private:
    bool pump(int timeoutMs) {  // true when it read something
        pollfd readable{outFd_, POLLIN, 0};
        if (poll(ended_ ? nullptr : &readable, ended_ ? 0 : 1, timeoutMs) != 1) {
            return false;  // after the end, this only lets the time pass
        }
        char buffer[65536];
        const ssize_t got = read(outFd_, buffer, sizeof buffer);
        if (got <= 0) {  // a pty whose other side has closed fails with EIO
            ended_ = got == 0 || errno == EIO;
            return false;
        }
        // The terminal turns line ends into "\r\n"; a "\r" at the end may await its "\n".
        std::size_t at = out_.empty() ? 0 : out_.size() - 1;
        out_.append(buffer, got);
        while ((at = out_.find("\r\n", at)) != npos) {
            out_.erase(at, 1);
        }
        return true;
    }

    Wiring wiring_;
    pid_t child_ = -1;
    int in_ = -1;
    int outFd_ = -1;
    bool ended_ = false;
    std::string out_;
    std::size_t pos_ = 0;
    std::size_t mark_ = 0;
    rusage usage_{};
};

// Where the game stops to read or to wait; the values index the texts that show them.
enum class Stop { None = -1, Turn, Build, Key, Stock, Buy, Standings, Title };
inline Stop nextStop(Session& s) {
    const int found = s.waitAny({"[Choice][?]  ", "[Where Do you Wish to Build][?] ",
                                 "[Press Any Key to Continue]\n", "[Choice]?  ", " each, Can buy ",
                                 "Press Any key to continue\n", kMenuPrompt});
    return found == int(Stop::Buy) && !s.expect("]: ") ? Stop::None : Stop(found);
}

inline std::int64_t numberAfter(std::string_view text, std::string_view label) {
    const std::size_t at = text.rfind(label);
    return at == npos ? -1 : std::atoll(std::string(text.substr(at + label.size(), 12)).c_str());
}

// The five spots of the last build prompt.
inline std::vector<std::string> offeredSpots(Session& s) {
    const std::string_view heading = "[Here are coordinates you can build on][:]\n";
    const std::string_view seen = s.consumed();
    const std::size_t line = seen.rfind(heading);
    std::vector<std::string> spots;
    for (std::size_t i = 0; line != npos && i < 5; ++i) {
        spots.emplace_back(seen.substr(line + heading.size() + 3 * i, 2));
    }
    return spots;
}

// Plays on with plain answers until one of the stops in `until` (or the title menu) shows.
// It builds next to an earlier build when it can, so that companies form and grow, and when
// `buy` is set spends, by the cash and price shown, half of what it may on each company.
struct Robot {
    Session& s;
    bool buy = false;
    std::vector<std::string> headers = {};  // every turn header
    std::vector<std::string> built = {};
    int purchases = 0;
    bool bought = false;

    Stop playUntil(std::initializer_list<Stop> until) {
        for (Stop stop = nextStop(s);; stop = nextStop(s)) {
            if (stop == Stop::None || stop == Stop::Title || std::ranges::count(until, stop) > 0) {
                return stop;
            }
            answer(stop);
        }
    }
    void answer(Stop stop) {
        const std::string_view seen = s.consumed();
        if (stop == Stop::Turn) {
            const std::size_t start = seen.rfind('\n', seen.rfind("'s Turn]")) + 1;
            headers.emplace_back(seen.substr(start, seen.find('\n', start) - start));
            s.send("b\n");
        } else if (stop == Stop::Build) {
            s.send(chooseSpot() + "\n");
        } else if (stop == Stop::Stock) {  // buys, then ends the stage
            bought = buy && !bought;
            s.send(bought ? "b\n" : "e\n");
        } else if (stop == Stop::Buy) {
            const std::int64_t price = numberAfter(seen, "[$");
            const std::int64_t most =
                price > 0 ? numberAfter(seen, "[Available Money]: $") / price : 0;
            purchases += most > 0;
            s.send(std::to_string((most + 1) / 2) + "\n");
        } else {
            s.pressKey(" ");
        }
    }
    std::string chooseSpot() {
        const std::vector<std::string> spots = offeredSpots(s);
        EXPECT_EQ(spots.size(), 5u) << s.screen();
        for (const std::string& spot : spots) {
            for (const std::string& old : built) {
                if (std::abs(spot[0] - old[0]) + std::abs(spot[1] - old[1]) == 1) {
                    return built.emplace_back(spot);
                }
            }
        }
        return built.emplace_back(spots.empty() ? "" : spots[0]);
    }
};

// Chooses S at the title menu and answers the player count and the names.
inline bool startGame(Session& s, const std::vector<std::string>& names) {
    s.send("s\n" + std::to_string(names.size()) + "\n");
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!s.expect("[What is player " + std::to_string(i + 1) + "'s name][?]: ")) {
            return false;
        }
        s.send(names[i] + "\n");
    }
    return true;
}

}  // namespace e2e
