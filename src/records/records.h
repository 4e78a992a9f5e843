// What Kessandor keeps on disk for its players between runs: the game in progress, saved at
// the start of every turn so that it survives a closed terminal, and the record of every game
// that reached the final standings.
//
//   $XDG_STATE_HOME/kessandor/game-*.save        one file per game in progress
//   $XDG_STATE_HOME/kessandor/game-*.save.lock   locked while a copy of the game plays it
//   $XDG_DATA_HOME/kessandor/scores              the record of finished games
//   $XDG_DATA_HOME/kessandor/pending-*.game      a finished game waiting to join the record
//
// Folders are created open to their owner alone, and files readable by their owner alone; a
// file replaced keeps its permissions. Nothing is printed while a game runs: what could not be
// kept is told once, on the way out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "game/game.h"
#include "records/files.h"
#include "records/save_format.h"
#include "records/score_format.h"

// The largest save read: a save of five players with the longest names is under 2 KB.
inline constexpr std::size_t kMostSaveBytes = std::size_t{64} * 1024;
// The largest record of finished games read: some 100,000 games.
inline constexpr std::size_t kMostRecordBytes = std::size_t{16} * 1024 * 1024;
// How long the end of a game waits for another program to let go of the record.
inline constexpr std::int32_t kRecordWaitMs = 3000;

// One file of the state folder, and the game it holds when it can be read and nobody plays it.
struct SaveFile {
    std::string path;
    std::optional<SavedGame> game;
    std::string problem;                // why it cannot be resumed, in words that follow its path
    bool inUse = false;                 // another copy of the game plays it
    std::unique_ptr<files::Lock> lock;  // held while `game` is set
};

class Records {
public:
    // Takes the folders from the environment. Games in progress are saved when standard input
    // is a terminal, or always with KESSANDOR_SAVE=1, never with KESSANDOR_SAVE=0.
    Records();

    // At the start of every turn: replaces the game's save with `state` by way of a temporary
    // file of its own beside it, so a killed program leaves the old save or the new one. A
    // game's first save is forced to disk, later ones are not, to stay cheap. After a power
    // cut, on ext4 with its default options (data=ordered, auto_da_alloc), the save is whole
    // but may be some turns old; on other file systems it may also be empty or cut short, and
    // is then refused as damaged, never read as another game. The save's lock is held from
    // its first save to the game's end.
    void saveTurn(const GameState& state);
    // At a normal end (the final standings or a confirmed quit): a game that reached the final
    // standings joins the record (unless `addToRecord` is false: a table's server keeps its own),
    // and the game's save goes.
    void endGame(const Game& game, bool addToRecord = true);

    // Every save of the state folder, the one saved longest ago first; those nobody else
    // plays are locked for this copy until the list goes. `problem` says why the folder cannot
    // be listed.
    std::vector<SaveFile> savedGames(std::string& problem) const;
    // Continues the game saved in `save`, taking its lock: its turns are saved there unless
    // KESSANDOR_SAVE=0. Games after it are saved as any new game is.
    void resumeFrom(SaveFile& save);
    // Removes the save `save` and its lock file. REQUIRES: `save` is locked by this copy.
    static std::string forget(const SaveFile& save);
    const std::string& stateFolder() const { return stateFolder_; }
    const std::string& stateProblem() const { return stateProblem_; }  // why there is none

    // What could not be kept in this run and why, one line each for standard error.
    std::vector<std::string> problems() const;

private:
    std::string startSave();

    bool savingByDefault_ = false;
    bool saving_ = false;
    std::string stateFolder_, dataFolder_;
    std::string stateProblem_, dataProblem_;  // why there is no such folder
    std::string savePath_;                    // the current game's save, once it has one
    std::unique_ptr<files::Lock> saveLock_;   // held while savePath_ is set
    bool saveOnDisk_ = false;                 // whether savePath_ is on disk: renames replace it
    std::string saveFailure_, removeFailure_, recordFailure_, pendingNote_;
    std::int32_t gamesNotRecorded_ = 0;
};

// The records of this run: made by main, null when the program keeps nothing (in tests and
// tools that run the game in-process).
extern std::unique_ptr<Records> theRecords;

// The record of finished games as it stands, with the games waiting to join it: its text
// (empty when there is none yet), or nullopt with `problem` saying why it cannot be read.
// `path` is set to the record's file once there is a data folder.
std::optional<std::string> recordText(std::string& path, std::string& problem);

// Prints "kessandor: " and `line` on standard error, every control character in it shown as
// '?': the line may hold bytes of a file or a file name.
void tell(std::string_view line);
