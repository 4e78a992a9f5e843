// The terminal calls on POSIX systems (Linux, macOS): escape codes to clear the window and
// a cbreak-mode read of the controlling terminal for the single key press.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "console/terminal.h"

namespace terminal {
namespace {

std::string keyboardDevice = "/dev/tty";
KeyWaitWatch* keyWaitWatch = nullptr;

// Escape codes only for a real terminal that understands them; a pipe, a file or a dumb
// terminal gets a form feed, so a transcript keeps its screen boundaries.
bool wantsEscapeCodes() {
    const char* term = std::getenv("TERM");
    return isatty(STDOUT_FILENO) == 1 && term != nullptr && *term != '\0' &&
           std::strcmp(term, "dumb") != 0;
}

// State shared with the signal handlers. Written before the handlers are installed and left
// alone until they are removed again, so a handler only ever reads settled values.
volatile std::sig_atomic_t waitFd = -1;
termios savedMode{};   // the terminal's settings before the wait
termios cbreakMode{};  // the settings during the wait

// Every signal whose default action ends the program and that comes from outside it (Ctrl-C,
// Ctrl-\, kill, hang-up, timers, a closed pipe, resource limits...), then the one that
// suspends it (Ctrl-Z) and the one that continues it. The faults (SIGSEGV, SIGBUS, SIGFPE, SIGILL,
// SIGTRAP, SIGABRT, SIGSYS) stay with the runtime and the sanitizers, which report them.
std::vector<int> listWaitSignals() {
    std::vector<int> signals = {SIGHUP,  SIGINT,    SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM,
                                SIGPIPE, SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ, SIGTSTP, SIGCONT};
#ifdef SIGPOLL
    signals.push_back(SIGPOLL);
#endif
#ifdef SIGPWR
    signals.push_back(SIGPWR);
#endif
#ifdef SIGSTKFLT
    signals.push_back(SIGSTKFLT);
#endif
#ifdef SIGRTMIN
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) {
        signals.push_back(signal);
    }
#endif
    return signals;
}

const std::vector<int>& waitSignals() {
    static const std::vector<int> signals = listWaitSignals();
    return signals;
}

// Only the process group in the terminal's foreground may change its settings; anyone else
// is stopped for trying (tty output).
bool inForeground() {
    return tcgetpgrp(waitFd) == getpgrp();
}

// Sets the settings the wait changes (echo, line input, VMIN, VTIME) to their values in
// `mode`, and leaves every other setting as the terminal has it now. So a second copy of the
// game on the same terminal, which took this copy's cbreak mode for the terminal's own, has
// nothing to put back, and cannot leave echo off.
void applyWaitSettings(const termios& mode) {
    termios now{};
    if (tcgetattr(waitFd, &now) != 0) {
        return;
    }
    const tcflag_t changed = savedMode.c_lflag ^ cbreakMode.c_lflag;
    now.c_lflag = (now.c_lflag & ~changed) | (mode.c_lflag & changed);
    for (const int index : {VMIN, VTIME}) {
        if (savedMode.c_cc[index] != cbreakMode.c_cc[index]) {
            now.c_cc[index] = mode.c_cc[index];
        }
    }
    tcsetattr(waitFd, TCSANOW, &now);
}

void restoreTerminal() {
    if (inForeground()) {
        applyWaitSettings(savedMode);
    }
}

// The handlers use only async-signal-safe calls: tcgetattr, tcsetattr, tcgetpgrp, getpgrp,
// signal, sigaction, sigprocmask and raise.
extern "C" void onFatalSignal(int signal) {
    // Put the terminal back, then die of the signal as if it had never been caught.
    restoreTerminal();
    std::signal(signal, SIG_DFL);
    std::raise(signal);  // delivered as soon as this handler returns
}

// `held` lists a signal held back while the handler runs, or is 0.
void setHandler(int signal, void (*handler)(int), int held = 0) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    if (held != 0) {
        sigaddset(&action.sa_mask, held);
    }
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
}

extern "C" void onStopSignal(int /*signal*/) {
    const int savedErrno = errno;
    // Hand the shell a terminal with echo and line input on, then really stop.
    restoreTerminal();
    std::signal(SIGTSTP, SIG_DFL);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &stop, nullptr);
    std::raise(SIGTSTP);
    // Here after SIGCONT: the wait goes on, so take the keyboard back. Continued in the
    // background, the game stops again here (tty output) until it is brought to the front.
    setHandler(SIGTSTP, onStopSignal);
    applyWaitSettings(cbreakMode);
    errno = savedErrno;
}

// SIGCONT, from a shell's fg or from anyone after a SIGSTOP, which no handler sees: whoever
// had the terminal meanwhile may have put it back in line mode, so the wait takes it again.
// Continued in the background, it leaves the terminal alone until it is in front.
extern "C" void onContinueSignal(int /*signal*/) {
    const int savedErrno = errno;
    if (inForeground()) {
        applyWaitSettings(cbreakMode);
    }
    errno = savedErrno;
}

// Installs the handler for `signal` and keeps the previous disposition in `previous`. Only a
// signal that would end the program (or stop it, for Ctrl-Z) as things stand is taken over:
// one that whoever started the game chose to ignore (nohup, a background job) stays ignored,
// and one with a handler of its own (a profiler's) keeps it. The fatal handlers hold SIGTTOU
// back: a copy that has lost the foreground skips the restore, and one that loses it
// meanwhile must still die rather than stop.
void installHandler(int signal, struct sigaction& previous) {
    sigaction(signal, nullptr, &previous);
    if (previous.sa_handler != SIG_DFL) {
        return;
    }
    if (signal == SIGTSTP) {
        setHandler(signal, onStopSignal);
    } else if (signal == SIGCONT) {
        setHandler(signal, onContinueSignal, SIGTTOU);
    } else {
        setHandler(signal, onFatalSignal, SIGTTOU);
    }
}

// The wait's signals, and SIGTTOU so that leaving the wait never stops the game.
sigset_t waitSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : waitSignals()) {
        sigaddset(&set, signal);
    }
    sigaddset(&set, SIGTTOU);
    return set;
}

// Owns one key wait: opens the keyboard, switches it to cbreak mode and installs the signal
// handlers; the destructor undoes all of it on every path. Leaving twice is harmless.
class KeyboardSession {
public:
    KeyboardSession() : previous_(waitSignals().size()) {
        waitFd = open(keyboardDevice.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (waitFd < 0) {
            return;
        }
        // Waiting for the screen to reach the terminal asks for the terminal: a copy running in
        // the background stops there (tty output) until it is brought to the front. Only then
        // are the settings read (in the background they may be the shell's line-editing mode)
        // and the handlers installed, so a copy stopped there dies of a signal like any
        // stopped job.
        if (isatty(waitFd) != 1 || (tcdrain(waitFd) != 0 && errno != EINTR) ||
            tcgetattr(waitFd, &savedMode) != 0) {
            leave();
            return;
        }
        cbreakMode = savedMode;
        // ICANON off: a key counts without Enter. ECHO off: the key is not shown.
        // ISIG stays on, so Ctrl-C and Ctrl-Z still work; ICRNL stays on for the next reads.
        cbreakMode.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        cbreakMode.c_cc[VMIN] = 1;   // read returns after one byte...
        cbreakMode.c_cc[VTIME] = 0;  // ...and waits for it as long as it takes
        std::atomic_signal_fence(std::memory_order_seq_cst);  // settings written before handlers
        // Handlers first: a signal arriving between the two steps finds the settings intact.
        for (std::size_t i = 0; i < previous_.size(); ++i) {
            installHandler(waitSignals().at(i), previous_.at(i));
        }
        handlersInstalled_ = true;
        applyWaitSettings(cbreakMode);
        // The wait is for a key pressed from now on: keys typed ahead, before the screen
        // showed, are dropped. What standard input has already read stays pending there.
        tcflush(waitFd, TCIFLUSH);
    }

    KeyboardSession(const KeyboardSession&) = delete;
    KeyboardSession& operator=(const KeyboardSession&) = delete;

    ~KeyboardSession() { leave(); }

    bool ready() const { return waitFd >= 0; }

private:
    void leave() {
        if (waitFd < 0) {
            return;
        }
        if (handlersInstalled_) {
            // With the signals held back, none can land between restoring the settings and
            // restoring the handlers; one that arrived meanwhile acts once they are back.
            const sigset_t held = waitSignalSet();
            sigset_t before;
            sigprocmask(SIG_BLOCK, &held, &before);
            restoreTerminal();
            for (std::size_t i = 0; i < previous_.size(); ++i) {
                sigaction(waitSignals().at(i), &previous_.at(i), nullptr);
            }
            handlersInstalled_ = false;
            sigprocmask(SIG_SETMASK, &before, nullptr);
        }
        close(waitFd);
        waitFd = -1;
    }

    std::vector<struct sigaction> previous_;
    bool handlersInstalled_ = false;
};

// Reads one byte, waiting at most timeoutMs (or forever when negative).
// Returns false on timeout, end of file or error: the caller stops reading then.
bool readByte(int fd, unsigned char& byte, int timeoutMs) {
    for (;;) {
        if (timeoutMs >= 0) {
            pollfd request{fd, POLLIN, 0};
            const int ready = poll(&request, 1, timeoutMs);
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            if (ready <= 0) {
                return false;
            }
        }
        const ssize_t got = read(fd, &byte, 1);
        if (got < 0 && errno == EINTR) {
            continue;  // a stop and continue, not a failure
        }
        return got == 1;
    }
}

constexpr int kFollowingByteMs = 50;  // the bytes of one key arrive together

// A cursor or function key sends a sequence that starts with ESC (ESC [ A, ESC O P, ESC [ [ A
// on the Linux console, ESC ESC [ A for Alt with a cursor key...). Take every byte that
// follows within the pause, so none of them reaches a later read.
void consumeEscapeSequence(int fd) {
    unsigned char byte = 0;
    while (readByte(fd, byte, kFollowingByteMs)) {
    }
}

// A key that types a non-ASCII character sends its UTF-8 bytes together.
void consumeUtf8Rest(int fd, unsigned char lead) {
    int following = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    unsigned char byte = 0;
    for (; following > 0 && readByte(fd, byte, kFollowingByteMs); --following) {
    }
}

// Waits until the keyboard has a key, watching the key wait's watch meanwhile. False when the
// watch ended the wait first.
bool keyArrives() {
    for (;;) {
        const int watched = keyWaitWatch == nullptr ? -1 : keyWaitWatch->descriptor();
        if (watched < 0) {
            return true;
        }
        std::array<pollfd, 2> requests = {{{waitFd, POLLIN, 0}, {watched, POLLIN, 0}}};
        if (poll(requests.data(), requests.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return true;  // the read reports what is wrong
        }
        if (requests[0].revents != 0) {
            return true;
        }
        if (requests[1].revents != 0 && keyWaitWatch->onInput()) {
            return false;
        }
    }
}

}  // namespace

void clearScreen(std::ostream& out) {
    // Neither the output nor TERM changes during a run: ask once, not at every screen.
    static const bool escapeCodes = wantsEscapeCodes();
    if (escapeCodes) {
        // Home, erase the window, erase the scrollback: the next player cannot scroll back
        // to the previous player's screen.
        out << "\x1b[H\x1b[2J\x1b[3J";
    } else {
        out << '\f';
    }
}

void waitKey() {
    KeyboardSession session;
    if (!session.ready()) {
        return;
    }
    if (keyWaitWatch != nullptr) {
        keyWaitWatch->ready();
    }
    unsigned char key = 0;
    if (!keyArrives() || !readByte(waitFd, key, -1)) {
        return;
    }
    if (key == 0x1b) {
        consumeEscapeSequence(waitFd);
    } else {
        consumeUtf8Rest(waitFd, key);
    }
}

void setKeyboardDevice(std::string device) {
    keyboardDevice = std::move(device);
}

void watchKeyWaits(KeyWaitWatch* watch) {
    keyWaitWatch = watch;
}

}  // namespace terminal
