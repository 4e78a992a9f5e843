// The server's state across restarts, seen through Tables: a table created is there after a
// restart with the same links, the state folder has one server at a time, and a damaged table
// list stops the server rather than being written over. Also what the operator reads: log
// values and the latency histogram.
#include <gtest/gtest.h>
#include <unistd.h>

#include <boost/asio/executor_work_guard.hpp>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "server/log.h"
#include "server/metrics.h"
#include "server/tables.h"

using namespace server;
namespace asio = boost::asio;

namespace {

class TablesTest : public ::testing::Test {
protected:
    void SetUp() override {
        state_ = std::filesystem::temp_directory_path() /
                 ("kessandor-tables-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(state_);
    }
    void TearDown() override { std::filesystem::remove_all(state_); }

    ServerConfig config() const {
        ServerConfig c;
        c.state = state_;
        c.game = "/bin/true";  // the tables' games end at once: only their records matter here
        c.publicUrl = "http://127.0.0.1:8475";
        c.maxTables = 1;
        return c;
    }

    // Runs the loop until the table list on disk holds every change so far.
    void waitForList(Tables& tables) {
        bool written = false;
        tables.whenWritten([&](const std::string& problem) {
            EXPECT_EQ(problem, "");
            written = true;
        });
        io_.restart();
        const auto guard = asio::make_work_guard(io_);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!written && std::chrono::steady_clock::now() < deadline) {
            io_.run_one_for(std::chrono::milliseconds(100));
        }
        ASSERT_TRUE(written);
    }

    asio::io_context io_;
    std::filesystem::path state_;
};

// The value of the line of `page` that starts with `name` and a space.
double metricValue(const std::string& page, const std::string& name) {
    std::istringstream lines(page);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with(name + " ")) {
            return std::stod(line.substr(name.size() + 1));
        }
    }
    ADD_FAILURE() << "no " << name << " in\n" << page;
    return -1;
}

}  // namespace

TEST_F(TablesTest, ATableCreatedIsBackAfterARestartOnTheSameLinks) {
    TableRecord created;
    {
        Tables tables(io_, config());
        std::string refusal;
        const Table* table = tables.create(2, 2, 77, refusal);
        ASSERT_NE(table, nullptr) << refusal;
        created = table->record();
        // The server holds as many tables as it may (one, here): the next is refused.
        EXPECT_EQ(tables.create(0, 1, std::nullopt, refusal), nullptr);
        EXPECT_EQ(refusal, "This server holds as many tables as it may.");
        waitForList(tables);
    }
    Tables again(io_, config());
    const Table* table = again.find(created.id);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->record().seatTokens, created.seatTokens);
    EXPECT_EQ(table->record().joinToken, created.joinToken);
    EXPECT_EQ(table->record().watchToken, created.watchToken);
    EXPECT_EQ(table->record().computers, 2);
    EXPECT_EQ(table->record().level, 2);
    EXPECT_EQ(table->record().seed, 77U);
    EXPECT_EQ(again.link(created.id, created.joinToken),
              "http://127.0.0.1:8475/t/" + created.id + "#" + created.joinToken);
}

TEST_F(TablesTest, OneServerAtATimeOnAStateFolder) {
    const Tables first(io_, config());
    EXPECT_THROW(Tables second(io_, config()), std::runtime_error);
}

TEST_F(TablesTest, ADamagedTableListStopsTheServerAndIsLeftAsItIs) {
    std::filesystem::create_directories(state_);
    const std::string damaged = "{\"version\": 1, \"tables\": [{\"id\": ";
    std::ofstream(state_ / "tables.json") << damaged;
    EXPECT_THROW(Tables tables(io_, config()), std::runtime_error);
    std::ifstream in(state_ / "tables.json");
    const std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(kept, damaged);  // a person can still look at it, or mend it
}

TEST_F(TablesTest, TheLatencyHistogramCountsEachKeyInEveryBucketItFits) {
    const Tables tables(io_, config());
    const std::string before = metrics().render(tables);
    metrics().observeLatency(std::chrono::microseconds(500));   // within 1 ms
    metrics().observeLatency(std::chrono::milliseconds(3));     // within 5 ms
    metrics().observeLatency(std::chrono::milliseconds(2000));  // over the last bound
    const std::string after = metrics().render(tables);
    const auto added = [&](const std::string& name) {
        return metricValue(after, name) - metricValue(before, name);
    };
    EXPECT_EQ(added("kessandor_key_latency_seconds_bucket{le=\"0.001\"}"), 1);
    EXPECT_EQ(added("kessandor_key_latency_seconds_bucket{le=\"0.002\"}"), 1);
    EXPECT_EQ(added("kessandor_key_latency_seconds_bucket{le=\"0.005\"}"), 2);
    EXPECT_EQ(added("kessandor_key_latency_seconds_bucket{le=\"1\"}"), 2);
    EXPECT_EQ(added("kessandor_key_latency_seconds_bucket{le=\"+Inf\"}"), 3);
    EXPECT_EQ(added("kessandor_key_latency_seconds_count"), 3);
    EXPECT_NEAR(added("kessandor_key_latency_seconds_sum"), 2.0035, 1e-6);
    EXPECT_EQ(metricValue(after, "kessandor_tables{state=\"lobby\"}"), 0);
}

TEST(LogValues, NeverHoldASpaceAQuoteOrAControlByteAndLoseNothing) {
    std::string every;
    for (int byte = 0; byte < 256; ++byte) {
        every += static_cast<char>(byte);
    }
    const std::string value = logValue(every);
    std::string decoded;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const auto c = static_cast<unsigned char>(value[i]);
        ASSERT_TRUE(c > ' ' && c < 0x7F && c != '"' && c != '\\') << i;
        if (c == '%') {
            decoded += static_cast<char>(std::stoi(value.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            decoded += static_cast<char>(c);
        }
    }
    EXPECT_EQ(decoded, every);  // so a name with "event=" or a line end in it fakes no line
    EXPECT_EQ(logValue("Ann Bob"), "Ann%20Bob");
    EXPECT_EQ(logValue(""), "-");  // an empty value still keeps its key=value shape
}
