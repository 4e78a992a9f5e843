// The game the screens show and play.
#pragma once

#include <memory>

#include "game/game.h"

// Set by the title menu when a game starts, destroyed and reset to null by the main loop when
// it ends. Null whenever no game runs.
extern std::unique_ptr<Game> theGame;
