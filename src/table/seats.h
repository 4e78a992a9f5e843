// Who answers at a table: whose keys the game waits for at each read and key wait, and which
// seats the computer plays because their people have gone away. Bookkeeping only: the table
// descriptor's end (table_posix.cpp) tells the server what this decides.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "game/game.h"

namespace table {

// Whose answer the game waits for.
struct Answerer {
    enum class Kind {
        host,    // the title menu, its screens and the choice of a saved game
        server,  // the number of people, which the server knows
        person,  // a person typing their own name
        player,  // a player's turn: its answers and its announcements
        anyone,  // a computer's turn and the final standings: any seated person
    };
    Kind kind = Kind::host;
    std::int32_t seat = 0;  // the player index, for person and player

    static Answerer host() { return {Kind::host, 0}; }
    static Answerer server() { return {Kind::server, 0}; }
    static Answerer person(std::int32_t seat) { return {Kind::person, seat}; }
    static Answerer player(std::int32_t seat) { return {Kind::player, seat}; }
    static Answerer anyone() { return {Kind::anyone, 0}; }
    friend bool operator==(const Answerer&, const Answerer&) = default;
};

class Seats {
public:
    // From now on the game waits for `who`.
    void expect(Answerer who) { expected_ = who; }
    const Answerer& expected() const { return expected_; }

    // What the game tells the server before a read: "await menu", "await count",
    // "await name P" or "await line P". (A read while anyone may answer goes to the host.)
    std::string readNotice() const;
    // ... and before a key wait: "await key P" in P's turn, else "await key any".
    std::string keyNotice() const;

    // Called at each read and key wait: true when the keys now come from other hands than at
    // the last one, so that whatever those typed ahead must go. The host types at player 0's
    // seat; the server and "anyone" are hands of their own.
    bool changeHands();

    // Applies one line from the server; false when it is not a line the game knows.
    bool apply(std::string_view line);
    bool isAway(std::int32_t player) const { return away_.at(player); }
    // Whether the game waits for a person who has gone: a name or a turn the computer takes.
    bool awaitedIsAway() const;

private:
    std::int32_t hands() const;

    Answerer expected_;
    std::int32_t lastHands_ = kNoHands;
    std::array<bool, kMaxPlayers> away_{};

    static constexpr std::int32_t kNoHands = -1, kServerHands = -2, kAnyoneHands = -3;
};

}  // namespace table
