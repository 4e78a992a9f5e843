// The table list on disk: what a restart finds after any change, how a burst of changes
// becomes a few writes, and what it refuses to load. Also the rule for what of a person's keys
// answers the game.
#include <gtest/gtest.h>
#include <unistd.h>

#include <boost/asio/executor_work_guard.hpp>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "server/disk_thread.h"
#include "server/table.h"
#include "server/table_list.h"
#include "server/tokens.h"

using namespace server;
namespace asio = boost::asio;

namespace {

TableRecord tableNamed(std::string id, std::int32_t computers = 0) {
    TableRecord r;
    r.id = std::move(id);
    r.joinToken = newToken();
    r.watchToken = newToken();
    r.seatTokens = {newToken()};
    r.names = {""};
    r.computers = computers;
    return r;
}

bool sameTable(const TableRecord& a, const TableRecord& b) {
    return a.id == b.id && a.joinToken == b.joinToken && a.watchToken == b.watchToken &&
           a.seatTokens == b.seatTokens && a.names == b.names && a.computers == b.computers &&
           a.level == b.level && a.seed == b.seed && a.started == b.started;
}

class TableListTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("kessandor-list-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    std::filesystem::path path() const { return folder_ / "tables.json"; }

    // Runs the loop until every change so far is reported written; what the report said.
    std::string waitForWrite(TableList& list) {
        std::optional<std::string> problem;
        list.whenWritten([&](const std::string& p) { problem = p; });
        io_.restart();  // a loop stops when it runs out of work, as it did after the last wait
        const auto guard = asio::make_work_guard(io_);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!problem && std::chrono::steady_clock::now() < deadline) {
            io_.run_one_for(std::chrono::milliseconds(100));
        }
        EXPECT_TRUE(problem.has_value()) << "the write was never reported";
        return problem.value_or("never reported");
    }

    // What a server starting afresh on the folder finds.
    std::vector<TableRecord> restart() {
        TableList again(io_, disk_, path());
        return again.load();
    }

    void writeFile(const std::string& text) const { std::ofstream(path()) << text; }

    asio::io_context io_;
    DiskThread disk_{io_};
    std::filesystem::path folder_;
};

}  // namespace

TEST_F(TableListTest, ARestartFindsEveryTableAsItWasLastChanged) {
    TableRecord ann = tableNamed("aaaaaaaaaa");
    TableRecord bob = tableNamed("bbbbbbbbbb", 2);
    bob.seed = 4294967295U;
    bob.level = 2;
    {
        TableList list(io_, disk_, path());
        EXPECT_TRUE(list.load().empty());  // no file yet: no tables
        list.put(ann);
        list.put(bob);
        ann.seatTokens.push_back(newToken());
        ann.names = {"Ann", "Bo \"the\" \\ ü"};
        ann.started = true;
        list.put(ann);
        EXPECT_EQ(waitForWrite(list), "");
    }
    const std::vector<TableRecord> found = restart();
    ASSERT_EQ(found.size(), 2U);
    EXPECT_TRUE(sameTable(found[0], ann));
    EXPECT_TRUE(sameTable(found[1], bob));
}

TEST_F(TableListTest, AFinishedTableIsGoneAfterARestart) {
    {
        TableList list(io_, disk_, path());
        list.put(tableNamed("aaaaaaaaaa"));
        list.put(tableNamed("bbbbbbbbbb"));
        ASSERT_EQ(waitForWrite(list), "");
        list.remove("aaaaaaaaaa");
        list.remove("nosuchtabl");  // not a change: nothing to write for it
        ASSERT_EQ(waitForWrite(list), "");
    }
    const std::vector<TableRecord> found = restart();
    ASSERT_EQ(found.size(), 1U);
    EXPECT_EQ(found[0].id, "bbbbbbbbbb");
}

TEST_F(TableListTest, ABurstOfChangesIsWrittenInAFewWritesAndEveryoneWaitingHearsOnce) {
    TableList list(io_, disk_, path());
    std::vector<int> heard(200, 0);
    for (int i = 0; i < 200; ++i) {
        list.put(tableNamed(std::string(10, static_cast<char>('a' + i % 26))));
        list.whenWritten([&heard, i](const std::string& problem) {
            EXPECT_EQ(problem, "");
            ++heard[static_cast<std::size_t>(i)];
        });
    }
    ASSERT_EQ(waitForWrite(list), "");
    // The first change starts a write; all the others wait for it and go in the second.
    EXPECT_LE(list.writes(), 2U);
    EXPECT_EQ(std::count(heard.begin(), heard.end(), 1), 200);
    EXPECT_EQ(restart().size(), 26U);
}

TEST_F(TableListTest, WriteNowLeavesNothingUnwrittenWithoutTheLoop) {
    {
        TableList list(io_, disk_, path());
        for (char c = 'a'; c <= 'j'; ++c) {
            list.put(tableNamed(std::string(10, c)));
        }
        list.writeNow();  // the server stops: its loop runs no more
    }
    EXPECT_EQ(restart().size(), 10U);
}

TEST_F(TableListTest, AListThatCannotBeWrittenIsReported) {
    TableList list(io_, disk_, folder_ / "no-such-folder" / "tables.json");
    list.put(tableNamed("aaaaaaaaaa"));
    EXPECT_NE(waitForWrite(list), "");
}

TEST_F(TableListTest, EntriesThatAreNotSoundAreLeftOutAndADamagedFileIsRefused) {
    const std::string good = tableListEntry(tableNamed("aaaaaaaaaa"));
    const std::string fiveComputers = tableListEntry(tableNamed("bbbbbbbbbb", 5));
    TableRecord shortToken = tableNamed("cccccccccc");
    shortToken.joinToken = "abc";
    const std::string twice = good;
    writeFile("{\"version\": 1, \"tables\": [" + good + ", " + fiveComputers + ", " +
              tableListEntry(shortToken) + ", " + twice + ", {\"id\": 7}]}");
    const std::vector<TableRecord> found = restart();
    ASSERT_EQ(found.size(), 1U);
    EXPECT_EQ(found[0].id, "aaaaaaaaaa");

    for (const char* damaged : {"", "{\"version\": 1, \"tables\": [", "[]", "{\"tables\": 3}"}) {
        writeFile(damaged);
        EXPECT_THROW(restart(), std::runtime_error) << damaged;
    }
}

TEST_F(TableListTest, WhatAKilledWriteLeftBehindIsCleanedUp) {
    writeFile("{\"version\": 1, \"tables\": []}");
    const std::string leftover = path().string() + ".0123456789abcdef.tmp";
    std::ofstream(leftover) << "half a list";
    EXPECT_TRUE(restart().empty());
    EXPECT_FALSE(std::filesystem::exists(leftover));
}

TEST(TableListEntries, OnlyWhatThisServerWritesIsRead) {
    TableRecord r = tableNamed("aaaaaaaaaa");
    EXPECT_TRUE(readTableListEntry(tableListEntry(r)).has_value());
    r.seatTokens.assign(6, newToken());  // more seats than a game has players
    EXPECT_FALSE(readTableListEntry(tableListEntry(r)).has_value());
    r = tableNamed("../../etc/x");  // a name that would lead out of the state folder
    EXPECT_FALSE(readTableListEntry(tableListEntry(r)).has_value());
    r = tableNamed("aaaaaaaaaa");
    r.level = 3;
    EXPECT_FALSE(readTableListEntry(tableListEntry(r)).has_value());
    EXPECT_FALSE(readTableListEntry("{\"id\": \"aaaaaaaaaa\"}").has_value());
    EXPECT_FALSE(readTableListEntry("not json").has_value());
}

TEST(Answers, ALineAnswerEndsAtItsLineEndAndNothingAfterItIsTyped) {
    EXPECT_EQ(answerIn("12\r34\r", false), "12\r");
    EXPECT_EQ(answerIn("Ann", false), "Ann");  // the rest of the line may come in the next frame
    EXPECT_EQ(answerIn("b\nq\r", false), "b\n");
}

TEST(Answers, AKeyWaitTakesOneKey) {
    EXPECT_EQ(answerIn("xyz", true), "x");
    EXPECT_EQ(answerIn("\x03z", true), "z");  // Ctrl-C is never a key for the game
}

TEST(Answers, NoKeyThatSignalsFreezesOrEndsTheGameIsTyped) {
    // Ctrl-C, Ctrl-\, Ctrl-Z, Ctrl-Y, Ctrl-S, Ctrl-Q, Ctrl-O, Ctrl-D.
    const std::string never = "\x03\x1c\x1a\x19\x13\x11\x0f\x04";
    EXPECT_EQ(answerIn(never + "s" + never + "\r", false), "s\r");
    EXPECT_EQ(answerIn(never, true), "");
    EXPECT_EQ(answerIn("\x15", true), "\x15");  // Ctrl-U is a key like any other
}

TEST(DiskThreadJobs, RunInTheOrderGivenAndReportOnTheLoop) {
    asio::io_context io;
    std::vector<int> ran, reported;
    const std::thread::id loop = std::this_thread::get_id();
    {
        DiskThread disk(io);
        for (int i = 0; i < 50; ++i) {
            disk.run(
                [&ran, i, loop] {
                    EXPECT_NE(std::this_thread::get_id(), loop);
                    ran.push_back(i);  // the loop waits in drain meanwhile
                    return i % 2 == 0 ? std::string() : "odd";
                },
                [&reported, i, loop](const std::string& problem) {
                    EXPECT_EQ(std::this_thread::get_id(), loop);
                    EXPECT_EQ(problem.empty(), i % 2 == 0);
                    reported.push_back(i);
                });
        }
        disk.drain();
        EXPECT_EQ(ran.size(), 50U);
        io.run();  // every report is on the loop's queue by now
        EXPECT_EQ(reported.size(), 50U);
        EXPECT_TRUE(std::is_sorted(ran.begin(), ran.end()));
        EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
    }
}

TEST(DiskThreadJobs, EveryJobGivenRunsBeforeTheThreadEndsButNoLateReport) {
    asio::io_context io;
    int ran = 0;
    bool reported = false;
    {
        DiskThread disk(io);
        for (int i = 0; i < 20; ++i) {
            disk.run(
                [&ran] {
                    ++ran;
                    return std::string();
                },
                [&reported](const std::string&) { reported = true; });
        }
    }  // the server stops: the jobs are done, the reports are no one's any more
    EXPECT_EQ(ran, 20);
    io.run();
    EXPECT_FALSE(reported);
}
