// The final standings at the end of a game.
#pragma once

#include <vector>

#include "game/shares.h"

// Lists every player with rank and net worth, in the order given, and waits for a key.
// REQUIRES: theGame exists; `standings` came from its rankPlayers().
void showStandings(const std::vector<Standing>& standings);
