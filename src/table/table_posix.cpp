// The table descriptor on POSIX systems: the notices written to it, the server's lines read
// from it, and standard input and the key wait watching it, so that a person going away takes
// effect while the game waits for them.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <ctime>
#include <memory>
#include <streambuf>
#include <string_view>

#include "console/console.h"
#include "console/terminal.h"
#include "records/score_format.h"
#include "records/text_fields.h"
#include "table/messages.h"
#include "table/table.h"

namespace table {
namespace {

#if defined(MSG_NOSIGNAL)
constexpr int kNoSignal = MSG_NOSIGNAL;  // a server that has gone is an error, not a SIGPIPE
#else
constexpr int kNoSignal = 0;  // SO_NOSIGPIPE, set at the start, does the same
#endif
constexpr int kMostReadsAtOnce = 64;  // then the reads and the key wait get their turn

class Table;

// Standard input as the console reads it at a table: each time it runs dry, it tells the
// server whose answer the game waits for, and waits for the terminal and the server at once.
class StandardInput : public std::streambuf {
public:
    explicit StandardInput(Table& table) : table_(table) { discard(); }
    // Drops what was read from the terminal and not yet taken.
    void discard() { setg(buffer_.data(), buffer_.data(), buffer_.data()); }
    // Whether what was read and not yet taken holds more than white space: a read that starts
    // now can be answered without waiting.
    bool holdsAnAnswer() const;

protected:
    int_type underflow() override;

private:
    Table& table_;
    std::array<char, 4096> buffer_{};
};

class Table final : public InputWatch, public terminal::KeyWaitWatch {
public:
    explicit Table(int fd) : fd_(fd), input_(*this) {}

    StandardInput& input() { return input_; }
    Seats& seats() { return seats_; }

    // Writes `line` and its line end to the server; a server that has gone is left alone.
    void tell(std::string line);

    // Waits until standard input has something to read (or has ended), hearing the server
    // meanwhile. Throws what checkAwaited throws.
    void awaitInput();

    void beforeRead() override {
        hear();
        if (seats_.changeHands()) {
            dropTypedAhead();
        }
        checkAwaited();
        announced_ = false;
        if (!input_.holdsAnAnswer()) {
            announceRead();  // before the prompt shows: see Console::startRead
        }
    }

    // Tells the server whose answer the blocked read awaits, once per read.
    void announceRead() {
        if (!announced_) {
            announced_ = true;
            tell(seats_.readNotice());
        }
    }

    bool beforeKeyWait() override {
        hear();
        if (seats_.changeHands()) {
            dropTypedAhead();
        }
        return !closed_ && !seats_.awaitedIsAway();
    }

    void ready() override { tell(seats_.keyNotice()); }
    int descriptor() const override { return closed_ ? -1 : fd_; }
    bool onInput() override {
        hear();
        return closed_ || seats_.awaitedIsAway();
    }

private:
    // Reads and applies whatever the server has written, without waiting.
    void hear();
    // A read for a person who has gone is abandoned, and once the server has gone the game
    // ends as at the end of its input (its save stays for a server that starts it again).
    void checkAwaited() const {
        if (closed_) {
            throw EndOfInput{};
        }
        if (seats_.awaitedIsAway()) {
            throw SeatAway{};
        }
    }
    // Keys typed for the last prompt, read or not, never answer the next one's hands.
    void dropTypedAhead() {
        input_.discard();
        tcflush(STDIN_FILENO, TCIFLUSH);
    }

    int fd_;
    bool closed_ = false;
    bool announced_ = false;  // the read under way has been announced
    Seats seats_;
    LineSplitter lines_;
    StandardInput input_;
};

std::unique_ptr<Table> theTable;

bool StandardInput::holdsAnAnswer() const {
    return std::any_of(gptr(), egptr(), [](char c) {
        return c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\v' && c != '\f';
    });
}

StandardInput::int_type StandardInput::underflow() {
    table_.announceRead();
    for (;;) {
        table_.awaitInput();
        const ssize_t got = read(STDIN_FILENO, buffer_.data(), buffer_.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return traits_type::eof();  // the end of input, or a terminal that has hung up
        }
        setg(buffer_.data(), buffer_.data(), buffer_.data() + got);
        return traits_type::to_int_type(*gptr());
    }
}

void Table::tell(std::string line) {
    line += '\n';
    std::string_view rest = line;
    while (!closed_ && !rest.empty()) {
        const ssize_t sent = send(fd_, rest.data(), rest.size(), kNoSignal);
        if (sent > 0) {
            rest.remove_prefix(static_cast<std::size_t>(sent));
        } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd writable{fd_, POLLOUT, 0};
            poll(&writable, 1, -1);
        } else if (sent == 0 || errno != EINTR) {
            closed_ = true;
        }
    }
}

void Table::hear() {
    for (int i = 0; i < kMostReadsAtOnce && !closed_; ++i) {
        pollfd readable{fd_, POLLIN, 0};
        const int waiting = poll(&readable, 1, 0);
        if (waiting < 0 && errno == EINTR) {
            continue;
        }
        if (waiting <= 0) {
            return;
        }
        std::array<char, 512> bytes{};
        const ssize_t got = read(fd_, bytes.data(), bytes.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return;
        }
        if (got <= 0) {
            closed_ = true;
            return;
        }
        for (const std::string& line :
             lines_.take(std::string_view(bytes.data(), static_cast<std::size_t>(got)))) {
            seats_.apply(line);  // the game ignores what it does not know
        }
    }
}

void Table::awaitInput() {
    for (;;) {
        checkAwaited();
        std::array<pollfd, 2> requests = {{{STDIN_FILENO, POLLIN, 0}, {fd_, POLLIN, 0}}};
        if (poll(requests.data(), closed_ ? 1 : 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;  // the read says what is wrong
        }
        if (requests[1].revents != 0) {
            hear();
            continue;
        }
        if (requests[0].revents != 0) {
            return;
        }
    }
}

// Why `fd` cannot be the table descriptor, or an empty text.
std::string unfit(int fd) {
    struct stat info {};
    if (fd <= STDERR_FILENO) {
        return "is a standard stream";
    }
    if (fstat(fd, &info) != 0) {
        return "is not an open descriptor";
    }
    if (!S_ISSOCK(info.st_mode)) {
        return "is not a socket";
    }
    int type = 0;
    socklen_t size = sizeof type;
    if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &size) != 0 || type != SOCK_STREAM) {
        return "is not a stream socket";
    }
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0) {
        return "is not a connected socket";
    }
    return {};
}

}  // namespace

std::string start(int fd) {
    if (const std::string problem = unfit(fd); !problem.empty()) {
        return "--table " + std::to_string(fd) + ": the descriptor " + problem;
    }
    fcntl(fd, F_SETFD, FD_CLOEXEC);
#if defined(SO_NOSIGPIPE)
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
    theTable = std::make_unique<Table>(fd);
    theConsole->watchInput(theTable->input(), *theTable);
    terminal::watchKeyWaits(theTable.get());
    return {};
}

bool active() {
    return theTable != nullptr;
}

void expect(Answerer who) {
    if (theTable) {
        theTable->seats().expect(who);
    }
}

bool isAway(std::int32_t player) {
    return theTable && theTable->seats().isAway(player);
}

void tellPlayers(const Game& game) {
    for (std::int32_t p = 0; theTable && p < game.playerCount(); ++p) {
        theTable->tell(playerLine(p, game.isComputer(p), game.playerName(p)));
    }
}

void tellTurn(const Game& game) {
    if (theTable) {
        theTable->tell(turnLine(game.currentPlayer(), game.day()));
    }
}

void tellResult(const Game& game) {
    if (theTable) {
        theTable->tell(resultLine(resultOf(game, utcTime(std::time(nullptr)))));
    }
}

}  // namespace table
