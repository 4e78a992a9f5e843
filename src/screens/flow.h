// The top of the program: the title menu with its information screens, player set-up, and
// the day loop of one game.
#pragma once

#include <cstdint>

// Reads a number after its prompt; until it is 1 to `most`, asks again with "[Please Choose a
// Number Between 1 and `most`]: ".
std::int32_t readNumberUpTo(std::int32_t most);

// With `resume`, first plays the saved game the player picks (see resumeSavedGame). Then runs
// the title menu and every game started from it until the player quits at the title menu or
// standard input ends; at a table, after one game. Destroys the last game; leaves theConsole
// alone. Returns the program's exit status: 0, or 1 when there was no saved game to resume. A
// failed write ends it too: the game is destroyed and OutputFailed passes to the caller.
int runMainLoop(bool resume = false);

// Every game of this run seats `count` computer players (0 to 4), at `level` (0 to kHardest),
// after the people, who are then 1 to 5 - count.
void seatComputers(std::int32_t count, std::int32_t level);

// Shows the title menu until the player starts a game or quits. Returns true on Quit; false
// once theGame has been created and given every player's name.
bool mainMenu();

// Prints the menu line and its prompt; returns the answer upper-cased.
char menuChoice();

// Plays theGame day by day until the last day is over (then shows the final standings) or a
// player quits. REQUIRES: theGame exists with every player named.
void playGame();
