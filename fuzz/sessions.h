// Realistic sessions at the keyboard, written as the whole standard input of a run: the title
// menu, player set-up, whole games with builds, share purchases and mergers, and the quit.
// The script is worked out by playing the same game alongside through the game API, with
// the clock fixed to fuzzing::kClock, so the program replays it move for move.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "game/shares.h"

namespace fuzzing {

struct SessionPlan {
    std::uint64_t seed = 1;  // the players' choices
    std::int32_t players = 2;
    std::int32_t games = 1;  // played one after the other, all with this many players
    // Visit the information screens, the map and the holdings, type answers the game rejects,
    // put two answers on one line.
    bool detours = false;
    // Build between companies to merge three or four at once.
    bool huntMergers = false;
    // A player quits the first game on this day (0: every game is played to its end).
    std::int32_t quitOnDay = 0;
    // Q at the title menu at the end; otherwise the input simply runs out there.
    bool quitAtTheEnd = true;
};

struct Session {
    std::string input;
    // What the program must show for it: the rejected coordinates, the final standings of
    // every game played to its end, and how the rules went.
    std::int32_t rejectedSpots = 0;
    std::vector<std::vector<Standing>> standings;
    std::int32_t mergers = 0;
    std::int32_t biggestMerger = 0;  // most companies joined by one build
    bool quitAtTheEnd = true;
};

// Writes the session. REQUIRES: prepareInProcessRuns() has been called; no game is running.
Session scriptSession(const SessionPlan& plan);

// Replays the session through the whole program and checks that it went as scripted.
// Returns an empty text when it did, else what went wrong.
std::string replayMismatch(const Session& session);

}  // namespace fuzzing
