// The server's record of finished games and its hall of fame, in SQLite: one row a game and
// one a player, indexed by the hall of fame's order, so adding a game costs the same at the
// millionth game as at the first (the personal record of local play rewrites its whole file).
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "records/names.h"
#include "records/score_format.h"

namespace server {

struct FameEntry {
    std::string name;
    std::int32_t netWorth = 0;
    std::string finishedAt;
};

struct FameList {
    std::int32_t players = 0;
    bool computers = false;
    std::vector<FameEntry> best;  // richest first, at most ten
};

class GameRecord {
public:
    // `full`: a game added survives a power cut. `none`: it survives the program's end, not
    // the machine's (for filling a record in bulk; the server never uses it).
    enum class Durability { full, none };

    // Opens (creating when missing) the record at `path`. Throws std::runtime_error when it
    // cannot be opened or is not a record of this version.
    explicit GameRecord(const std::filesystem::path& path,
                        Durability durability = Durability::full);
    ~GameRecord();
    GameRecord(const GameRecord&) = delete;
    GameRecord& operator=(const GameRecord&) = delete;

    // Adds a finished game, in one transaction. Returns what went wrong, or an empty text.
    std::string add(const std::string& table, const GameResult& result);
    // The ten best net worths of each kind of game (number of players, with computers or
    // not) that has any, fewest players first, people-only before computers.
    std::vector<FameList> hallOfFame() const;
    std::int64_t gameCount() const;

private:
    std::string execute(const char* sql) const;
    sqlite3* db_ = nullptr;
};

}  // namespace server
