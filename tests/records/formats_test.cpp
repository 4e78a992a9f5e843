// The text of a saved game and of the record of finished games: what is written reads back
// the same, and a file that is cut short, changed, newer or foreign is refused with the reason.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "game/position.h"
#include "records/save_format.h"
#include "records/score_format.h"
#include "records/text_fields.h"

namespace {

// Every field away from its default: five players, the last two the computer's, names that need
// escaping, companies with cells, shares and prices, the last offers, a later day and turn.
SavedGame busyGame() {
    Game game = position(5, {"*AA.", ".+.B", "..CC"}, {{3, 0, 1}, {}, {0, 7, 0}, {}, {1, 1, 1}});
    GameState state = game.state();
    state.offeredColumns = {11, 0, 5, 3, 7};
    state.offeredRows = {8, 0, 4, 2, 6};
    state.day = 2;  // six cells built: a turn of each of five players, then one more
    state.currentPlayer = 1;
    state.mergeCount = 4;
    state.computerLevel = 2;
    state.seed = 4294967295U;
    const std::vector<std::string> names = {"Ann Lee", "100%", "", "Zo\xC3\xAB", "\xFF\xFE;%20"};
    for (std::int32_t p = 0; p < kMaxPlayers; ++p) {
        state.players.at(p).name = names.at(p);
        state.players.at(p).cash = 17 * p;
        state.players.at(p).computer = p >= 3;
    }
    EXPECT_EQ(Game::checkState(state), "");
    return {state, "2026-12-07T19:17:00Z"};
}

std::string problemOf(std::string_view text) {
    std::string problem;
    EXPECT_FALSE(readSave(text, problem)) << text;
    return problem;
}

TEST(SaveFile, EveryFieldReadsBackTheSame) {
    const SavedGame game = busyGame();
    const std::string text = writeSave(game);
    EXPECT_TRUE(text.starts_with("kessandor-save 1\n")) << text;
    std::string problem;
    const std::optional<SavedGame> read = readSave(text, problem);
    ASSERT_TRUE(read) << problem << "\n" << text;
    EXPECT_TRUE(read->state == game.state);
    EXPECT_EQ(read->savedAt, game.savedAt);
}

TEST(SaveFile, ACutChangedNewerOrForeignFileIsRefusedWithTheReason) {
    const std::string text = writeSave(busyGame());
    std::string changed = text;
    changed[text.find("player ") + 7] ^= 1;  // the first player's cash, 0
    std::string newer = text;
    newer.replace(0, 16, "kessandor-save 2");
    GameState unsound = busyGame().state;
    unsound.companies[1].size = 5;  // B has one cell on the map
    const std::string kCut = "is truncated: it ends before its last line";
    const std::string kNoTime = "is damaged: line 2: the time it was saved is not a time in UTC";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", kCut},
        {text.substr(0, 10), kCut},
        {text.substr(0, text.size() / 2), kCut},
        {text.substr(0, text.size() - 1), kCut},
        {changed, "is damaged: its contents do not match their checksum"},
        {text + text, "is damaged: its contents do not match their checksum"},
        {newer, "was saved by a newer version of Kessandor (save format 2)"},
        {"kessandor-save one\n", "is not a Kessandor saved game"},
        {"PK\x03\x04 not a save\n", "is not a Kessandor saved game"},
        {writeSave({unsound, "2026-12-07T19:17:00Z"}),
         "is damaged: a company's size or price does not match its cells on the map"},
        {writeSave({busyGame().state, "x"}), kNoTime},
        {writeSave({busyGame().state, "2026-12-07T19:17\x1B[2J"}), kNoTime},
    };
    for (const auto& [file, problem] : cases) {
        EXPECT_EQ(problemOf(file), problem);
    }
}

// Each field in range, but no game played from its start gets there.
TEST(SaveFile, AGameNoPlayCanReachIsRefused) {
    const std::vector<std::pair<void (*)(GameState&), std::string>> forgeries = {
        {[](GameState& s) { s.players[0].cash = 2000000000; },
         "a player holds more cash and shares than the game so far can have paid"},
        {[](GameState& s) {  // on day 2, before any merger
             s.players[4].holdings[0] = 100000;
             s.mergeCount = 0;
         },
         "a player holds more cash and shares than the game so far can have paid"},
        {[](GameState& s) { s.day = 3; },
         "the map does not hold one built cell for each turn played"},
        {[](GameState& s) { s.currentPlayer = 0; },
         "the map does not hold one built cell for each turn played"},
        {[](GameState& s) {
             s.players[2].computer = true;
             s.players[3].computer = false;
         },
         "a person is seated after a computer"},
    };
    for (const auto& [forge, problem] : forgeries) {
        GameState state = busyGame().state;
        forge(state);
        EXPECT_EQ(problemOf(writeSave({state, "2026-12-07T19:17:00Z"})), "is damaged: " + problem);
    }
}

// Past the year 9999 the times have more digits, and still read back.
TEST(Times, AYearOfFiveDigitsReadsBack) {
    const std::string later = utcTime(253402300800);  // the first second of the year 10000
    EXPECT_EQ(later, "10000-01-01T00:00:00Z");
    std::string problem;
    const std::optional<SavedGame> read = readSave(writeSave({busyGame().state, later}), problem);
    ASSERT_TRUE(read) << problem;
    EXPECT_EQ(read->savedAt, later);
    std::string line = writeResult({later, -1, {{"Bo", 6000, 1}}});
    line.pop_back();
    ASSERT_TRUE(readResult(line));
    EXPECT_EQ(readResult(line)->finishedAt, later);
}

TEST(ScoresFile, AGameIsOneLineThatReadsBack) {
    const GameResult withComputers{
        "2026-12-07T19:17:00Z", 2, {{"Ann Lee", 91000, 1}, {"Computer-1", -5, 2}}};
    const GameResult peopleOnly{"1999-01-02T03:04:05Z", -1, {{"Bo", 6000, 1}}};
    EXPECT_EQ(writeResult(withComputers),
              "2026-12-07T19:17:00Z 2 computers-hard Ann%20Lee 91000 1 Computer-1 -5 2\n");
    EXPECT_EQ(writeResult(peopleOnly), "1999-01-02T03:04:05Z 1 people Bo 6000 1\n");
    for (const GameResult& game : {withComputers, peopleOnly}) {
        std::string line = writeResult(game);
        line.pop_back();
        const std::optional<GameResult> read = readResult(line);
        ASSERT_TRUE(read) << line;
        EXPECT_EQ(writeResult(*read), writeResult(game));
    }
    for (const std::string_view bad :
         {"", "2026-12-07T19:17:00Z 1 people Bo 6000", "2026-12-07 1 people Bo 6000 1",
          "2026-12-07T19:17:00Z 2 people Bo 6000 1", "2026-12-07T19:17:00Z 1 robots Bo 6000 1",
          "2026-12-07T19:17:00Z 1 people Bo 6000 2", "2026-12-07T19:17:00Z 1 people Bo $6000 1"}) {
        EXPECT_FALSE(readResult(bad)) << bad;
    }
    EXPECT_EQ(checkScoresHeader(scoresHeader()), "");
    EXPECT_EQ(checkScoresHeader("kessandor-save 1"), "is not a Kessandor record of games");
}

}  // namespace
