#include "server/tables.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <boost/asio/steady_timer.hpp>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

#include "records/files.h"
#include "server/log.h"
#include "server/metrics.h"
#include "server/tokens.h"

namespace asio = boost::asio;
using nlohmann::json;

namespace server {

namespace {

constexpr auto kForgetFinishedAfter = std::chrono::hours(1);
constexpr std::size_t kTableIdCharacters = 10;  // 50 bits: names are not secrets, tokens are

std::filesystem::path listPath(const ServerConfig& config) {
    return config.state / "tables.json";
}

json toJson(const TableRecord& r) {
    json table = {{"id", r.id},
                  {"join", r.joinToken},
                  {"watch", r.watchToken},
                  {"seats", r.seatTokens},
                  {"names", r.names},
                  {"computers", r.computers},
                  {"level", r.level},
                  {"started", r.started}};
    if (r.seed) {
        table["seed"] = *r.seed;
    }
    return table;
}

// A table of the list, or nullopt when the entry is not one this server wrote.
std::optional<TableRecord> fromJson(const json& t) {
    try {
        TableRecord r;
        r.id = t.at("id").get<std::string>();
        r.joinToken = t.at("join").get<std::string>();
        r.watchToken = t.at("watch").get<std::string>();
        r.seatTokens = t.at("seats").get<std::vector<std::string>>();
        r.names = t.at("names").get<std::vector<std::string>>();
        r.computers = t.at("computers").get<std::int32_t>();
        r.level = t.at("level").get<std::int32_t>();
        r.started = t.at("started").get<bool>();
        if (t.contains("seed")) {
            r.seed = t.at("seed").get<std::uint32_t>();
        }
        const bool sound = looksLikeTableId(r.id) && looksLikeToken(r.joinToken) &&
                           looksLikeToken(r.watchToken) && !r.seatTokens.empty() &&
                           r.computers >= 0 && r.computers <= 4 && r.level >= 0 && r.level <= 2 &&
                           r.seatTokens.size() <= static_cast<std::size_t>(5 - r.computers) &&
                           std::all_of(r.seatTokens.begin(), r.seatTokens.end(),
                                       [](const std::string& s) { return looksLikeToken(s); });
        return sound ? std::optional(r) : std::nullopt;
    } catch (const json::exception&) {
        return std::nullopt;
    }
}

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
    std::ifstream in(listPath(config_));
    if (!in) {
        return;
    }
    std::stringstream text;
    text << in.rdbuf();
    const json list = json::parse(text.str(), nullptr, false);
    if (list.is_discarded() || !list.is_object() || !list.contains("tables") ||
        !list["tables"].is_array()) {
        throw std::runtime_error(listPath(config_).string() + " is damaged");
    }
    for (const json& entry : list["tables"]) {
        if (std::optional<TableRecord> record = fromJson(entry)) {
            const std::string id = record->id;
            tables_.emplace(id, std::make_unique<Table>(*this, std::move(*record)));
        } else {
            logEvent("table-list-entry-refused", {{"reason", "damaged"}});
        }
    }
}

void Tables::resumeAll() {
    for (auto& [id, table] : tables_) {
        table->start();
    }
    logEvent("tables-resumed", {{"count", std::to_string(tables_.size())}});
}

void Tables::persist() {
    json list = json::array();
    for (const auto& [id, table] : tables_) {
        if (!table->finished()) {
            list.push_back(toJson(table->record()));
        }
    }
    const std::string text = json{{"version", 1}, {"tables", list}}.dump(1) + "\n";
    const std::string path = listPath(config_).string();
    const std::string problem = files::replace(path, text, true);
    if (!problem.empty()) {
        logEvent("table-list-not-written", {{"reason", problem}});
    }
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
    persist();
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
    const std::optional<GameResult> result = readResult(line);
    const std::string problem = result ? record_.add(table.id(), *result) : "unreadable result";
    if (problem.empty()) {
        ++metrics().gamesFinished;
        logEvent("game-recorded", {{"table", table.id()}});
    } else {
        logEvent("game-not-recorded", {{"table", table.id()}, {"reason", problem}});
    }
}

void Tables::finished(const Table& table, bool keepFolder) {
    persist();
    std::error_code error;
    if (!keepFolder) {
        std::filesystem::remove_all(config_.state / "tables" / table.id(), error);
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
    persist();
    for (auto& [id, table] : tables_) {
        table->shutDown(reason);
    }
    logEvent("server-stopping", {{"tables", std::to_string(liveCount())}});
}

}  // namespace server
