#include "server/game_record.h"

#include <memory>
#include <stdexcept>

namespace server {

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS games (
    id INTEGER PRIMARY KEY,
    finished_at TEXT NOT NULL,
    table_id TEXT NOT NULL,
    players INTEGER NOT NULL,
    computer_level INTEGER NOT NULL  -- -1 when only people played
);
CREATE TABLE IF NOT EXISTS results (
    game INTEGER NOT NULL REFERENCES games(id),
    players INTEGER NOT NULL,
    computers INTEGER NOT NULL,
    name TEXT NOT NULL,
    net_worth INTEGER NOT NULL,
    rank INTEGER NOT NULL,
    finished_at TEXT NOT NULL
);
CREATE INDEX IF NOT EXISTS fame ON results (players, computers, net_worth DESC);
PRAGMA user_version = 1;
)sql";

using Statement = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)>;

Statement prepare(sqlite3* db, const char* sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
        throw std::runtime_error(sqlite3_errmsg(db));
    }
    return {statement, sqlite3_finalize};
}

void bindText(sqlite3_stmt* s, int index, const std::string& text) {
    sqlite3_bind_text(s, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

std::string columnText(sqlite3_stmt* s, int index) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, index));
    return text == nullptr ? std::string() : std::string(text);
}

}  // namespace

GameRecord::GameRecord(const std::filesystem::path& path, Durability durability) {
    if (sqlite3_open_v2(path.c_str(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW,
                        nullptr) != SQLITE_OK) {
        const std::string why = db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        throw std::runtime_error(path.string() + ": " + why);
    }
    sqlite3_busy_timeout(db_, 2000);
    // WAL: a reader never waits for the writer; FULL: a game added survives a power cut.
    const char* synchronous =
        durability == Durability::full ? "PRAGMA synchronous = FULL;" : "PRAGMA synchronous = OFF;";
    for (const char* sql : {"PRAGMA journal_mode = WAL;", synchronous, kSchema}) {
        if (std::string problem = execute(sql); !problem.empty()) {
            sqlite3_close(db_);
            throw std::runtime_error(path.string() + ": " + problem);
        }
    }
}

GameRecord::~GameRecord() {
    sqlite3_close(db_);
}

std::string GameRecord::execute(const char* sql) const {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::string problem = error != nullptr ? error : sqlite3_errmsg(db_);
        sqlite3_free(error);
        return problem;
    }
    return {};
}

std::string GameRecord::add(const std::string& table, const GameResult& result) {
    try {
        if (std::string problem = execute("BEGIN IMMEDIATE;"); !problem.empty()) {
            return problem;
        }
        const Statement game =
            prepare(db_,
                    "INSERT INTO games (finished_at, table_id, players, computer_level) "
                    "VALUES (?, ?, ?, ?);");
        bindText(game.get(), 1, result.finishedAt);
        bindText(game.get(), 2, table);
        sqlite3_bind_int(game.get(), 3, static_cast<int>(result.players.size()));
        sqlite3_bind_int(game.get(), 4, result.computerLevel);
        if (sqlite3_step(game.get()) != SQLITE_DONE) {
            throw std::runtime_error(sqlite3_errmsg(db_));
        }
        const sqlite3_int64 id = sqlite3_last_insert_rowid(db_);
        const Statement player = prepare(
            db_,
            "INSERT INTO results (game, players, computers, name, net_worth, rank, finished_at) "
            "VALUES (?, ?, ?, ?, ?, ?, ?);");
        for (const PlayerResult& p : result.players) {
            sqlite3_reset(player.get());
            sqlite3_bind_int64(player.get(), 1, id);
            sqlite3_bind_int(player.get(), 2, static_cast<int>(result.players.size()));
            sqlite3_bind_int(player.get(), 3, result.computerLevel >= 0 ? 1 : 0);
            bindText(player.get(), 4, p.name);
            sqlite3_bind_int(player.get(), 5, p.netWorth);
            sqlite3_bind_int(player.get(), 6, p.rank);
            bindText(player.get(), 7, result.finishedAt);
            if (sqlite3_step(player.get()) != SQLITE_DONE) {
                throw std::runtime_error(sqlite3_errmsg(db_));
            }
        }
        return execute("COMMIT;");
    } catch (const std::runtime_error& failure) {
        execute("ROLLBACK;");
        return failure.what();
    }
}

std::vector<FameList> GameRecord::hallOfFame() const {
    std::vector<FameList> lists;
    const Statement query = prepare(
        db_,
        "SELECT name, net_worth, finished_at FROM results WHERE players = ? AND computers = ? "
        "ORDER BY net_worth DESC, rowid LIMIT 10;");
    for (int players = 1; players <= 5; ++players) {
        for (const int computers : {0, 1}) {
            sqlite3_reset(query.get());
            sqlite3_bind_int(query.get(), 1, players);
            sqlite3_bind_int(query.get(), 2, computers);
            FameList list{players, computers == 1, {}};
            while (sqlite3_step(query.get()) == SQLITE_ROW) {
                list.best.push_back({columnText(query.get(), 0), sqlite3_column_int(query.get(), 1),
                                     columnText(query.get(), 2)});
            }
            if (!list.best.empty()) {
                lists.push_back(std::move(list));
            }
        }
    }
    return lists;
}

std::int64_t GameRecord::gameCount() const {
    const Statement query = prepare(db_, "SELECT count(*) FROM games;");
    return sqlite3_step(query.get()) == SQLITE_ROW ? sqlite3_column_int64(query.get(), 0) : 0;
}

}  // namespace server
