// The table server's pure parts: what it hears from the game and from clients, the screen it
// keeps for newcomers, its limits, its tokens and its record of games.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "server/control.h"
#include "server/game_record.h"
#include "server/net.h"
#include "server/protocol.h"
#include "server/screen_log.h"
#include "server/serve_options.h"
#include "server/tokens.h"

using namespace server;

namespace {

Await awaitOf(std::string_view line) {
    const std::optional<ControlMessage> message = parseControlLine(line);
    EXPECT_TRUE(message && std::holds_alternative<Await>(*message)) << line;
    return message && std::holds_alternative<Await>(*message) ? std::get<Await>(*message) : Await{};
}

}  // namespace

TEST(ControlLines, EachAwaitNamesWhoseAnswerItIs) {
    EXPECT_EQ(awaitOf("await menu").who, Await::Who::host);
    EXPECT_EQ(awaitOf("await count").who, Await::Who::count);
    const Await name = awaitOf("await name 1");
    EXPECT_EQ(name.who, Await::Who::person);
    EXPECT_EQ(name.player, 1);
    const Await line = awaitOf("await line 4");
    EXPECT_EQ(line.who, Await::Who::player);
    EXPECT_EQ(line.player, 4);
    EXPECT_FALSE(line.key);
    EXPECT_TRUE(awaitOf("await key 0").key);
    EXPECT_EQ(awaitOf("await key any").who, Await::Who::anyone);
}

TEST(ControlLines, AnythingElseIsRefused) {
    for (const std::string_view line :
         {"", "await", "await line", "await line 5", "await line -1", "await line 01x",
          "await name any", "await menu 0", "await line 1 2", "turn 1", "turn 5 3", "turn 1 x",
          "player 0 robot Ann", "player 0 person", "player 0 person Ann extra",
          "player 0 person %z", "AWAIT menu"}) {
        EXPECT_FALSE(parseControlLine(line)) << '"' << line << '"';
    }
    EXPECT_FALSE(parseControlLine("result " + std::string(kMaxControlLine, 'x')));
}

TEST(ControlLines, PlayersTurnsAndResults) {
    const auto player = parseControlLine("player 2 computer Computer-1");
    ASSERT_TRUE(player && std::holds_alternative<PlayerLine>(*player));
    EXPECT_TRUE(std::get<PlayerLine>(*player).computer);
    EXPECT_EQ(std::get<PlayerLine>(*player).name, "Computer-1");
    // Names arrive escaped; a control byte is never shown to anyone as it is.
    const auto escaped = parseControlLine("player 0 person An%1bn%25");
    ASSERT_TRUE(escaped);
    EXPECT_EQ(std::get<PlayerLine>(*escaped).name, "An?n%");
    const auto turn = parseControlLine("turn 1 13");
    ASSERT_TRUE(turn && std::holds_alternative<TurnLine>(*turn));
    EXPECT_EQ(std::get<TurnLine>(*turn).player, 1);
    EXPECT_EQ(std::get<TurnLine>(*turn).day, 13);
    const auto result = parseControlLine("result 2026-12-08T10:00:00Z 1 people Ann 9000 1");
    ASSERT_TRUE(result && std::holds_alternative<ResultLine>(*result));
    EXPECT_EQ(std::get<ResultLine>(*result).line, "2026-12-08T10:00:00Z 1 people Ann 9000 1");
    EXPECT_EQ(awayLine(3, true), "away 3\n");
    EXPECT_EQ(awayLine(0, false), "back 0\n");
}

TEST(ScreenLog, ANewcomerSeesEverythingSinceTheLastClear) {
    ScreenLog log;
    log.append("old screen\n");
    EXPECT_EQ(log.replay(), "\x1b[H\x1b[2J\x1b[3Jold screen\n");  // no clear yet: one is added
    // The clear arrives split over two reads, with text of the new screen after it.
    log.append("more\n\x1b[H\x1b");
    log.append("[2J\x1b[3JMap of the Galaxy\n");
    EXPECT_EQ(log.replay(), "\x1b[H\x1b[2J\x1b[3JMap of the Galaxy\n");
    log.append("[Choice][?]  ");
    EXPECT_EQ(log.replay(), "\x1b[H\x1b[2J\x1b[3JMap of the Galaxy\n[Choice][?]  ");
}

TEST(ScreenLog, AScreenThatNeverClearsKeepsItsLastWholeLines) {
    ScreenLog log;
    const std::string line = std::string(79, 'x') + "\n";
    for (std::size_t i = 0; i < 2 * ScreenLog::kMostKept / line.size(); ++i) {
        log.append(line);
    }
    log.append("last\n");
    EXPECT_LE(log.size(), ScreenLog::kMostKept);
    const std::string replay = log.replay();
    EXPECT_TRUE(replay.ends_with(line + "last\n"));
    EXPECT_TRUE(replay.starts_with("\x1b[H\x1b[2J\x1b[3J" + line));  // cut at a line's start
}

TEST(RateLimit, ABurstPassesThenTheRateHolds) {
    RateLimit limit(10, 5);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(limit.take(start));
    }
    EXPECT_FALSE(limit.take(start));
    EXPECT_FALSE(limit.take(start + std::chrono::milliseconds(50)));  // half an event earned
    EXPECT_TRUE(limit.take(start + std::chrono::milliseconds(160)));
    EXPECT_TRUE(limit.take(start + std::chrono::seconds(10)));  // refills, but only to the burst
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(limit.take(start + std::chrono::seconds(10)));
    }
    EXPECT_FALSE(limit.take(start + std::chrono::seconds(10)));
}

TEST(ClientMessages, OnlyAnExactHelloCarriesAToken) {
    EXPECT_EQ(parseHello(R"({"type":"hello","token":"abc"})"), "abc");
    for (const std::string_view text :
         {"", "hello", "[]", R"({"type":"hello"})", R"({"type":"hello","token":7})",
          R"({"type":"Hello","token":"abc"})", R"({"type":"hello","token":"abc","x":1})",
          R"({"type":"hello","token":"abc")"}) {
        EXPECT_FALSE(parseHello(text)) << text;
    }
}

TEST(ClientMessages, ATableRequestTakesOnlyItsThreeFieldsInRange) {
    const std::optional<TableRequest> defaults = parseTableRequest("");
    ASSERT_TRUE(defaults);
    EXPECT_EQ(defaults->computers, 0);
    EXPECT_EQ(defaults->level, 1);
    EXPECT_FALSE(defaults->seed);
    const auto full = parseTableRequest(R"({"computers":4,"level":"hard","seed":4294967295})");
    ASSERT_TRUE(full);
    EXPECT_EQ(full->computers, 4);
    EXPECT_EQ(full->level, 2);
    EXPECT_EQ(full->seed, 4294967295U);
    for (const std::string_view body :
         {R"({"computers":5})", R"({"computers":-1})", R"({"computers":1.5})",
          R"({"level":"expert"})", R"({"seed":4294967296})", R"({"seed":"1"})", R"({"players":2})",
          "[]", "{", "null"}) {
        EXPECT_FALSE(parseTableRequest(body)) << body;
    }
}

TEST(Tokens, HoldOneHundredAndThirtyRandomBits) {
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        const std::string token = newToken();
        EXPECT_TRUE(looksLikeToken(token)) << token;
        seen.insert(token);
    }
    EXPECT_EQ(seen.size(), 1000U);
    EXPECT_FALSE(looksLikeToken("ABCDEFGHIJKLMNOPQRSTUVWXYZ"));  // upper case is not ours
    EXPECT_FALSE(looksLikeToken(newToken() + "a"));
    EXPECT_TRUE(looksLikeTableId("s1-abcdefgh23"));
    EXPECT_FALSE(looksLikeTableId("../etc"));
    EXPECT_FALSE(looksLikeTableId(std::string(41, 'a')));
}

TEST(ServeOptions, LoopbackUnlessToldOtherwise) {
    ServeOptions options;
    char program[] = "kessandor-serve";
    char state[] = "--state=/tmp/k";
    char* argv[] = {program, state, nullptr};
    ASSERT_FALSE(parseServeOptions(2, argv, options));
    EXPECT_EQ(options.listen, "127.0.0.1:8475");
    EXPECT_EQ(options.config.publicUrl, "http://127.0.0.1:8475");
    EXPECT_EQ(options.config.maxTables, 1000);
    EXPECT_EQ(options.config.awayAfter, std::chrono::minutes(3));
    EXPECT_EQ(options.tablesPerMinute, 10);
    std::string address;
    std::uint16_t port = 0;
    EXPECT_TRUE(splitListen("[::1]:80", address, port));
    EXPECT_EQ(address, "::1");
    EXPECT_EQ(port, 80);
    EXPECT_FALSE(splitListen("127.0.0.1", address, port));
    EXPECT_FALSE(splitListen("127.0.0.1:65536", address, port));
    EXPECT_FALSE(splitListen(":80", address, port));
}

TEST(ServeOptions, BadValuesAreUsageErrors) {
    for (std::vector<std::string> args :
         std::vector<std::vector<std::string>>{{"--max-tables", "0"},
                                               {"--away-minutes", "-1"},
                                               {"--tables-per-minute", "-1"},
                                               {"--tables-per-minute", "1.5"},
                                               {"--name", "S1"},
                                               {"--public-url", "ftp://x"},
                                               {"--listen", "nowhere"},
                                               {"extra"},
                                               {"--listen"}}) {
        std::vector<char*> argv{const_cast<char*>("kessandor-serve")};
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        ServeOptions options;
        options.config.state = "/tmp/k";
        EXPECT_TRUE(parseServeOptions(static_cast<int>(argv.size()) - 1, argv.data(), options))
            << args[0];
    }
}

TEST(ServeOptions, AProxysServerMayTakeAnyNumberOfTablesAMinute) {
    char program[] = "kessandor-serve";
    char state[] = "--state=/tmp/k";
    char none[] = "--tables-per-minute=0";
    char many[] = "--tables-per-minute=600";
    char* argv[] = {program, state, none, many, nullptr};
    ServeOptions options;
    ASSERT_FALSE(parseServeOptions(3, argv, options));
    EXPECT_EQ(options.tablesPerMinute, 0);
    ASSERT_FALSE(parseServeOptions(4, argv, options));
    EXPECT_EQ(options.tablesPerMinute, 600);
}

class GameRecordTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("kessandor-record-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    std::filesystem::path path() const { return folder_ / "record.sqlite"; }

    static GameResult game(std::int32_t level, std::initializer_list<std::int32_t> worths) {
        GameResult result{"2026-12-08T10:00:00Z", level, {}};
        std::int32_t rank = 0;
        for (const std::int32_t worth : worths) {
            result.players.push_back(
                {std::string("P").append(std::to_string(worth)), worth, ++rank});
        }
        return result;
    }

    std::filesystem::path folder_;
};

TEST_F(GameRecordTest, TheHallOfFameKeepsTheTenBestOfEachKindAcrossRestarts) {
    {
        GameRecord record(path());
        for (std::int32_t worth = 1000; worth <= 15000; worth += 1000) {
            ASSERT_EQ(record.add("t1", game(-1, {worth})), "");
        }
        ASSERT_EQ(record.add("t2", game(2, {50000, 20000})), "");
        ASSERT_EQ(record.add("t3", game(-1, {7000, 99000})), "");
    }
    GameRecord reopened(path());
    EXPECT_EQ(reopened.gameCount(), 17);
    const std::vector<FameList> fame = reopened.hallOfFame();
    ASSERT_EQ(fame.size(), 3U);
    EXPECT_EQ(fame[0].players, 1);
    EXPECT_FALSE(fame[0].computers);
    ASSERT_EQ(fame[0].best.size(), 10U);
    EXPECT_EQ(fame[0].best.front().netWorth, 15000);
    EXPECT_EQ(fame[0].best.back().netWorth, 6000);
    EXPECT_EQ(fame[1].players, 2);
    EXPECT_FALSE(fame[1].computers);
    EXPECT_EQ(fame[1].best.front().name, "P99000");
    EXPECT_EQ(fame[2].players, 2);
    EXPECT_TRUE(fame[2].computers);
    EXPECT_EQ(fame[2].best.size(), 2U);
}

TEST_F(GameRecordTest, AFileThatIsNotARecordIsRefused) {
    {
        std::FILE* file = std::fopen(path().c_str(), "w");
        ASSERT_NE(file, nullptr);
        std::fputs("not a database, but long enough to look like a header of one...\n", file);
        std::fclose(file);
    }
    EXPECT_THROW(GameRecord{path()}, std::runtime_error);
}
