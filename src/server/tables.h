// Every table of this server: creating them, finding them by name, keeping their list on disk
// (see table_list.h), bringing them back after a restart, reaping their game processes and
// recording their finished games.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/signal_set.hpp>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "server/disk_thread.h"
#include "server/game_record.h"
#include "server/table.h"
#include "server/table_list.h"

namespace server {

struct ServerConfig {
    std::filesystem::path state;  // the server's own folder
    std::filesystem::path game;   // the game program, the only one ever started
    std::string publicUrl;        // where links point, without a trailing '/'
    std::string name;             // put before new tables' names, for a proxy to route by
    std::int32_t maxTables = 1000;
    std::chrono::milliseconds awayAfter = std::chrono::minutes(3);
};

// How many tables and seats there are of each kind, for the metrics.
struct TableCounts {
    std::size_t lobby = 0, playing = 0, restarting = 0, finished = 0;
    std::size_t seatsConnected = 0, seatsDisconnected = 0, seatsAway = 0, spectators = 0;
};

class Tables {
public:
    // Loads the table list and the record from config.state. Throws std::runtime_error when
    // the folder or the record cannot be used.
    Tables(boost::asio::io_context& io, ServerConfig config);
    ~Tables();
    Tables(const Tables&) = delete;
    Tables& operator=(const Tables&) = delete;

    boost::asio::io_context& io() { return io_; }
    const ServerConfig& config() const { return config_; }

    // Starts the game of every table that was unfinished when the server last stopped.
    void resumeAll();
    // A new table; nullptr with `refusal` set when the server holds as many as it may. Its
    // links may be handed out once whenWritten reports it on disk.
    Table* create(std::int32_t computers, std::int32_t level, std::optional<std::uint32_t> seed,
                  std::string& refusal);
    Table* find(std::string_view id);
    std::size_t liveCount() const;
    TableCounts counts() const;
    std::size_t runningGames() const;

    std::string link(const std::string& id, const std::string& token) const;
    // The folder of a table's game: its save, and its home.
    std::filesystem::path folderOf(const std::string& id) const;
    // Called by a table whenever what the table list keeps of it changed.
    void changed(const Table& table);
    // Calls `written` on the loop once every change to the table list so far is on disk, with
    // what went wrong if it could not be written.
    void whenWritten(TableList::Written written) { list_.whenWritten(std::move(written)); }
    // A table whose links were never handed out goes, game and folder with it.
    void discard(const std::string& id);
    // Adds a finished game to the record (soon, on the disk thread).
    void recordResult(const Table& table, std::string_view line);
    const GameRecord& gameRecord() const { return record_; }
    // A finished table leaves the list, and is forgotten an hour later (its links then open
    // nothing). Its folder goes too, unless `keepFolder` (a broken game's save, for a person
    // to look at).
    void finished(const Table& table, bool keepFolder = false);
    // SIGTERM: every table saved and every viewer told; the games end.
    void shutDown(const std::string& reason);

private:
    void watchChildren();
    void reapChildren();
    void load();

    boost::asio::io_context& io_;
    ServerConfig config_;
    GameRecord record_;        // read on the loop (the hall of fame)
    GameRecord recordWriter_;  // a connection of its own, used on the disk thread alone
    DiskThread disk_;          // after what its jobs use: it finishes them before they go
    TableList list_;
    std::map<std::string, std::unique_ptr<Table>, std::less<>> tables_;
    boost::asio::signal_set children_;
    int lockFd_ = -1;
};

}  // namespace server
