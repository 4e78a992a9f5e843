#include "client/table_client.h"

#include <unistd.h>

#include <csignal>

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>
#include <nlohmann/json.hpp>

namespace join {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
using nlohmann::json;
using std::chrono::milliseconds;
using std::chrono::seconds;
using tcp = asio::ip::tcp;

constexpr seconds kAttemptLimit{15};    // from resolving the name to the welcome
constexpr seconds kHandshakeLimit{10};  // the WebSocket's opening and closing handshakes
constexpr seconds kIdleLimit{20};       // silence, with a ping at half of it, ends a link
constexpr seconds kLeaveLimit{2};       // the closing handshake when leaving
constexpr seconds kNoticeShown{4};
constexpr milliseconds kFirstRetry{250};
constexpr milliseconds kLongestRetry{8000};
constexpr std::chrono::minutes kRetryAfterDrop{10};
constexpr std::chrono::minutes kRetryAfterClosing{2};
constexpr std::size_t kMessageLimit = 1 << 20;  // a screen is a few kilobytes
constexpr std::size_t kQueueLimit = 64;         // messages waiting to go out
constexpr std::size_t kTextLimit = 200;         // reasons and notices
constexpr std::size_t kLinkLimit = 2100;

constexpr char kCtrlC = '\x03';
constexpr char kCtrlBackslash = '\x1c';
constexpr char kCtrlZ = '\x1a';

std::string field(const json& message, const char* key) {
    const auto found = message.find(key);
    return found != message.end() && found->is_string() ? found->get<std::string>() : "";
}

bool validToken(const std::string& token) {
    return !token.empty() && token.size() <= 64 &&
           token.find_first_not_of(
               "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
               "0123456789") == std::string::npos;
}

}  // namespace

struct TableClient::Link {
    explicit Link(asio::io_context& io) : resolver(io), ws(io), attemptTimer(io) {}

    tcp::resolver resolver;
    websocket::stream<beast::tcp_stream> ws;
    asio::steady_timer attemptTimer;
    websocket::response_type response;
    beast::flat_buffer buffer;
    std::deque<std::pair<std::string, bool>> outgoing;  // message, binary
    bool writing = false;
    bool open = false;        // the WebSocket handshake is done
    bool welcomed = false;    // the server has seated this client
    bool screenNext = false;  // the next binary message is the whole screen
    bool closeWanted = false;
    bool dead = false;
};

TableClient::TableClient(asio::io_context& io, TableUrl url, int keyboard, Screen& screen,
                         terminal::SavedMode& rawMode, bool keyFirst)
    : io_(io),
      url_(std::move(url)),
      screen_(screen),
      rawMode_(rawMode),
      keyboard_(io, keyboard),
      signals_(io, SIGTERM, SIGHUP, SIGINT),
      retryTimer_(io),
      noticeTimer_(io),
      leaveTimer_(io),
      token_(url_.token),
      keyFirst_(keyFirst) {
    for (const int number : {SIGQUIT, SIGTSTP, SIGCONT, SIGWINCH}) {
        signals_.add(number);
    }
    status_.table = url_.table;
}

TableClient::~TableClient() = default;

void TableClient::start() {
    awaitSignal();
    readKeys();
    if (!keyFirst_) {
        connect();
    }
}

void TableClient::connect() {
    auto link = std::make_shared<Link>(io_);
    link_ = link;
    link->attemptTimer.expires_after(kAttemptLimit);
    link->attemptTimer.async_wait([this, link](beast::error_code error) {
        if (!error) {
            lost(link, "no answer within " + std::to_string(kAttemptLimit.count()) + " seconds");
        }
    });
    link->resolver.async_resolve(
        url_.host, url_.port,
        [this, link](beast::error_code error, const tcp::resolver::results_type& found) {
            if (link->dead) {
                return;  // given up on meanwhile
            }
            if (error) {
                lost(link, "cannot find " + url_.host + ": " + error.message());
                return;
            }
            beast::get_lowest_layer(link->ws).async_connect(
                found, [this, link](beast::error_code failed, const tcp::endpoint& /*to*/) {
                    if (failed) {
                        lost(link, failed.message());
                        return;
                    }
                    handshake(link);
                });
        });
}

void TableClient::handshake(const std::shared_ptr<Link>& link) {
    if (link->dead) {
        return;
    }
    beast::get_lowest_layer(link->ws).expires_never();  // the WebSocket keeps its own time
    websocket::stream_base::timeout timeout{};
    timeout.handshake_timeout = kHandshakeLimit;
    timeout.idle_timeout = kIdleLimit;
    timeout.keep_alive_pings = true;
    link->ws.set_option(timeout);
    link->ws.set_option(websocket::stream_base::decorator([](websocket::request_type& request) {
        request.set(beast::http::field::user_agent, "kessandor-join/" KESSANDOR_VERSION);
    }));
    link->ws.read_message_max(kMessageLimit);
    link->ws.async_handshake(
        link->response, hostAndPort(url_), "/t/" + url_.table + "/ws",
        [this, link](beast::error_code error) {
            if (!error) {
                onConnected(link);
                return;
            }
            const unsigned answer = link->response.result_int();
            if (answer == 404 || answer == 410) {
                finish({1, 0, "kessandor-join: the server has no table " + url_.table});
            } else if (answer != 0) {
                lost(link, "the server answered " + std::to_string(answer) + " " +
                               visibleText(std::string(link->response.reason()), kTextLimit));
            } else {
                lost(link, error.message());
            }
        });
}

void TableClient::onConnected(const std::shared_ptr<Link>& link) {
    if (link->dead) {
        return;
    }
    link->open = true;
    send(link, json{{"type", "hello"}, {"token", token_}}.dump(), false);
    readNext(link);
}

void TableClient::readNext(const std::shared_ptr<Link>& link) {
    link->ws.async_read(link->buffer, [this, link](beast::error_code error, std::size_t /*n*/) {
        if (link->dead) {
            return;
        }
        if (error) {
            const bool closed = error == websocket::error::closed;
            lost(link, closed ? "the server closed the connection" : error.message());
            return;
        }
        const std::string message = beast::buffers_to_string(link->buffer.data());
        link->buffer.consume(link->buffer.size());
        if (link->ws.got_text()) {
            onText(link, message);
        } else {
            onBinary(link, message);
        }
        if (!link->dead && !finished_) {
            readNext(link);
        }
    });
}

void TableClient::onText(const std::shared_ptr<Link>& link, const std::string& text) {
    const json message = json::parse(text, nullptr, false);
    if (!message.is_object()) {
        return;  // not for us to understand: the contract says to ignore it
    }
    const std::string type = field(message, "type");
    if (type == "welcome") {
        onWelcome(link, message);
    } else if (type == "status" && link->welcomed) {
        status_ = readStatus(text);
        if (status_.table.empty()) {
            status_.table = url_.table;
        }
        showStatus();
    } else if (type == "notice") {
        showNotice(field(message, "text"));
    } else if (type == "refused") {
        finish({1, 0,
                "kessandor-join: the table refused: " +
                    visibleText(field(message, "reason"), kTextLimit)});
    } else if (type == "closing") {
        closingReason_ = visibleText(field(message, "reason"), kTextLimit);
        connection_ = "server closing: " + closingReason_;
        showStatus();
    }
}

void TableClient::onWelcome(const std::shared_ptr<Link>& link, const json& message) {
    if (link->welcomed) {
        return;
    }
    link->welcomed = true;
    link->screenNext = true;
    link->attemptTimer.cancel();
    if (const std::string token = field(message, "token"); validToken(token)) {
        token_ = token;  // a join token seats a person once; the seat's own brings them back
    }
    links_.own = visibleText(field(message, "link"), kLinkLimit);
    links_.join = visibleText(field(message, "join"), kLinkLimit);
    links_.watch = visibleText(field(message, "watch"), kLinkLimit);
    spectator_ = field(message, "role") == "spectator";
    welcomedOnce_ = true;
    giveUpAt_.reset();
    backoff_ = milliseconds{0};
    tries_ = 0;
    closingReason_.clear();
    connection_ = "online";
    showStatus();
}

void TableClient::onBinary(const std::shared_ptr<Link>& link, const std::string& bytes) {
    if (!link->welcomed) {
        return;
    }
    if (link->screenNext) {
        link->screenNext = false;
        screen_.showSnapshot(bytes);
    } else {
        screen_.showGame(bytes);
    }
}

// Ends one link, once; whether another follows depends on why.
void TableClient::lost(const std::shared_ptr<Link>& link, const std::string& why) {
    if (link->dead) {
        return;
    }
    link->dead = true;
    link->attemptTimer.cancel();
    link->resolver.cancel();
    beast::error_code ignored;
    beast::get_lowest_layer(link->ws).socket().close(ignored);
    if (link_ == link) {
        link_.reset();
    }
    if (finished_) {
        return;
    }
    if (leaving_) {
        finish(leaveEnding_);
    } else if (!welcomedOnce_) {
        finish(
            {1, 0, "kessandor-join: cannot join the table at " + hostAndPort(url_) + ": " + why});
    } else {
        retryLater();
    }
}

void TableClient::retryLater() {
    const auto now = std::chrono::steady_clock::now();
    if (!giveUpAt_) {
        giveUpAt_ = now + (closingReason_.empty() ? kRetryAfterDrop : kRetryAfterClosing);
    }
    if (now >= *giveUpAt_) {
        finish({1, 0, "kessandor-join: gave up reconnecting to " + hostAndPort(url_)});
        return;
    }
    backoff_ = backoff_.count() == 0 ? kFirstRetry : std::min(backoff_ * 2, kLongestRetry);
    ++tries_;
    const std::string trying = "reconnecting (try " + std::to_string(tries_) + ")";
    connection_ = closingReason_.empty() ? "connection lost, " + trying
                                         : "server closing: " + closingReason_ + ", " + trying;
    showStatus();
    retryTimer_.expires_after(backoff_);
    retryTimer_.async_wait([this](beast::error_code error) {
        if (!error && !finished_ && !leaving_) {
            connect();
        }
    });
}

void TableClient::send(const std::shared_ptr<Link>& link, std::string message, bool binary) {
    if (link->outgoing.size() >= kQueueLimit) {
        return;  // the server reads nothing: these keys would be too late anyway
    }
    link->outgoing.emplace_back(std::move(message), binary);
    writeNext(link);
}

// One write at a time, as the WebSocket allows; the closing handshake after the last one.
void TableClient::writeNext(const std::shared_ptr<Link>& link) {
    if (link->writing || link->dead) {
        return;
    }
    if (link->outgoing.empty()) {
        if (link->closeWanted) {
            link->writing = true;
            link->ws.async_close(websocket::close_code::normal,
                                 [this, link](beast::error_code) { lost(link, "left"); });
        }
        return;
    }
    link->writing = true;
    const auto& [message, binary] = link->outgoing.front();
    link->ws.binary(binary);
    link->ws.async_write(asio::buffer(message),
                         [this, link](beast::error_code error, std::size_t /*n*/) {
                             link->writing = false;
                             link->outgoing.pop_front();
                             if (error) {
                                 lost(link, error.message());
                                 return;
                             }
                             writeNext(link);
                         });
}

void TableClient::readKeys() {
    keyboard_.async_read_some(
        asio::buffer(keys_), [this](beast::error_code error, std::size_t count) {
            if (error == asio::error::operation_aborted || finished_ || leaving_) {
                return;
            }
            if (error) {
                return;  // the keyboard's input has ended (a pipe): watch on, typing nothing
            }
            onKeys(count);
            if (!finished_ && !leaving_) {
                readKeys();
            }
        });
}

// Ctrl-C (and Ctrl-\) leave the table, Ctrl-Z stops the client; every other byte is a key.
void TableClient::onKeys(std::size_t count) {
    if (keyFirst_) {
        keyFirst_ = false;
        const std::string_view typed(keys_.data(), count);
        if (typed.find(kCtrlC) != std::string_view::npos) {
            leave(0);
        } else {
            connect();
        }
        return;
    }
    std::string keys;
    for (std::size_t i = 0; i < count && !leaving_; ++i) {
        const char key = keys_.at(i);
        if (key == kCtrlC || key == kCtrlBackslash) {
            sendKeys(keys);
            leave(0);
        } else if (key == kCtrlZ) {
            sendKeys(keys);
            suspend();
        } else {
            keys += key;
        }
    }
    sendKeys(keys);
}

void TableClient::sendKeys(std::string& keys) {
    if (keys.empty() || leaving_) {
        return;
    }
    if (link_ && link_->welcomed && !spectator_) {
        send(link_, std::move(keys), true);
    } else if (spectator_) {
        showNotice("Spectators watch; their keys go nowhere.");
    } else {
        showNotice("Not connected: those keys were not sent.");
    }
    keys.clear();
}

void TableClient::awaitSignal() {
    signals_.async_wait([this](beast::error_code error, int number) {
        if (error || finished_) {
            return;
        }
        onSignal(number);
        awaitSignal();
    });
}

void TableClient::onSignal(int number) {
    switch (number) {
        case SIGWINCH:
            screen_.layOut();
            showStatus();
            break;
        case SIGTSTP:
            suspend();
            break;
        case SIGCONT:
            resumed();
            break;
        default:
            leave(number);
    }
}

// Hands the shell a terminal as it was, stops, and takes the terminal back on continue.
void TableClient::suspend() {
    screen_.tearDown();
    terminal::leaveRawMode(rawMode_);
    kill(getpid(), SIGSTOP);  // returns once continued
    resumedByUs_ = true;      // the SIGCONT that woke us is still on its way
    comeBack();
}

// Continued after a stop that was not ours (SIGSTOP from outside): the shell may have set
// its own mode on the terminal meanwhile.
void TableClient::resumed() {
    if (resumedByUs_) {
        resumedByUs_ = false;
        return;
    }
    comeBack();
}

void TableClient::comeBack() {
    if (rawMode_.fd >= 0) {
        terminal::enterRawMode(rawMode_.fd, rawMode_);
    }
    screen_.layOut();
    screen_.redraw();
    showStatus();
}

void TableClient::leave(int signal) {
    if (leaving_ || finished_) {
        return;
    }
    leaving_ = true;
    leaveEnding_ = {0, signal, ""};
    beast::error_code ignored;
    keyboard_.cancel(ignored);
    retryTimer_.cancel();
    if (!link_ || !link_->open) {
        finish(leaveEnding_);
        return;
    }
    link_->closeWanted = true;
    writeNext(link_);
    leaveTimer_.expires_after(kLeaveLimit);
    leaveTimer_.async_wait([this](beast::error_code error) {
        if (!error) {
            finish(leaveEnding_);
        }
    });
}

void TableClient::finish(Ending ending) {
    if (finished_) {
        return;
    }
    finished_ = true;
    ending_ = std::move(ending);
    io_.stop();
}

void TableClient::showStatus() {
    screen_.setStatus(notice_.empty() ? statusLine(status_, connection_, screen_.width())
                                      : visibleText(notice_, screen_.width()));
}

void TableClient::showNotice(const std::string& text) {
    notice_ = text.empty() ? " " : text;
    showStatus();
    noticeTimer_.expires_after(kNoticeShown);
    noticeTimer_.async_wait([this](beast::error_code error) {
        if (!error) {
            notice_.clear();
            showStatus();
        }
    });
}

}  // namespace join
