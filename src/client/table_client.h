// One person at a table: the WebSocket to the server, kept up across dropped connections
// with the seat's own token; the keys read from the keyboard and sent on; the signals that
// stop, resume, resize or end the client. Everything runs on one io_context thread.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include <boost/asio/io_context.hpp>
#include <boost/asio/posix/stream_descriptor.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <nlohmann/json_fwd.hpp>

#include "client/screen.h"
#include "client/status_line.h"
#include "client/url.h"
#include "console/raw_mode.h"

namespace join {

struct Links {
    std::string own;    // this person's own link, to come back with
    std::string join;   // seats the next person (players only)
    std::string watch;  // the spectators' link
};

struct Ending {
    int status = 0;       // the exit status
    int signal = 0;       // a signal to die of once the terminal is back, or 0
    std::string message;  // one line for standard error, or empty
};

class TableClient {
public:
    // `keyboard` is the descriptor keys come from (the client takes it over); `screen` the
    // window; `rawMode` the keyboard's saved settings, left and entered again around a stop.
    // With `keyFirst`, the client connects only after a first key (Ctrl-C leaves at once).
    // The signal handlers are in place from construction on.
    TableClient(boost::asio::io_context& io, TableUrl url, int keyboard, Screen& screen,
                terminal::SavedMode& rawMode, bool keyFirst);
    ~TableClient();
    TableClient(const TableClient&) = delete;
    TableClient& operator=(const TableClient&) = delete;

    void start();
    const Ending& ending() const { return ending_; }
    const Links& links() const { return links_; }
    bool spectator() const { return spectator_; }

private:
    struct Link;

    // The connection.
    void connect();
    void handshake(const std::shared_ptr<Link>& link);
    void onConnected(const std::shared_ptr<Link>& link);
    void onWelcome(const std::shared_ptr<Link>& link, const nlohmann::json& message);
    void readNext(const std::shared_ptr<Link>& link);
    void onText(const std::shared_ptr<Link>& link, const std::string& text);
    void onBinary(const std::shared_ptr<Link>& link, const std::string& bytes);
    void lost(const std::shared_ptr<Link>& link, const std::string& why);
    void retryLater();
    void send(const std::shared_ptr<Link>& link, std::string message, bool binary);
    void writeNext(const std::shared_ptr<Link>& link);

    // The keyboard and the signals.
    void readKeys();
    void onKeys(std::size_t count);
    void sendKeys(std::string& keys);
    void awaitSignal();
    void onSignal(int number);
    void suspend();
    void resumed();
    void comeBack();

    // Leaving: a closing handshake within a short deadline, then the end of the run.
    void leave(int signal);
    void finish(Ending ending);
    void showStatus();
    void showNotice(const std::string& text);

    boost::asio::io_context& io_;
    TableUrl url_;
    Screen& screen_;
    terminal::SavedMode& rawMode_;
    boost::asio::posix::stream_descriptor keyboard_;
    boost::asio::signal_set signals_;
    boost::asio::steady_timer retryTimer_;
    boost::asio::steady_timer noticeTimer_;
    boost::asio::steady_timer leaveTimer_;
    std::shared_ptr<Link> link_;
    std::string token_;
    Links links_;
    TableStatus status_;
    std::string connection_ = "connecting";
    std::string notice_;
    bool welcomedOnce_ = false;
    bool leaving_ = false;
    bool finished_ = false;
    bool resumedByUs_ = false;
    bool keyFirst_;
    bool spectator_ = false;
    int tries_ = 0;
    std::chrono::milliseconds backoff_{0};
    std::optional<std::chrono::steady_clock::time_point> giveUpAt_;
    std::string closingReason_;
    std::array<char, 256> keys_{};
    Ending ending_;
    Ending leaveEnding_;
};

}  // namespace join
