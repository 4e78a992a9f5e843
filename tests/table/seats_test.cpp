// Who answers at a table: the notice for each prompt, when typed-ahead keys must go, and which
// waits an away person's seat takes over.
#include <gtest/gtest.h>

#include "table/seats.h"

namespace {

using table::Answerer;
using table::Seats;

TEST(TableSeats, EachPromptIsAnnouncedForWhoAnswersIt) {
    Seats seats;
    const struct {
        Answerer who;
        const char* read;
        const char* key;
    } cases[] = {
        {Answerer::host(), "await menu", "await key any"},
        {Answerer::server(), "await count", "await key any"},
        {Answerer::person(3), "await name 3", "await key any"},
        {Answerer::player(2), "await line 2", "await key 2"},
        {Answerer::anyone(), "await menu", "await key any"},
    };
    for (const auto& c : cases) {
        seats.expect(c.who);
        EXPECT_EQ(seats.readNotice(), c.read);
        EXPECT_EQ(seats.keyNotice(), c.key);
    }
}

// The order of a game: the host's menu, the server's count, the names, then turns.
TEST(TableSeats, TypedAheadKeysGoWhenOtherHandsAnswer) {
    Seats seats;
    const struct {
        Answerer who;
        bool changed;
    } steps[] = {
        {Answerer::host(), true},      // nobody answered before
        {Answerer::host(), false},     // the menu again, after an information screen
        {Answerer::server(), true},    // what the host typed ahead never counts people
        {Answerer::person(0), true},   // nor does what the server wrote name anybody
        {Answerer::person(1), true},   //
        {Answerer::player(0), true},   //
        {Answerer::player(0), false},  // the same turn, or its announcement
        {Answerer::anyone(), true},    // a computer's turn
        {Answerer::anyone(), false},   // the next computer's
        {Answerer::player(1), true},   //
        {Answerer::person(1), false},  // the same person
        {Answerer::host(), true},      // the host is player 0's person...
        {Answerer::player(0), false},  // ...who plays player 0 after resuming a game
    };
    for (const auto& step : steps) {
        seats.expect(step.who);
        EXPECT_EQ(seats.changeHands(), step.changed)
            << static_cast<int>(step.who.kind) << " " << step.who.seat;
    }
}

TEST(TableSeats, AnAwayPersonsNameAndTurnAreTakenOverUntilTheyAreBack) {
    Seats seats;
    EXPECT_TRUE(seats.apply("away 1"));
    EXPECT_TRUE(seats.isAway(1));
    EXPECT_FALSE(seats.isAway(0));
    const struct {
        Answerer who;
        bool takenOver;
    } waits[] = {
        {Answerer::person(1), true},  {Answerer::player(1), true}, {Answerer::person(0), false},
        {Answerer::player(0), false}, {Answerer::anyone(), false}, {Answerer::server(), false},
    };
    for (const auto& wait : waits) {
        seats.expect(wait.who);
        EXPECT_EQ(seats.awaitedIsAway(), wait.takenOver)
            << static_cast<int>(wait.who.kind) << " " << wait.who.seat;
    }
    // The host's menu is the host's even with player 0's person away.
    EXPECT_TRUE(seats.apply("away 0"));
    seats.expect(Answerer::host());
    EXPECT_FALSE(seats.awaitedIsAway());
    // Lines the game does not know change nothing.
    EXPECT_FALSE(seats.apply("back 1 "));
    EXPECT_FALSE(seats.apply("back"));
    seats.expect(Answerer::player(1));
    EXPECT_TRUE(seats.awaitedIsAway());
    EXPECT_TRUE(seats.apply("back 1"));
    EXPECT_FALSE(seats.awaitedIsAway());
    EXPECT_TRUE(seats.apply("back 1"));  // twice is the same as once
    EXPECT_FALSE(seats.isAway(1));
}

}  // namespace
