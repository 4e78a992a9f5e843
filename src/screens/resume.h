// `kessandor --resume`: picks the saved game to continue, before any screen of the game.
#pragma once

// Makes the saved game theGame, at the start of the turn it was saved at: the one there is,
// or the one the player picks from a list of every save (players, day, when saved). Names each
// save that cannot be read on standard error, with what is wrong with it, and leaves it as it
// is. Returns false when there is no game to resume. REQUIRES: theRecords exists.
bool resumeSavedGame();
