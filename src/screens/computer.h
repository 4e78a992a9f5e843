// A computer player's turn: it builds and buys as it decides, and the people see what it did.
// REQUIRES for all: theGame exists.
#pragma once

#include <cstdint>
#include <string>

#include "game/game.h"

// "Computer-1" ... "Computer-4": the names of the computer players, in seat order.
std::string computerName(std::int32_t i);

// Plays the turn of computer player `player`: offers it five spots, builds where it chooses
// (announcing formations and mergers as for anybody), buys what it chooses, then shows the map
// and an account of the turn, and waits for a key when a person plays.
void computerTurn(std::int32_t player);

// Plays the rest of `player`'s turn, which began as `atStart`, for its person, who has gone:
// the whole turn when no spots were offered yet, the build on one of the spots on offer, or
// only the purchases once the person has built. Then shows the same account and key wait as
// for a computer's own turn.
void computerFinishesTurn(std::int32_t player, const GameState& atStart);
