// Tables run on POSIX systems only (a table is a game on a pseudo-terminal): on Windows
// --table is refused and the rest does nothing.
#include "table/table.h"

namespace table {

std::string start(int /*fd*/) {
    return "--table is not available on Windows";
}

bool active() {
    return false;
}

void expect(Answerer /*who*/) {}

bool isAway(std::int32_t /*player*/) {
    return false;
}

void tellPlayers(const Game& /*game*/) {}
void tellTurn(const Game& /*game*/) {}
void tellResult(const Game& /*game*/) {}

}  // namespace table
