#include "server/tables.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <boost/asio/steady_timer.hpp>
#include <stdexcept>

#include "records/files.h"
#include "server/log.h"
#include "server/metrics.h"
#include "server/tokens.h"

namespace asio = boost::asio;

namespace server {

namespace {

constexpr auto kForgetFinishedAfter = std::chrono::hours(1);
constexpr std::size_t kTableIdCharacters = 10;  // 50 bits: names are not secrets, tokens are

// One server per state folder: a second one would start every game twice.
int lockStateFolder(const std::filesystem::path& state) {
    const std::string path = (state / "server.lock").string();
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (fd >= 0) {
            close(fd);
        }
        throw std::runtime_error(state.string() + " is in use by another kessandor-serve");
    }
    return fd;
}

std::filesystem::path prepareState(const std::filesystem::path& state) {
    std::error_code error;
    std::filesystem::create_directories(state / "tables", error);
    if (error) {
        throw std::runtime_error(state.string() + ": " + error.message());
    }
    std::filesystem::permissions(state, std::filesystem::perms::owner_all, error);
    return state / "record.sqlite";
}

}  // namespace

Tables::Tables(asio::io_context& io, ServerConfig config)
    : io_(io),
      config_(std::move(config)),
      record_(prepareState(config_.state)),
      recordWriter_(config_.state / "record.sqlite"),
      disk_(io),
      list_(io, disk_, config_.state / "tables.json"),
      children_(io, SIGCHLD) {
    lockFd_ = lockStateFolder(config_.state);
    load();
    watchChildren();
}

Tables::~Tables() {
    tables_.clear();  // kills and reaps any game still running
    if (lockFd_ >= 0) {
        close(lockFd_);
    }
}

void Tables::load() {
    for (TableRecord& record : list_.load()) {
        const std::string id = record.id;
        tables_.emplace(id, std::make_unique<Table>(*this, std::move(record)));
    }
}

void Tables::resumeAll() {
    for (auto& [id, table] : tables_) {
        table->start();
    }
    logEvent("tables-resumed", {{"count", std::to_string(tables_.size())}});
}

void Tables::changed(const Table& table) {
    if (table.finished()) {
        list_.remove(table.id());
    } else {
        list_.put(table.record());
    }
}

std::filesystem::path Tables::folderOf(const std::string& id) const {
    return config_.state / "tables" / id;
}

void Tables::discard(const std::string& id) {
    tables_.erase(id);  // kills and reaps its game
    list_.remove(id);
    std::error_code error;
    std::filesystem::remove_all(folderOf(id), error);
    logEvent("table-discarded", {{"table", id}});
}

Table* Tables::create(std::int32_t computers, std::int32_t level, std::optional<std::uint32_t> seed,
                      std::string& refusal) {
    if (liveCount() >= static_cast<std::size_t>(config_.maxTables)) {
        refusal = "This server holds as many tables as it may.";
        return nullptr;
    }
    TableRecord record;
    do {
        record.id =
            (config_.name.empty() ? "" : config_.name + "-") + randomBase32(kTableIdCharacters);
    } while (tables_.contains(record.id));
    record.joinToken = newToken();
    record.watchToken = newToken();
    record.seatTokens = {newToken()};
    record.computers = computers;
    record.level = level;
    record.seed = seed;
    const std::string id = record.id;
    Table& table =
        *tables_.emplace(id, std::make_unique<Table>(*this, std::move(record))).first->second;
    changed(table);
    logEvent("table-created", {{"table", id}, {"computers", std::to_string(computers)}});
    table.start();
    return &table;
}

Table* Tables::find(std::string_view id) {
    const auto found = tables_.find(id);
    return found == tables_.end() ? nullptr : found->second.get();
}

std::size_t Tables::liveCount() const {
    return static_cast<std::size_t>(
        std::count_if(tables_.begin(), tables_.end(),
                      [](const auto& entry) { return !entry.second->finished(); }));
}

std::size_t Tables::runningGames() const {
    return static_cast<std::size_t>(
        std::count_if(tables_.begin(), tables_.end(),
                      [](const auto& entry) { return entry.second->gamePid() > 0; }));
}

TableCounts Tables::counts() const {
    TableCounts counts;
    for (const auto& [id, table] : tables_) {
        switch (table->state()) {
            case Table::State::lobby:
                ++counts.lobby;
                break;
            case Table::State::playing:
                ++counts.playing;
                break;
            case Table::State::restarting:
                ++counts.restarting;
                break;
            case Table::State::finished:
                ++counts.finished;
                break;
        }
        table->countSeats(counts.seatsConnected, counts.seatsDisconnected, counts.seatsAway,
                          counts.spectators);
    }
    return counts;
}

std::string Tables::link(const std::string& id, const std::string& token) const {
    return config_.publicUrl + "/t/" + id + "#" + token;
}

void Tables::recordResult(const Table& table, std::string_view line) {
    std::optional<GameResult> result = readResult(line);
    if (!result) {
        logEvent("game-not-recorded", {{"table", table.id()}, {"reason", "unreadable result"}});
        return;
    }
    disk_.run([record = &recordWriter_, id = table.id(),
               game = std::move(*result)] { return record->add(id, game); },
              [id = table.id()](const std::string& problem) {
                  if (problem.empty()) {
                      ++metrics().gamesFinished;
                      logEvent("game-recorded", {{"table", id}});
                  } else {
                      logEvent("game-not-recorded", {{"table", id}, {"reason", problem}});
                  }
              });
}

void Tables::finished(const Table& table, bool keepFolder) {
    changed(table);
    std::error_code error;
    if (!keepFolder) {
        std::filesystem::remove_all(folderOf(table.id()), error);
    }
    auto timer = std::make_shared<asio::steady_timer>(io_, kForgetFinishedAfter);
    timer->async_wait([this, timer, id = table.id()](const boost::system::error_code& e) {
        if (!e) {
            tables_.erase(id);
        }
    });
}

void Tables::watchChildren() {
    children_.async_wait([this](const boost::system::error_code& error, int) {
        if (!error) {
            reapChildren();
            watchChildren();
        }
    });
}

void Tables::reapChildren() {
    int status = 0;
    pid_t pid = 0;
    while ((pid = waitpid(-1, &status, WNOHANG)) > 0) {
        for (auto& [id, table] : tables_) {
            if (table->gamePid() == pid) {
                table->gameEnded(status);
                break;
            }
        }
    }
}

void Tables::shutDown(const std::string& reason) {
    list_.writeNow();
    for (auto& [id, table] : tables_) {
        table->shutDown(reason);
    }
    logEvent("server-stopping", {{"tables", std::to_string(liveCount())}});
}

}  // namespace server
