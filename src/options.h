// The command line: which options the game takes, and the usage error for any other. Options
// follow the usual conventions (getopt_long): "--seed 7", "--seed=7", "-c2", "-c 2", bundled
// short options, unambiguous abbreviations of long ones, and "--" to end them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ai/computer.h"

// What the command line asks for.
struct Options {
    bool help = false;
    bool version = false;
    bool scores = false;
    bool saves = false;
    bool resume = false;
    std::optional<std::int32_t> forget;  // the number of a save in the --saves list
    std::optional<std::uint32_t> seed;
    std::optional<std::int32_t> computers;
    std::optional<Level> level;
    std::optional<int> table;  // the table descriptor `kessandor serve` hands the game
};

// A usage error, as one line that names the argument the game cannot take.
struct UsageError {
    std::string message;  // cppcheck-suppress unusedStructMember ; read through std::optional
};

// Reads argv[1] to argv[argc - 1] into `options`. Returns the first argument that is out of
// place, if any: each option at most once; --help, --version, --scores, --saves and --forget
// stand alone; --level goes with computer players.
std::optional<UsageError> parseOptions(int argc, const char* const* argv, Options& options);
