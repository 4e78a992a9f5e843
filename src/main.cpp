// Kessandor: a turn-based game of interstellar trading for one to five players at one terminal.
#include <cstdio>
#include <string_view>

#include "console/console.h"
#include "screens/flow.h"

namespace {

constexpr std::string_view kUsage =
    "Usage: kessandor [--help | --version]\n"
    "\n"
    "Kessandor is a turn-based game of interstellar trading for one to five players\n"
    "who share one terminal. Run it without arguments to play: build outposts on the\n"
    "galaxy map, found and grow shipping companies, buy their shares, and retire with\n"
    "the highest net worth. See kessandor(6) for the rules.\n"
    "\n"
    "Options:\n"
    "  --help     show this text and exit\n"
    "  --version  show the version and exit\n";

// The game takes no arguments; these two are the usual courtesy of a command-line program.
// Returns the exit status.
int answerArguments(int argc, char** argv) {
    const std::string_view argument = argv[1];
    if (argc == 2 && argument == "--help") {
        std::fputs(kUsage.data(), stdout);
        return 0;
    }
    if (argc == 2 && argument == "--version") {
        std::fputs("kessandor " KESSANDOR_VERSION "\n", stdout);
        return 0;
    }
    // Name the first argument that is out of place: an unknown one, or one after an option.
    const bool knownOption = argument == "--help" || argument == "--version";
    std::fprintf(stderr, "kessandor: unexpected argument '%s' (try 'kessandor --help')\n",
                 argv[knownOption ? 2 : 1]);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        return answerArguments(argc, argv);
    }
    const int status = runMainLoop();
    theConsole.reset();
    return status;
}
