// One table: its links, its seats, the people watching it and its game process. The table
// decides whose keys reach the game (the seat the game waits for, see docs/table-protocol.md),
// keeps the screen for newcomers, plays an absent person's seat by the computer, and restarts
// a game process that dies from the game's last save. Lives on the server's one event loop.
#pragma once

#include <array>
#include <boost/asio/posix/stream_descriptor.hpp>
#include <boost/asio/steady_timer.hpp>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "server/control.h"
#include "server/game_process.h"
#include "server/screen_log.h"

namespace server {

class Tables;

// What of `keys` answers the game's prompt: up to and including the first line end (or the
// first key of a key wait), without the keys that would signal, freeze or end the game. Keys
// after the answer are dropped: the next answer waits for the game's next question, so keys
// typed as the turn passes never answer the next person's prompt.
std::string answerIn(std::string_view keys, bool keyWait);

// Someone connected to a table: a seated person or a spectator. The table sends through it
// and never owns it. REQUIRES: a viewer leaves (Table::leave) before it is destroyed.
class Viewer {
public:
    virtual ~Viewer() = default;
    virtual void sendScreen(std::string bytes) = 0;  // the game's output, as a binary frame
    virtual void sendMessage(std::string json) = 0;  // a text frame
    virtual void closeWith(std::string reason) = 0;  // a last message, then the connection ends
};

// A table as the table list keeps it across restarts.
struct TableRecord {
    std::string id;
    std::string joinToken, watchToken;
    std::vector<std::string> seatTokens;  // seat 0 is the host's
    std::vector<std::string> names;       // the names the game gave, "" while unknown
    std::int32_t computers = 0;
    std::int32_t level = 1;
    std::optional<std::uint32_t> seed;
    bool started = false;  // the players are set up: the join link seats nobody more
};

enum class Role { player, spectator };

struct Attached {
    Role role = Role::spectator;
    std::int32_t seat = -1;
    std::string token;     // the viewer's own token from now on
    bool newSeat = false;  // seated just now: `token` is new, and goes into the table list
};

class Table {
public:
    enum class State { lobby, playing, finished, restarting };

    Table(Tables& tables, TableRecord record);
    ~Table();
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    const TableRecord& record() const { return record_; }
    const std::string& id() const { return record_.id; }
    State state() const { return state_; }
    bool finished() const { return state_ == State::finished; }
    std::size_t viewerCount() const { return viewers_.size(); }
    std::size_t connectedSeats() const;

    // Starts the game process (continuing its save when there is one).
    void start();
    // Seats or admits `viewer` for `token`; nullopt when the token opens nothing here (the
    // caller refuses it), with `refusal` saying why in words for the person.
    std::optional<Attached> attach(Viewer& viewer, const std::string& token, std::string& refusal);
    void leave(Viewer& viewer);
    // Keys typed by `viewer`: written into the game's terminal when the game waits for them.
    void keys(Viewer& viewer, std::string_view bytes);
    // Called with the game's exit status once its process has been reaped.
    void gameEnded(int waitStatus);
    // The server is stopping: tell everyone why and let the game go (its save stays).
    void shutDown(const std::string& reason);
    pid_t gamePid() const { return game_ ? game_->pid() : -1; }
    // What a newcomer writes into an empty terminal to see the screen.
    std::string screenReplay() const { return screen_.replay(); }
    // Adds this table's seats and spectators to the counts.
    void countSeats(std::size_t& connected, std::size_t& disconnected, std::size_t& away,
                    std::size_t& spectators) const;
    // Sends everyone the status again (someone came or went).
    void statusChanged() { broadcastStatus(); }

private:
    struct Seat {
        std::int32_t connections = 0;
        bool away = false;  // the computer plays it
        std::unique_ptr<boost::asio::steady_timer> awayTimer;
    };
    struct Player {
        std::string name;
        bool computer = false;
    };
    struct Connection {
        std::int32_t seat = -1;  // -1: a spectator
        std::chrono::steady_clock::time_point lastNotice{};
    };

    void readOutput();
    void readControl();
    void onControlBytes(std::string_view bytes);
    // Hears at once whatever the game has already told, without waiting. False once the game
    // has closed the descriptor.
    bool drainControl();
    void answerCount();
    void onControl(const ControlMessage& message);
    void onAwait(const Await& await);
    void writeToGame(std::string_view bytes);
    void writeControl(std::string_view line);
    void seatConnected(std::int32_t seat);
    void seatDisconnected(std::int32_t seat);
    void markAway(std::int32_t seat);
    bool mayType(std::int32_t seat) const;
    std::string awaitedName() const;
    std::string statusJson(const Connection& connection) const;
    void broadcastStatus();
    void notice(Viewer& viewer, Connection& connection);
    void restartLater();
    std::int32_t peopleSeated() const { return static_cast<std::int32_t>(seats_.size()); }
    std::int32_t capacity() const { return 5 - record_.computers; }
    std::filesystem::path folder() const;
    bool hasSave() const;

    Tables& tables_;
    TableRecord record_;
    State state_ = State::lobby;
    std::vector<Seat> seats_;
    std::vector<Player> players_;  // once the game has set them up
    std::optional<Await> awaiting_;
    bool countAsked_ = false;  // the player-count question is out or coming
    bool answered_ = false;    // the awaited answer has been written: wait for the next question
    std::int32_t day_ = 0;
    std::map<Viewer*, Connection> viewers_;
    ScreenLog screen_;

    std::unique_ptr<GameProcess> game_;
    std::unique_ptr<boost::asio::posix::stream_descriptor> terminal_, control_;
    // Bytes waiting for one of the game's descriptors.
    struct Outbox {
        std::string pending;
        bool writing = false;
    };
    void send(boost::asio::posix::stream_descriptor& to, Outbox& box, std::string_view bytes);
    Outbox toGame_, toControl_;
    std::string controlIn_;
    std::array<char, 4096> outputBuffer_{};
    std::vector<std::chrono::steady_clock::time_point> crashes_;
    boost::asio::steady_timer restartTimer_;
    bool result_ = false;    // the game reported its result
    bool stopping_ = false;  // the server is stopping
    // When keys were last written into a game that has not answered them yet.
    std::optional<std::chrono::steady_clock::time_point> keysWritten_;
};

}  // namespace server
