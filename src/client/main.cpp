// kessandor-join (run as `kessandor join URL`): the terminal client of a table.
#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

#include <boost/asio/io_context.hpp>

#include "client/arguments.h"
#include "client/create_table.h"
#include "client/screen.h"
#include "client/table_client.h"
#include "console/raw_mode.h"

namespace {

constexpr std::string_view kUsage =
    "Usage: kessandor join URL [-c N] [--level easy|normal|hard] [--seed N]\n"
    "       kessandor join --help | --version\n"
    "\n"
    "Sits you at a table of the Kessandor server at URL, in this terminal.\n"
    "A table's link (http://HOST:PORT/t/ID#TOKEN) takes the seat or the spectator's\n"
    "place it was made for. The server's address alone (http://HOST:PORT) creates a\n"
    "table, seats you as its host and shows the links to hand out: the join link\n"
    "seats one friend each time it is used, the watch link lets anyone look on.\n"
    "\n"
    "Options, for a new table only:\n"
    "  -c, --computers N  give N seats to computer players (0 to 4)\n"
    "  --level L          how well they play: easy, normal (the default) or hard\n"
    "  --seed N           deal the game from seed N (0 to 4294967295)\n"
    "  -h, --help         show this text and exit\n"
    "  -V, --version      show the version and exit\n"
    "\n"
    "Keys go to the table as you type them; only the seat the game waits for is\n"
    "heard. Ctrl-C leaves the table and keeps your seat: come back with your link.\n"
    "Ctrl-Z stops the client as usual. With 25 or more rows the last row is a\n"
    "status line (the table, the seats, whose turn, the connection); with fewer it\n"
    "is the window's title. A lost connection is taken up again by itself.\n"
    "\n"
    "The client speaks plain http:// (ws://). TLS belongs to a reverse proxy in\n"
    "front of the server; from outside, reach a server that listens on loopback\n"
    "through an SSH tunnel: ssh -L 8475:127.0.0.1:8475 HOST, then\n"
    "kessandor join http://127.0.0.1:8475/...\n"
    "\n"
    "Exit status: 0 when you leave, 1 when the table refuses you or cannot be\n"
    "reached, 2 for a mistake on the command line.\n";

int fail(const std::string& message, int status) {
    std::fprintf(stderr, "kessandor-join: %s\n", message.c_str());
    return status;
}

// The keyboard: a descriptor of its own for the terminal, since the event loop makes it
// non-blocking and standard output shares standard input's when both are the terminal.
int openKeyboard() {
    if (isatty(STDIN_FILENO) == 1) {
        if (const char* name = ttyname(STDIN_FILENO)) {
            const int fd = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
            if (fd >= 0) {
                return fd;
            }
        }
    }
    return fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3);
}

// Puts everything back that the run changed, whichever way it ends.
class Restorer {
public:
    Restorer(join::Screen& screen, terminal::SavedMode& mode)
        : screen_(screen), mode_(mode), inputFlags_(fcntl(STDIN_FILENO, F_GETFL)) {}
    Restorer(const Restorer&) = delete;
    Restorer& operator=(const Restorer&) = delete;
    ~Restorer() { restore(); }

    void restore() {
        screen_.tearDown();
        terminal::leaveRawMode(mode_);
        if (inputFlags_ >= 0) {
            fcntl(STDIN_FILENO, F_SETFL, inputFlags_);
        }
    }

private:
    join::Screen& screen_;
    terminal::SavedMode& mode_;
    int inputFlags_;
};

void printLinks(const join::Screen& screen, const join::Links& links, bool spectator) {
    std::string text;
    if (!links.join.empty()) {
        text += "Join link, one friend a seat:  " + links.join + "\n";
    }
    if (!links.watch.empty()) {
        text += "Watch link, for spectators:    " + links.watch + "\n";
    }
    if (!links.own.empty()) {
        text += std::string(spectator ? "Your link, to watch again:     "
                                      : "Your seat's link, to return:   ") +
                links.own + "\n";
    }
    screen.say(text, false);
}

int play(join::TableUrl url, bool created, const join::Links& createdLinks) {
    boost::asio::io_context io;
    const bool outputIsTerminal = isatty(STDOUT_FILENO) == 1;
    join::Screen screen(STDOUT_FILENO, outputIsTerminal);
    const int keyboard = openKeyboard();
    if (keyboard < 0) {
        return fail("cannot read the keyboard", 1);
    }
    const bool keyFirst = created && isatty(keyboard) == 1;
    if (keyFirst) {
        screen.say("Press any key to sit down at the table (Ctrl-C leaves it).\n", false);
    }
    terminal::SavedMode mode;
    join::Ending ending;
    join::Links links;
    bool spectator = false;
    {
        join::TableClient client(io, std::move(url), keyboard, screen, mode, keyFirst);
        Restorer restorer(screen, mode);
        terminal::enterRawMode(keyboard, mode);
        screen.layOut();
        client.start();
        io.run();
        restorer.restore();
        ending = client.ending();
        links = client.links();
        spectator = client.spectator();
    }
    if (links.own.empty()) {
        links = createdLinks;
    }
    if (ending.status == 0 && !links.own.empty()) {
        screen.say(spectator ? "You left the table.\n" : "You left the table; your seat is kept.\n",
                   false);
    }
    printLinks(screen, links, spectator);
    if (!ending.message.empty()) {
        std::fprintf(stderr, "%s\n", ending.message.c_str());
    }
    if (ending.signal != 0) {
        std::signal(ending.signal, SIG_DFL);
        std::raise(ending.signal);
    }
    return ending.status;
}

int run(int argc, char** argv) {
    join::Arguments arguments;
    if (const std::optional<std::string> error = join::parseArguments(argc, argv, arguments)) {
        return fail(*error + " (try 'kessandor join --help')", 2);
    }
    if (arguments.help) {
        std::fputs(kUsage.data(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (arguments.version) {
        std::fputs("kessandor-join " KESSANDOR_VERSION "\n", stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (!arguments.url.table.empty()) {
        return play(arguments.url, false, {});
    }
    boost::asio::io_context io;
    std::string error;
    const std::optional<join::NewTable> table =
        join::createTable(io, arguments.url, arguments.settings, error);
    if (!table) {
        return fail(error, 1);
    }
    std::printf("Your table is %s. Hand out its links:\n", table->host.table.c_str());
    join::Screen plain(STDOUT_FILENO, false);
    printLinks(plain, table->links, false);
    std::fflush(stdout);
    return play(table->host, true, table->links);
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);  // a closed connection is an error code, not a death
    // The terminal is back by now: each step that changed it undoes it on the way out.
    try {
        return run(argc, argv);
    } catch (const std::exception& error) {
        return fail(error.what(), 1);
    } catch (...) {
        return fail("stopped by an unexpected error", 1);
    }
}
