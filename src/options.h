// The command line: which options the game takes, and the usage error for any other.
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
    bool resume = false;
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
// place, if any: each option at most once; --help, --version and --scores stand alone.
std::optional<UsageError> parseOptions(int argc, const char* const* argv, Options& options);
