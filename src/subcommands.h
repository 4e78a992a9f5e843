// `kessandor join ...` and `kessandor serve ...`: the table commands are programs of their
// own (kessandor-join, kessandor-serve), installed beside the game.
#pragma once

#include <optional>

// When argv[1] names a table command, runs its program with the remaining arguments in place
// of this one; returns only when that fails, with the exit status. Otherwise returns nothing.
std::optional<int> runSubcommand(int argc, char** argv);
