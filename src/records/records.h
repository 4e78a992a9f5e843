// What Kessandor keeps on disk for its players between runs: the game in progress, saved at
// the start of every turn so that it survives a closed terminal, and the record of every game
// that reached the final standings.
//
//   $XDG_STATE_HOME/kessandor/game-*.save   one file per game in progress
//   $XDG_DATA_HOME/kessandor/scores         the record of finished games
//
// Nothing is printed while a game runs: what could not be kept is told once, on the way out.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "game/game.h"
#include "records/save_format.h"
#include "records/score_format.h"

// One file of the state folder, and the game it holds when it can be read.
struct SaveFile {
    std::string path;
    std::optional<SavedGame> game;
    std::string problem;  // why it cannot be read, in words that follow its path
};

class Records {
public:
    // Takes the folders from the environment. Games in progress are saved when standard input
    // is a terminal, or always with KESSANDOR_SAVE=1, never with KESSANDOR_SAVE=0.
    Records();

    // At the start of every turn: replaces the game's save with `state` by way of the save's
    // name with ".tmp" added (one such file per game, written over each time, removed with the
    // save), so a killed program leaves the old save or the new one. A game's first save is
    // forced to disk, later ones are not, to stay cheap. After a power cut, on ext4 with its
    // default options (data=ordered, auto_da_alloc), the save is whole but may be some turns
    // old; on other file systems it may also be empty or cut short, and is then refused as
    // damaged, never read as another game.
    void saveTurn(const GameState& state);
    // At a normal end (the final standings or a confirmed quit): a game that reached the final
    // standings joins the record, and the game's save goes.
    void endGame(const Game& game);

    // Every save of the state folder, oldest first.
    std::vector<SaveFile> savedGames() const;
    // Continues the game saved in `path`: its turns are saved there unless KESSANDOR_SAVE=0.
    void resumeFrom(std::string path);
    const std::string& stateFolder() const { return stateFolder_; }
    const std::string& stateProblem() const { return stateProblem_; }  // why there is none

    // What could not be kept in this run and why, one line each for standard error.
    std::vector<std::string> problems() const;

private:
    std::string newSavePath() const;

    bool saving_ = false;
    std::string stateFolder_, dataFolder_;
    std::string stateProblem_, dataProblem_;  // why there is no such folder
    std::string savePath_;                    // the current game's save, once it has one
    bool saveOnDisk_ = false;                 // whether savePath_ is on disk: renames replace it
    std::int32_t gamesSaved_ = 0;
    std::string saveFailure_, removeFailure_, recordFailure_;
    std::int32_t gamesNotRecorded_ = 0;
};

// The records of this run: made by main, null when the program keeps nothing (in tests and
// tools that run the game in-process).
extern std::unique_ptr<Records> theRecords;

// The record of finished games as it stands: its text (empty when there is none yet), or
// nullopt with `problem` saying why it cannot be read. `path` is set to the record's file
// once there is a data folder.
std::optional<std::string> recordText(std::string& path, std::string& problem);
