// The saved games: `kessandor --resume` picks the one to continue, before any screen of the
// game; `--saves` lists them and `--forget` deletes one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Makes the saved game theGame, at the start of the turn it was saved at: the one there is,
// or the one the player picks from a list of every save (players, day, when saved). Names each
// save that cannot be read on standard error, with what is wrong with it, and leaves it as it
// is. Returns false when there is no game to resume. REQUIRES: theRecords exists.
bool resumeSavedGame();

// `kessandor --saves`: every save of the state folder, numbered, the one saved longest ago
// first, those that cannot be resumed with the reason. nullopt, having said why on standard
// error, when the folder cannot be listed. REQUIRES: theRecords exists.
std::optional<std::string> savesListing();
// `kessandor --forget N`: deletes the save numbered `number` in that list and says which it
// was; nullopt, having said why on standard error, when there is no such save or another copy
// of the game plays it. REQUIRES: theRecords exists.
std::optional<std::string> forgetSave(std::int32_t number);
