#include "server/table.h"

#include <sys/wait.h>
#include <csignal>

#include <algorithm>
#include <boost/asio/write.hpp>
#include <nlohmann/json.hpp>
#include <system_error>

#include "game/game.h"

#include "server/log.h"
#include "server/metrics.h"
#include "server/tables.h"
#include "server/tokens.h"

namespace asio = boost::asio;
using nlohmann::json;

namespace server {

namespace {

constexpr std::size_t kMostViewers = 32;
constexpr std::size_t kMostPendingKeys = 4096;  // typed ahead of a slow game
constexpr auto kNoticeEvery = std::chrono::seconds(1);
constexpr auto kRestartDelay = std::chrono::milliseconds(500);
constexpr std::size_t kMostCrashesAMinute = 5;
// The keys a terminal turns into signals or flow control (Ctrl-C, Ctrl-\, Ctrl-Z, Ctrl-Y,
// Ctrl-S, Ctrl-Q, Ctrl-O) and end of input (Ctrl-D): at a table nobody may stop, freeze or
// end everyone's game.
constexpr std::string_view kNeverTyped = "\x03\x1c\x1a\x19\x13\x11\x0f\x04";

const char* stateName(Table::State state) {
    switch (state) {
        case Table::State::lobby:
            return "lobby";
        case Table::State::playing:
            return "playing";
        case Table::State::finished:
            return "finished";
        case Table::State::restarting:
            break;
    }
    return "restarting";
}

std::string describeExit(int status) {
    if (WIFEXITED(status)) {
        return "exit-" + std::to_string(WEXITSTATUS(status));
    }
    return WIFSIGNALED(status) ? "signal-" + std::to_string(WTERMSIG(status)) : "unknown";
}

}  // namespace

std::string answerIn(std::string_view keys, bool keyWait) {
    std::string answer;
    for (const char c : keys) {
        if (kNeverTyped.find(c) != std::string_view::npos) {
            continue;
        }
        answer += c;
        if (keyWait || c == '\r' || c == '\n') {
            break;  // the answer is complete: nothing more until the game asks again
        }
    }
    return answer;
}

Table::Table(Tables& tables, TableRecord record)
    : tables_(tables), record_(std::move(record)), restartTimer_(tables.io()) {
    seats_.resize(record_.seatTokens.size());
    record_.names.resize(record_.seatTokens.size());
    state_ = record_.started ? State::playing : State::lobby;
}

Table::~Table() {
    for (auto& [viewer, connection] : viewers_) {
        viewer->closeWith("The table is closed.");
    }
}

std::filesystem::path Table::folder() const {
    return tables_.folderOf(record_.id);
}

bool Table::hasSave() const {
    std::error_code error;
    const std::filesystem::directory_iterator saves(folder() / "kessandor", error);
    return std::any_of(begin(saves), end(saves),
                       [](const auto& entry) { return entry.path().extension() == ".save"; });
}

std::size_t Table::connectedSeats() const {
    return static_cast<std::size_t>(std::count_if(
        seats_.begin(), seats_.end(), [](const Seat& seat) { return seat.connections > 0; }));
}

void Table::start() {
    std::error_code error;
    std::filesystem::create_directories(folder() / "data", error);
    std::filesystem::permissions(folder(), std::filesystem::perms::owner_all, error);
    GameLaunch launch{
        tables_.config().game, {"--table", std::to_string(GameProcess::kControlFd)}, folder()};
    if (record_.seed) {
        launch.args.insert(launch.args.end(), {"--seed", std::to_string(*record_.seed)});
    }
    if (record_.computers > 0) {
        launch.args.insert(launch.args.end(), {"-c", std::to_string(record_.computers), "--level",
                                               std::string(kLevelNames.at(record_.level))});
    }
    const bool resume = hasSave();
    if (resume) {
        launch.args.emplace_back("--resume");
    } else {
        // Nothing was saved yet (the title menu, the names): the table starts over.
        record_.started = false;
        players_.clear();
    }
    try {
        game_ = std::make_unique<GameProcess>(launch);
    } catch (const std::system_error& failure) {
        logEvent("game-not-started", {{"table", id()}, {"reason", failure.what()}});
        restartLater();
        return;
    }
    terminal_ =
        std::make_unique<asio::posix::stream_descriptor>(tables_.io(), game_->releaseTerminal());
    control_ =
        std::make_unique<asio::posix::stream_descriptor>(tables_.io(), game_->releaseControl());
    control_->non_blocking(true);
    const std::string pid = std::to_string(game_->pid());
    logEvent("game-started", {{"table", id()}, {"pid", pid}, {"resume", resume ? "yes" : "no"}});
    state_ = record_.started ? State::playing : State::lobby;
    awaiting_.reset();
    readOutput();
    readControl();
    for (std::size_t seat = 0; seat < seats_.size(); ++seat) {
        if (seats_[seat].away) {
            writeControl(awayLine(static_cast<std::int32_t>(seat), true));
        }
    }
    broadcastStatus();
}

void Table::readOutput() {
    terminal_->async_read_some(
        asio::buffer(outputBuffer_), [this](const boost::system::error_code& error, std::size_t n) {
            if (error) {
                return;  // the game has gone (EIO once the last slave is closed)
            }
            // The game tells whose answer a prompt awaits before it writes the prompt: hear
            // that first, so nobody can answer a prompt the table has not yet heard of.
            drainControl();
            const std::string_view bytes(outputBuffer_.data(), n);
            if (keysWritten_) {
                metrics().observeLatency(std::chrono::steady_clock::now() - *keysWritten_);
                keysWritten_.reset();
            }
            screen_.append(bytes);
            for (auto& [viewer, connection] : viewers_) {
                viewer->sendScreen(std::string(bytes));
            }
            answerCount();
            readOutput();
        });
}

// Waits for the control descriptor without reading it: only drainControl reads, so a line the
// game has told is never held in a read still pending when the output that follows is read.
void Table::readControl() {
    control_->async_wait(asio::posix::stream_descriptor::wait_read,
                         [this](const boost::system::error_code& error) {
                             if (error || !control_) {
                                 return;
                             }
                             if (drainControl()) {
                                 readControl();
                             }
                         });
}

// The people seated are the people playing: nobody types the number. It is typed once its
// question shows (the game tells of a read just before its prompt), so it echoes where a
// person's answer would.
void Table::answerCount() {
    constexpr std::string_view kQuestionEnd = "[?]: ";
    if (!countAsked_ || !screen_.endsWith(kQuestionEnd)) {
        return;
    }
    countAsked_ = false;
    writeToGame(std::to_string(std::max<std::int32_t>(1, peopleSeated())) + "\r");
    logEvent("game-set-up", {{"table", id()}, {"people", std::to_string(peopleSeated())}});
}

bool Table::drainControl() {
    boost::system::error_code error;
    std::array<char, 4096> bytes{};
    while (control_) {
        const std::size_t n = control_->read_some(asio::buffer(bytes), error);
        if (error == asio::error::would_block || error == asio::error::try_again) {
            return true;  // nothing more yet
        }
        if (error || n == 0) {
            return false;  // the game has closed its end
        }
        onControlBytes(std::string_view(bytes.data(), n));
    }
    return false;
}

void Table::onControlBytes(std::string_view bytes) {
    controlIn_.append(bytes);
    std::size_t end = 0;
    while ((end = controlIn_.find('\n')) != std::string::npos) {
        const std::string line = controlIn_.substr(0, end);
        controlIn_.erase(0, end + 1);
        if (const std::optional<ControlMessage> message = parseControlLine(line)) {
            onControl(*message);
        } else {
            logEvent("control-line-refused", {{"table", id()}, {"line", line.substr(0, 80)}});
        }
    }
    if (controlIn_.size() > kMaxControlLine) {
        logEvent("control-line-refused", {{"table", id()}, {"reason", "too-long"}});
        controlIn_.clear();
    }
}

void Table::onControl(const ControlMessage& message) {
    if (const auto* await = std::get_if<Await>(&message)) {
        onAwait(*await);
    } else if (const auto* player = std::get_if<PlayerLine>(&message)) {
        if (players_.size() <= static_cast<std::size_t>(player->player)) {
            players_.resize(static_cast<std::size_t>(player->player) + 1);
        }
        players_[static_cast<std::size_t>(player->player)] = {player->name, player->computer};
        if (!player->computer && static_cast<std::size_t>(player->player) < seats_.size()) {
            record_.names[static_cast<std::size_t>(player->player)] = player->name;
        }
        if (!record_.started) {
            record_.started = true;
            state_ = State::playing;
        }
        tables_.changed(*this);
    } else if (const auto* turn = std::get_if<TurnLine>(&message)) {
        day_ = turn->day;
    } else if (const auto* result = std::get_if<ResultLine>(&message)) {
        result_ = true;
        tables_.recordResult(*this, result->line);
    }
    broadcastStatus();
}

void Table::onAwait(const Await& await) {
    awaiting_ = await;
    answered_ = false;
    countAsked_ = await.who == Await::Who::count;
    answerCount();
}

bool Table::mayType(std::int32_t seat) const {
    if (seat < 0 || !awaiting_ || answered_ || state_ == State::finished) {
        return false;
    }
    switch (awaiting_->who) {
        case Await::Who::host:
            return seat == 0;
        case Await::Who::count:
            return false;
        case Await::Who::person:
        case Await::Who::player:
            return seat == awaiting_->player;
        case Await::Who::anyone:
            break;
    }
    return true;
}

void Table::writeToGame(std::string_view bytes) {
    if (terminal_ && toGame_.pending.size() + bytes.size() <= kMostPendingKeys) {
        send(*terminal_, toGame_, bytes);
    }
}

void Table::writeControl(std::string_view line) {
    if (control_) {
        send(*control_, toControl_, line);
    }
}

// One write at a time on a descriptor; what comes meanwhile goes out with the next one.
void Table::send(asio::posix::stream_descriptor& to, Outbox& box, std::string_view bytes) {
    box.pending.append(bytes);
    if (box.writing || box.pending.empty()) {
        return;
    }
    box.writing = true;
    auto sending = std::make_shared<std::string>(std::move(box.pending));
    box.pending.clear();
    asio::async_write(
        to, asio::buffer(*sending),
        [this, &to, &box, sending](const boost::system::error_code& error, std::size_t) {
            if (error == asio::error::operation_aborted) {
                return;  // the game has gone; its descriptors with it
            }
            box.writing = false;
            if (!error) {
                send(to, box, {});
            }
        });
}

std::optional<Attached> Table::attach(Viewer& viewer, const std::string& token,
                                      std::string& refusal) {
    if (viewers_.size() >= kMostViewers) {
        refusal = "This table has as many people connected as it can take.";
        return std::nullopt;
    }
    Attached attached;
    const auto seat = std::find(record_.seatTokens.begin(), record_.seatTokens.end(), token);
    if (seat != record_.seatTokens.end()) {
        attached = {Role::player, static_cast<std::int32_t>(seat - record_.seatTokens.begin()),
                    token};
    } else if (token == record_.joinToken && !record_.started && !finished() &&
               peopleSeated() < capacity()) {
        record_.seatTokens.push_back(newToken());
        record_.names.emplace_back();
        seats_.emplace_back();
        attached = {Role::player, peopleSeated() - 1, record_.seatTokens.back(), true};
        tables_.changed(*this);
        logEvent("seat-taken", {{"table", id()}, {"seat", std::to_string(attached.seat)}});
    } else if (token == record_.joinToken || token == record_.watchToken) {
        // Too late or too many to play: the join link still lets them watch.
        attached = {Role::spectator, -1, record_.watchToken};
    } else {
        refusal = "This link does not open this table.";
        return std::nullopt;
    }
    viewers_[&viewer] = Connection{attached.seat, {}};
    if (attached.seat >= 0) {
        seatConnected(attached.seat);
    }
    return attached;
}

void Table::leave(Viewer& viewer) {
    const auto found = viewers_.find(&viewer);
    if (found == viewers_.end()) {
        return;
    }
    const std::int32_t seat = found->second.seat;
    viewers_.erase(found);
    if (seat >= 0) {
        seatDisconnected(seat);
    }
    broadcastStatus();
}

void Table::seatConnected(std::int32_t seat) {
    Seat& s = seats_.at(static_cast<std::size_t>(seat));
    ++s.connections;
    s.awayTimer.reset();
    if (s.away) {
        s.away = false;
        writeControl(awayLine(seat, false));
        logEvent("seat-back", {{"table", id()}, {"seat", std::to_string(seat)}});
    }
}

void Table::seatDisconnected(std::int32_t seat) {
    Seat& s = seats_.at(static_cast<std::size_t>(seat));
    if (--s.connections > 0 || finished()) {
        return;
    }
    s.awayTimer = std::make_unique<asio::steady_timer>(tables_.io(), tables_.config().awayAfter);
    s.awayTimer->async_wait([this, seat](const boost::system::error_code& error) {
        if (!error) {
            markAway(seat);
        }
    });
}

void Table::markAway(std::int32_t seat) {
    Seat& s = seats_.at(static_cast<std::size_t>(seat));
    if (s.connections > 0 || s.away || finished()) {
        return;
    }
    s.away = true;
    writeControl(awayLine(seat, true));
    logEvent("seat-away", {{"table", id()}, {"seat", std::to_string(seat)}});
    broadcastStatus();
}

void Table::keys(Viewer& viewer, std::string_view bytes) {
    const auto found = viewers_.find(&viewer);
    if (found == viewers_.end()) {
        return;
    }
    if (mayType(found->second.seat)) {
        // Whoever typed in turn is told at once the next time they type out of turn.
        found->second.lastNotice = {};
        const std::string answer = answerIn(bytes, awaiting_->key);
        answered_ =
            awaiting_->key ? !answer.empty() : answer.ends_with('\r') || answer.ends_with('\n');
        if (!answer.empty()) {
            keysWritten_ = keysWritten_.value_or(std::chrono::steady_clock::now());
            writeToGame(answer);
        }
    } else {
        ++metrics().keysDropped;
        notice(viewer, found->second);
    }
}

std::string Table::awaitedName() const {
    if (!awaiting_ || awaiting_->who == Await::Who::anyone || awaiting_->who == Await::Who::count) {
        return {};
    }
    const auto p = static_cast<std::size_t>(
        awaiting_->who == Await::Who::host ? 0 : std::max(awaiting_->player, 0));
    if (p < players_.size() && !players_[p].name.empty()) {
        return players_[p].name;
    }
    return p < record_.names.size() ? record_.names[p] : std::string();
}

void Table::notice(Viewer& viewer, Connection& connection) {
    const auto now = std::chrono::steady_clock::now();
    if (now - connection.lastNotice < kNoticeEvery) {
        return;
    }
    connection.lastNotice = now;
    std::string text = "You are watching: spectators cannot type.";
    if (connection.seat >= 0) {
        const std::string name = awaitedName();
        const bool anyone = awaiting_ && awaiting_->who == Await::Who::anyone;
        text = anyone         ? "The game is busy: wait a moment."
               : name.empty() ? "It is not your turn."
                              : "It is " + name + "'s turn.";
        if (awaiting_ && awaiting_->who == Await::Who::host && connection.seat != 0) {
            text = "The host starts the game.";
        }
    }
    viewer.sendMessage(json{{"type", "notice"}, {"text", text}}.dump());
}

std::string Table::statusJson(const Connection& connection) const {
    json seats = json::array();
    const std::size_t count = std::max(players_.size(), seats_.size());
    for (std::size_t p = 0; p < count; ++p) {
        const bool person = p < seats_.size();
        const std::string& name = p < players_.size() ? players_[p].name : record_.names[p];
        seats.push_back({{"seat", p},
                         {"name", name.empty() ? json(nullptr) : json(name)},
                         {"kind", person ? "person" : "computer"},
                         {"connected", person && seats_[p].connections > 0},
                         {"computer_playing", !person || seats_[p].away}});
    }
    json awaiting = {{"who", "nobody"}, {"seat", nullptr}, {"name", nullptr}};
    if (awaiting_ && state_ != State::finished && state_ != State::restarting) {
        static constexpr std::array<const char*, 5> kWho = {"host", "nobody", "player", "player",
                                                            "any"};
        awaiting["who"] = kWho.at(static_cast<std::size_t>(awaiting_->who));
        if (awaiting_->who == Await::Who::host) {
            awaiting["seat"] = 0;
        } else if (awaiting_->player >= 0) {
            awaiting["seat"] = awaiting_->player;
        }
        if (const std::string name = awaitedName(); !name.empty()) {
            awaiting["name"] = name;
        }
    }
    std::int32_t spectators = 0;
    for (const auto& [viewer, other] : viewers_) {
        spectators += other.seat < 0 ? 1 : 0;
    }
    return json{{"type", "status"},
                {"table", id()},
                {"state", stateName(state_)},
                {"day", day_ > 0 ? json(day_) : json(nullptr)},
                {"awaiting", awaiting},
                {"seats", seats},
                {"spectators", spectators},
                {"you", connection.seat >= 0 ? json(connection.seat) : json(nullptr)}}
        .dump();
}

void Table::broadcastStatus() {
    for (auto& [viewer, connection] : viewers_) {
        viewer->sendMessage(statusJson(connection));
    }
}

void Table::gameEnded(int waitStatus) {
    const std::string how = describeExit(waitStatus);
    if (game_) {
        game_->reaped();
    }
    game_.reset();
    terminal_.reset();
    control_.reset();
    toGame_ = {};
    toControl_ = {};
    controlIn_.clear();
    awaiting_.reset();
    if (stopping_ || state_ == State::finished) {
        return;  // the server is stopping: the save stays for the next start
    }
    const bool normal = WIFEXITED(waitStatus) && WEXITSTATUS(waitStatus) == 0;
    logEvent("game-ended", {{"table", id()}, {"how", how}, {"result", result_ ? "yes" : "no"}});
    if (normal) {
        state_ = State::finished;
        tables_.finished(*this);
        broadcastStatus();
        return;
    }
    restartLater();
}

void Table::countSeats(std::size_t& connected, std::size_t& disconnected, std::size_t& away,
                       std::size_t& spectators) const {
    for (const Seat& seat : seats_) {
        ++(seat.connections > 0 ? connected : disconnected);
        away += seat.away ? 1 : 0;
    }
    for (const auto& [viewer, connection] : viewers_) {
        spectators += connection.seat < 0 ? 1 : 0;
    }
}

void Table::restartLater() {
    const auto now = std::chrono::steady_clock::now();
    std::erase_if(crashes_, [now](auto when) { return now - when > std::chrono::minutes(1); });
    crashes_.push_back(now);
    if (crashes_.size() > kMostCrashesAMinute) {
        logEvent("table-broken", {{"table", id()}, {"folder", folder().string()}});
        state_ = State::finished;
        tables_.finished(*this, true);
        broadcastStatus();
        return;
    }
    state_ = State::restarting;
    ++metrics().gamesRestarted;
    broadcastStatus();
    restartTimer_.expires_after(kRestartDelay);
    restartTimer_.async_wait([this](const boost::system::error_code& error) {
        if (!error) {
            start();
        }
    });
}

void Table::shutDown(const std::string& reason) {
    for (auto& [viewer, connection] : viewers_) {
        viewer->closeWith(reason);
    }
    viewers_.clear();
    stopping_ = true;  // so the game's end is not taken for a crash
    restartTimer_.cancel();
    for (Seat& seat : seats_) {
        seat.awayTimer.reset();
    }
    if (game_) {
        // SIGHUP, as a closed terminal gives: the game ends where it is, its save kept.
        kill(game_->pid(), SIGHUP);
    }
}

}  // namespace server
