// Kessandor: a turn-based game of interstellar trading for one to five players at one terminal.
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "ai/computer.h"
#include "console/console.h"
#include "game/game.h"
#include "options.h"
#include "records/records.h"
#include "screens/flow.h"
#include "screens/hall_of_fame.h"
#include "screens/resume.h"
#include "subcommands.h"
#include "table/table.h"

namespace {

constexpr std::string_view kUsage =
    "Usage: kessandor [--seed N] [-c N [--level easy|normal|hard]] [--resume]\n"
    "       kessandor --scores | --saves | --forget N | --help | --version\n"
    "\n"
    "Kessandor is a turn-based game of interstellar trading for one to five\n"
    "players who share one terminal. Run it without arguments to play: build\n"
    "outposts on the galaxy map, found and grow shipping companies, buy their\n"
    "shares, and retire with the highest net worth. See kessandor(6) for the rules.\n"
    "\n"
    "Options:\n"
    "  --seed N       deal every game of this run from seed N (0 to 4294967295)\n"
    "                 instead of the clock, so a galaxy can be replayed and shared\n"
    "  -c, --computers N\n"
    "                 add N computer players (1 to 4) after the people, who are\n"
    "                 then 1 to 5 - N\n"
    "  --level L      how well the computer players play: easy, normal (the\n"
    "                 default) or hard\n"
    "  --resume       go on with a game saved in progress, at the start of the\n"
    "                 turn it was saved at (with several, choose one), then the\n"
    "                 title menu\n"
    "  --scores       show the hall of fame: the ten best net worths for each\n"
    "                 number of players, games with computers apart, and exit\n"
    "  --saves        list the games saved in progress, numbered, and exit\n"
    "  --forget N     delete the saved game that --saves lists as number N, and\n"
    "                 exit\n"
    "  -h, --help     show this text and exit\n"
    "  -V, --version  show the version and exit\n"
    "\n"
    "Files:\n"
    "  $XDG_DATA_HOME/kessandor/scores (default ~/.local/share/kessandor/scores)\n"
    "                 the record of every game that reached the final standings\n"
    "  $XDG_STATE_HOME/kessandor/ (default ~/.local/state/kessandor/)\n"
    "                 games in progress, saved at the start of every turn; a save\n"
    "                 is kept until its game ends with the final standings or a\n"
    "                 quit, or until --forget deletes it: saves never expire\n"
    "\n"
    "Environment:\n"
    "  KESSANDOR_SAVE  games in progress are saved when standard input is a\n"
    "                 terminal; 1 saves them always, 0 never\n";

// A write error on standard output ends the program: nobody would see anything more.
int cannotWrite(int error) {
    std::fprintf(stderr, "kessandor: cannot write to standard output: %s\n", std::strerror(error));
    return 1;
}

// Prints the help or version text; returns the exit status.
int printText(const char* text) {
    errno = 0;
    if (std::fputs(text, stdout) < 0 || std::fflush(stdout) != 0) {
        return cannotWrite(errno != 0 ? errno : EIO);
    }
    return 0;
}

// A command line the game cannot take: one line on standard error, and status 2.
int usageError(const std::string& message) {
    std::fprintf(stderr, "kessandor: %s (try 'kessandor --help')\n", message.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (const std::optional<int> status = runSubcommand(argc, argv)) {
        return *status;
    }
#ifndef _WIN32
    // A reader that has gone or a full file-size limit is a failed write like any other, told
    // in words and with an exit status, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    Options options;
    if (const std::optional<UsageError> error = parseOptions(argc, argv, options)) {
        return usageError(error->message);
    }
    if (options.help) {
        return printText(kUsage.data());
    }
    if (options.version) {
        return printText("kessandor " KESSANDOR_VERSION "\n");
    }
    if (options.saves || options.forget) {
        theRecords = std::make_unique<Records>();
        const std::optional<std::string> done =
            options.saves ? savesListing() : forgetSave(*options.forget);
        return done ? printText(done->c_str()) : 1;
    }
    if (options.scores) {
        const std::optional<std::string> listing = hallOfFameListing();
        return listing ? printText(listing->c_str()) : 1;
    }
    if (options.table) {
        if (const std::string problem = table::start(*options.table); !problem.empty()) {
            return usageError(problem);
        }
    }
    Game::fixClock(options.seed);
    seatComputers(options.computers.value_or(0),
                  static_cast<std::int32_t>(options.level.value_or(Level::normal)));
    theRecords = std::make_unique<Records>();
    int status = 0;
    try {
        status = runMainLoop(options.resume);
        theConsole->flush();
    } catch (const OutputFailed& failure) {
        status = cannotWrite(failure.error);
    }
    theConsole.reset();
    // Told only now, so that nothing is ever written in the middle of a screen.
    for (const std::string& problem : theRecords->problems()) {
        tell(problem);
    }
    return status;
}
