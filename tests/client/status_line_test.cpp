// The status line from the server's status message: what it says about each seat and whose
// turn it is, and that it never holds a byte a terminal would act on, nor overruns the row.
#include <gtest/gtest.h>

#include "client/status_line.h"

namespace join {
namespace {

constexpr const char* kPlaying = R"({"type": "status", "table": "abc", "state": "playing",
    "day": 5, "awaiting": {"who": "player", "seat": 1, "name": "Bob"},
    "seats": [{"seat": 0, "name": "Ann", "kind": "person", "connected": true,
               "computer_playing": false},
              {"seat": 1, "name": "Bob", "kind": "person", "connected": false,
               "computer_playing": true},
              {"seat": 2, "name": null, "kind": "person", "connected": false,
               "computer_playing": false},
              {"seat": 3, "name": "HAL", "kind": "computer", "connected": false,
               "computer_playing": true}],
    "spectators": 2, "you": 0})";

TEST(StatusLine, SaysWhoSitsWhereAndWhoseTurnItIs) {
    const TableStatus status = readStatus(kPlaying);
    EXPECT_EQ(statusLine(status, "online", 200),
              "abc online | day 5 | turn: Bob | 2 watching | Ann (you), Bob (away, cpu), "
              "seat 3 (away), HAL (cpu)");
}

TEST(StatusLine, YourTurnAndTheOtherStages) {
    TableStatus status = readStatus(kPlaying);
    status.awaitingSeat = 0;
    EXPECT_NE(statusLine(status, "online", 200).find("| your turn |"), std::string::npos);
    status.you.reset();  // a spectator is nobody's seat
    EXPECT_NE(statusLine(status, "online", 200).find("turn: Bob"), std::string::npos);
    EXPECT_EQ(statusLine(status, "online", 200).find("(you)"), std::string::npos);

    const TableStatus lobby = readStatus(
        R"({"table": "abc", "state": "lobby", "day": null,
            "awaiting": {"who": "any", "seat": null, "name": null}, "seats": [],
            "spectators": 0, "you": null})");
    EXPECT_EQ(statusLine(lobby, "connection lost, reconnecting (try 2)", 200),
              "abc connection lost, reconnecting (try 2) | lobby | any key");
}

TEST(StatusLine, AnythingUnreadableIsLeftOut) {
    EXPECT_EQ(statusLine(readStatus("not json"), "online", 79), "online");
    EXPECT_EQ(statusLine(readStatus("[1, 2]"), "online", 79), "online");
    const TableStatus odd = readStatus(
        R"({"table": 7, "state": "playing", "day": -3, "spectators": 1e9,
            "seats": [5, {"seat": "x", "name": ["Ann"], "kind": "person"}],
            "awaiting": "Ann", "you": true})");
    EXPECT_EQ(statusLine(odd, "online", 79), "online | playing | seat 1 (away)");
}

TEST(StatusLine, NamesShowOnlyPrintableText) {
    TableStatus status;
    status.seats = {{0, "Ann\x1b[2J\x07", false, true, false},
                    {1, "Zoë\xe2\x82\xac", false, true, false}};
    EXPECT_EQ(statusLine(status, "online", 79), "online | Ann?[2J?, Zo??");
    EXPECT_EQ(visibleText(std::string(100, 'x'), 16), std::string(16, 'x'));
}

TEST(StatusLine, NeverLongerThanTheRow) {
    TableStatus status = readStatus(kPlaying);
    for (std::size_t width = 0; width < 120; ++width) {
        const std::string line = statusLine(status, "online", width);
        EXPECT_LE(line.size(), width);
        if (width >= 3 && width < 83) {
            EXPECT_EQ(line.substr(line.size() - 3), "...") << width;
        }
    }
}

}  // namespace
}  // namespace join
