// Table mode: the game as one table of `kessandor serve`, which starts it on a pseudo-terminal
// of its own with `--table FD` (docs/table-protocol.md, section 1). This folder owns the table
// descriptor (the socket to the server: before each read and key wait the game says whose
// answer it waits for, and it hears who has gone away and come back), who answers each read
// and key wait (seats.h), and the away seats, whose answers the computer gives until their
// people come back. Without --table none of it runs: every call below does nothing, and the
// game is the ordinary game.
#pragma once

#include <cstdint>
#include <string>

#include "game/game.h"
#include "table/seats.h"

namespace table {

// Thrown by a read that waits for a person who has gone away, before it takes anything. The
// screens that read a name or a turn's answers catch it and let the computer answer instead.
// A key wait never throws it: the wait ends as if a key had been pressed.
struct SeatAway {};

// Enters table mode on descriptor `fd`, which must be a connected stream socket other than the
// standard streams. Returns why it cannot, as a usage error, or an empty text once it has.
// From then on every read and key wait also watches the descriptor, and a read ends the game
// as at the end of its input once the server has closed it.
std::string start(int fd);
bool active();

// The screens say whose answers the reads and key waits take from now on.
void expect(Answerer who);
// Whether the computer answers for `player` for now, its person being away.
bool isAway(std::int32_t player);

// What the game tells the server as things happen: every player once the players are set up
// (or a saved game resumed), the start of every turn, and the result before the standings.
void tellPlayers(const Game& game);
void tellTurn(const Game& game);
void tellResult(const Game& game);

}  // namespace table
