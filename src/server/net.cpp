#include "server/net.h"

#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <deque>
#include <iterator>
#include <nlohmann/json.hpp>

#include "server/log.h"
#include "server/metrics.h"
#include "server/protocol.h"
#include "server/tokens.h"
#include "server/web_pages.h"

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using nlohmann::json;

namespace server {

bool RateLimit::take(std::chrono::steady_clock::time_point now) {
    if (last_ != std::chrono::steady_clock::time_point{}) {
        const double seconds = std::chrono::duration<double>(now - last_).count();
        tokens_ = std::min(burst_, tokens_ + seconds * rate_);
    }
    last_ = now;
    if (tokens_ < 1) {
        return false;
    }
    tokens_ -= 1;
    return true;
}

namespace {

constexpr std::size_t kMostQueuedBytes = 1 << 20;  // a client this far behind is dropped
constexpr auto kOverLimitNoticeEvery = std::chrono::seconds(1);
constexpr std::int32_t kMostFloodedFrames = 256;  // key frames over the limit, then closed

std::string remoteAddress(const beast::tcp_stream& stream) {
    boost::system::error_code error;
    const tcp::endpoint peer = stream.socket().remote_endpoint(error);
    return error ? std::string("unknown") : peer.address().to_string();
}

// What a page may be asked for: the part before '?', '#'.
std::string_view pathOf(std::string_view target) {
    return target.substr(0, std::min(target.find('?'), target.find('#')));
}

// "/t/ID" or "/t/ID/ws": the table's name, or empty.
std::string tableOf(std::string_view path, bool websocketPath) {
    constexpr std::string_view kPrefix = "/t/";
    if (!path.starts_with(kPrefix)) {
        return {};
    }
    path.remove_prefix(kPrefix.size());
    if (websocketPath) {
        if (!path.ends_with("/ws")) {
            return {};
        }
        path.remove_suffix(3);
    }
    return looksLikeTableId(path) ? std::string(path) : std::string();
}

// Browsers say where a page came from; only this server's own pages may open a table's
// WebSocket or create tables. Programs (the terminal client) send no Origin.
bool originAllowed(const http::request<http::string_body>& request, const ServerConfig& config) {
    const auto origin = request.find(http::field::origin);
    if (origin == request.end()) {
        return true;
    }
    const std::string_view value(origin->value().data(), origin->value().size());
    const std::string host(request[http::field::host]);
    return value == config.publicUrl || value == "http://" + host || value == "https://" + host;
}

template <typename Body>
void secure(http::response<Body>& response, std::string_view contentType) {
    response.set(http::field::server, "kessandor");
    response.set(http::field::content_type, contentType);
    response.set(http::field::cache_control, "no-store");
    response.set("X-Content-Type-Options", "nosniff");
    response.set("Referrer-Policy", "no-referrer");
    response.set("X-Frame-Options", "DENY");
    response.set("Content-Security-Policy", contentSecurityPolicy());
}

http::response<http::string_body> answer(
    const http::request<http::string_body>& request, http::status status, std::string body,
    std::string_view contentType = "text/plain; charset=utf-8") {
    http::response<http::string_body> response{status, request.version()};
    secure(response, contentType);
    response.keep_alive(request.keep_alive());
    response.body() = std::move(body);
    response.prepare_payload();
    return response;
}

// Every refusal is logged and counted by its reason.
void refused(std::string_view why, std::string_view from, std::string_view table = "-") {
    ++metrics().refusals[std::string(why)];
    logEvent("refused", {{"why", why}, {"table", table}, {"from", from}});
}

json errorBody(std::string_view text) {
    return json{{"error", text}};
}

// ---------------------------------------------------------------------------------------
// One person (or spectator) at one table.
class WsSession : public Viewer, public std::enable_shared_from_this<WsSession> {
public:
    WsSession(Server& server, tcp::socket socket, std::string tableId, std::string address)
        : server_(server),
          ws_(std::move(socket)),
          tableId_(std::move(tableId)),
          address_(std::move(address)),
          helloTimer_(ws_.get_executor()),
          keys_(server.limits().keysPerSecond, server.limits().keyBurst) {}

    ~WsSession() override {
        if (table_ != nullptr) {
            table_->leave(*this);
        }
        server_.connectionClosed();
    }

    void accept(const http::request<http::string_body>& request) {
        ws_.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
        ws_.read_message_max(server_.limits().maxMessage);
        ws_.set_option(websocket::stream_base::decorator([](websocket::response_type& response) {
            response.set(http::field::server, "kessandor");
        }));
        ws_.async_accept(request, [self = shared_from_this()](beast::error_code error) {
            if (!error) {
                self->awaitHello();
            }
        });
    }

    // Until the welcome, the table's bytes and status are not sent: the welcome's replay of
    // the screen and its status hold them.
    void sendScreen(std::string bytes) override {
        if (welcomed_) {
            queue(true, std::move(bytes));
        }
    }
    void sendMessage(std::string text) override {
        if (welcomed_) {
            queue(false, std::move(text));
        }
    }

    void closeWith(std::string reason) override {
        table_ = nullptr;  // the table has let this viewer go
        queue(false, json{{"type", "closing"}, {"reason", reason}}.dump());
        closeAfterWrites_ = true;
    }

private:
    void awaitHello() {
        helloTimer_.expires_after(server_.limits().helloWithin);
        helloTimer_.async_wait([weak = weak_from_this()](const boost::system::error_code& error) {
            if (auto self = weak.lock(); self && !error && !self->hello_) {
                self->refuse("No hello in time.");
            }
        });
        read();
    }

    void read() {
        ws_.async_read(buffer_, [self = shared_from_this()](beast::error_code error, std::size_t) {
            self->onRead(error);
        });
    }

    void onRead(beast::error_code error) {
        if (error) {
            if (error == websocket::error::message_too_big) {
                refused("message-too-big", address_);
            }
            leaveTable();
            return;
        }
        ++metrics().messagesIn;
        const std::string message = beast::buffers_to_string(buffer_.data());
        buffer_.consume(buffer_.size());
        if (!hello_) {
            onHello(ws_.got_text(), message);
        } else if (!ws_.got_text() && table_ != nullptr) {
            onKeys(message);
        }
        if (!closing_) {
            read();
        }
    }

    void onHello(bool text, const std::string& message) {
        const std::optional<std::string> hello = text ? parseHello(message) : std::nullopt;
        const bool wellFormed = hello.has_value();
        const std::string token = hello.value_or("");
        Table* table = server_.tables().find(tableId_);
        std::string refusal = "This link does not open a table on this server.";
        std::optional<Attached> attached;
        if (!wellFormed) {
            refusal = "The first message must be a hello with a token.";
        } else if (table != nullptr && looksLikeToken(token)) {
            attached = table->attach(*this, token, refusal);
        }
        if (!attached) {
            refused(wellFormed ? "token" : "hello", address_, tableId_);
            refuse(refusal);
            return;
        }
        hello_ = true;
        helloTimer_.cancel();
        table_ = table;
        if (!attached->newSeat) {
            welcome(*attached);
            return;
        }
        // A new seat's token is handed out once the table list holds it, so that a restart
        // after any crash still knows the seat.
        server_.tables().whenWritten(
            [self = shared_from_this(), attached = *attached](const std::string&) {
                if (self->table_ != nullptr) {
                    self->welcome(attached);
                }
            });
    }

    void welcome(const Attached& attached) {
        welcomed_ = true;
        const TableRecord& record = table_->record();
        const Tables& tables = server_.tables();
        json message = {{"type", "welcome"},
                        {"table", record.id},
                        {"role", attached.role == Role::player ? "player" : "spectator"},
                        {"seat", attached.seat >= 0 ? json(attached.seat) : json(nullptr)},
                        {"host", attached.seat == 0},
                        {"token", attached.token},
                        {"link", tables.link(record.id, attached.token)},
                        {"watch", tables.link(record.id, record.watchToken)},
                        {"join", nullptr}};
        if (attached.role == Role::player) {
            message["join"] = tables.link(record.id, record.joinToken);
        }
        logEvent("joined", {{"table", record.id},
                            {"seat", attached.seat >= 0 ? std::to_string(attached.seat) : "-"},
                            {"from", address_}});
        sendMessage(message.dump());
        sendScreen(table_->screenReplay());
        table_->statusChanged();
    }

    void onKeys(const std::string& bytes) {
        if (!welcomed_) {
            return;  // typed before the person could see the table
        }
        if (bytes.size() > server_.limits().maxKeyFrame || !keys_.take()) {
            overLimit();
            return;
        }
        table_->keys(*this, bytes);
    }

    // Keys over the limit are not typed. The typist is told, at most once a second (a client
    // that did not know would wait for an echo that never comes); a flood ends the connection.
    void overLimit() {
        ++metrics().keysOverLimit;
        if (++flooded_ > kMostFloodedFrames) {
            refused("flood", address_, tableId_);
            refuse("Too many keys at once.");
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now - lastOverLimit_ >= kOverLimitNoticeEvery) {
            lastOverLimit_ = now;
            refused("keys-over-limit", address_, tableId_);
            sendMessage(
                json{{"type", "notice"}, {"text", "Too many keys at once: some were not typed."}}
                    .dump());
        }
    }

    void refuse(const std::string& reason) {
        leaveTable();
        queue(false, json{{"type", "refused"}, {"reason", reason}}.dump());
        closeAfterWrites_ = true;
    }

    void leaveTable() {
        if (table_ != nullptr) {
            Table* table = table_;
            table_ = nullptr;
            table->leave(*this);
        }
    }

    void queue(bool binary, std::string bytes) {
        if (closing_) {
            return;
        }
        queuedBytes_ += bytes.size();
        if (queuedBytes_ > kMostQueuedBytes) {
            logEvent("dropped", {{"why", "slow-client"}, {"table", tableId_}, {"from", address_}});
            leaveTable();
            closing_ = true;
            beast::get_lowest_layer(ws_).close();
            return;
        }
        outbox_.emplace_back(binary, std::move(bytes));
        if (outbox_.size() == 1) {
            write();
        }
    }

    void write() {
        if (outbox_.empty()) {
            if (closeAfterWrites_ && !closing_) {
                closing_ = true;
                ws_.async_close(websocket::close_code::policy_error,
                                [self = shared_from_this()](beast::error_code) {});
            }
            return;
        }
        ws_.binary(outbox_.front().first);
        ws_.async_write(asio::buffer(outbox_.front().second),
                        [self = shared_from_this()](beast::error_code error, std::size_t) {
                            if (error) {
                                self->leaveTable();
                                self->outbox_.clear();
                                return;
                            }
                            ++metrics().messagesOut;
                            self->queuedBytes_ -= self->outbox_.front().second.size();
                            self->outbox_.pop_front();
                            self->write();
                        });
    }

    Server& server_;
    websocket::stream<beast::tcp_stream> ws_;
    beast::flat_buffer buffer_;
    std::string tableId_, address_;
    asio::steady_timer helloTimer_;
    RateLimit keys_;
    Table* table_ = nullptr;
    bool hello_ = false, closing_ = false, closeAfterWrites_ = false;
    std::chrono::steady_clock::time_point lastOverLimit_{};  // when the typist was last told
    bool welcomed_ = false;                                  // the welcome has been sent
    std::int32_t flooded_ = 0;
    std::deque<std::pair<bool, std::string>> outbox_;
    std::size_t queuedBytes_ = 0;
};

// ---------------------------------------------------------------------------------------
// One HTTP connection: pages, the table API, and the upgrade to a table's WebSocket.
class HttpSession : public std::enable_shared_from_this<HttpSession> {
public:
    HttpSession(Server& server, tcp::socket socket, bool metricsOnly)
        : server_(server),
          stream_(std::move(socket)),
          address_(remoteAddress(stream_)),
          metricsOnly_(metricsOnly) {}
    ~HttpSession() {
        if (!upgraded_) {
            server_.connectionClosed();
        }
    }

    void run() { read(); }

private:
    void read() {
        parser_.emplace();
        parser_->body_limit(server_.limits().maxBodyBytes);
        parser_->header_limit(8 * 1024);
        stream_.expires_after(server_.limits().httpTimeout);
        http::async_read(stream_, buffer_, *parser_,
                         [self = shared_from_this()](beast::error_code error, std::size_t) {
                             self->onRead(error);
                         });
    }

    void onRead(beast::error_code error) {
        if (error == http::error::end_of_stream) {
            stream_.socket().shutdown(tcp::socket::shutdown_send, error);
            return;
        }
        if (error) {
            if (error == http::error::body_limit || error == http::error::header_limit) {
                refused("request-too-big", address_);
                http::request<http::string_body> none;
                none.version(11);
                none.keep_alive(false);
                send(answer(none, http::status::payload_too_large, "Too big.\n"));
            }
            return;
        }
        http::request<http::string_body> request = parser_->release();
        if (metricsOnly_) {
            send(pathOf(request.target()) == "/metrics"
                     ? answer(request, http::status::ok, metrics().render(server_.tables()),
                              "text/plain; version=0.0.4; charset=utf-8")
                     : answer(request, http::status::not_found, "Only /metrics here.\n"));
            return;
        }
        if (websocket::is_upgrade(request)) {
            upgrade(request);
            return;
        }
        if (request.method() == http::verb::post && pathOf(request.target()) == "/api/tables") {
            createTable(request);
            return;
        }
        send(route(request));
    }

    void upgrade(const http::request<http::string_body>& request) {
        const std::string table = tableOf(pathOf(request.target()), true);
        if (table.empty() || !originAllowed(request, server_.tables().config())) {
            refused(table.empty() ? "no-such-path" : "origin", address_);
            send(answer(request, http::status::forbidden, "Not here.\n"));
            return;
        }
        upgraded_ = true;  // the WebSocket session counts the connection from now on
        stream_.expires_never();
        std::make_shared<WsSession>(server_, stream_.release_socket(), table, address_)
            ->accept(request);
    }

    http::response<http::string_body> route(const http::request<http::string_body>& request) {
        const std::string_view path = pathOf(request.target());
        if (request.method() != http::verb::get && request.method() != http::verb::head) {
            return answer(request, http::status::method_not_allowed, "Not allowed.\n");
        }
        if (path == "/healthz") {
            return answer(request, http::status::ok, "ok\n");
        }
        if (path == "/api/hall-of-fame") {
            return answer(request, http::status::ok, hallOfFameJson(), "application/json");
        }
        if (const std::string table = tableOf(path, false); !table.empty()) {
            if (server_.tables().find(table) == nullptr) {
                return answer(request, http::status::not_found, "There is no such table.\n");
            }
            return page(request, "/table");
        }
        return page(request, std::string(path));
    }

    http::response<http::string_body> page(const http::request<http::string_body>& request,
                                           const std::string& path) {
        const WebPage* found = findWebPage(path);
        if (found == nullptr) {
            return answer(request, http::status::not_found, "Not found.\n");
        }
        return answer(request, http::status::ok, std::string(found->body), found->contentType);
    }

    // Answers once the new table is in the table list on disk: links handed out before that
    // could open nothing after a crash.
    void createTable(const http::request<http::string_body>& request) {
        if (!originAllowed(request, server_.tables().config())) {
            send(refusedTable(request, "origin", http::status::forbidden, "origin"));
            return;
        }
        if (!server_.mayCreateTable(address_)) {
            send(refusedTable(request, "tables-too-fast", http::status::too_many_requests,
                              "Too many new tables; try again in a minute."));
            return;
        }
        const std::optional<TableRequest> wanted = parseTableRequest(request.body());
        if (!wanted) {
            send(refusedTable(request, "bad-table-request", http::status::bad_request,
                              "computers 0-4, level easy|normal|hard, seed 0-4294967295"));
            return;
        }
        std::string refusal;
        Table* table =
            server_.tables().create(wanted->computers, wanted->level, wanted->seed, refusal);
        if (table == nullptr) {
            send(refusedTable(request, "too-many-tables", http::status::service_unavailable,
                              refusal));
            return;
        }
        // Held by pointer: the answer needs the request's version and keep-alive.
        auto held = std::make_shared<http::request<http::string_body>>(request);
        server_.tables().whenWritten(
            [self = shared_from_this(), held, id = table->id()](const std::string& problem) {
                self->send(self->created(*held, id, problem));
            });
    }

    // A refused request for a new table: logged and counted as `why`, `text` for the person.
    http::response<http::string_body> refusedTable(const http::request<http::string_body>& request,
                                                   std::string_view why, http::status status,
                                                   std::string_view text) {
        refused(why, address_);
        return answer(request, status, errorBody(text).dump(), "application/json");
    }

    http::response<http::string_body> created(const http::request<http::string_body>& request,
                                              const std::string& id, const std::string& problem) {
        Tables& tables = server_.tables();
        const Table* table = tables.find(id);
        if (!problem.empty() || table == nullptr) {
            tables.discard(id);
            return refusedTable(request, "table-list-not-written",
                                http::status::service_unavailable,
                                "The server cannot keep a new table just now.");
        }
        const TableRecord& r = table->record();
        const json links = {{"table", r.id},
                            {"host", tables.link(r.id, r.seatTokens.front())},
                            {"join", tables.link(r.id, r.joinToken)},
                            {"watch", tables.link(r.id, r.watchToken)}};
        return answer(request, http::status::created, links.dump(), "application/json");
    }

    std::string hallOfFameJson() const {
        json lists = json::array();
        for (const FameList& list : server_.tables().gameRecord().hallOfFame()) {
            json best = json::array();
            std::transform(list.best.begin(), list.best.end(), std::back_inserter(best),
                           [](const FameEntry& entry) {
                               return json{{"name", entry.name},
                                           {"net_worth", entry.netWorth},
                                           {"finished", entry.finishedAt}};
                           });
            lists.push_back(
                {{"players", list.players}, {"computers", list.computers}, {"best", best}});
        }
        return json{{"hall_of_fame", lists}}.dump();
    }

    void send(http::response<http::string_body> response) {
        auto shared = std::make_shared<http::response<http::string_body>>(std::move(response));
        http::async_write(
            stream_, *shared,
            [self = shared_from_this(), shared](beast::error_code error, std::size_t) {
                if (error || !shared->keep_alive()) {
                    self->stream_.socket().shutdown(tcp::socket::shutdown_send, error);
                    return;
                }
                self->read();
            });
    }

    Server& server_;
    beast::tcp_stream stream_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    std::string address_;
    bool metricsOnly_ = false;
    bool upgraded_ = false;
};

}  // namespace

namespace {

void listenOn(tcp::acceptor& acceptor, const tcp::endpoint& at) {
    acceptor.open(at.protocol());
    acceptor.set_option(asio::socket_base::reuse_address(true));
    acceptor.bind(at);
    acceptor.listen(asio::socket_base::max_listen_connections);
}

}  // namespace

Server::Server(asio::io_context& io, Tables& tables, const tcp::endpoint& at,
               std::optional<tcp::endpoint> metricsAt, const NetLimits& limits)
    : io_(io), tables_(tables), limits_(limits), acceptor_(io), metricsAcceptor_(io) {
    listenOn(acceptor_, at);
    accept(acceptor_, false);
    if (metricsAt) {
        listenOn(metricsAcceptor_, *metricsAt);
        accept(metricsAcceptor_, true);
    }
}

void Server::stopAccepting() {
    boost::system::error_code error;
    acceptor_.close(error);
}

void Server::connectionClosed() {
    metrics().connections = --connections_;
}

bool Server::connectionOpened() {
    if (connections_ >= limits_.maxConnections) {
        return false;
    }
    metrics().connections = ++connections_;
    return true;
}

bool Server::mayCreateTable(const std::string& address) {
    if (limits_.tablesPerMinute <= 0) {
        return true;
    }
    if (creators_.size() > 10000) {
        creators_.clear();  // bounded: forgetting everyone is fairer than refusing everyone
    }
    auto found =
        creators_.try_emplace(address, limits_.tablesPerMinute / 60.0, limits_.tablesPerMinute)
            .first;
    return found->second.take();
}

void Server::accept(tcp::acceptor& acceptor, bool metricsOnly) {
    acceptor.async_accept(
        [this, &acceptor, metricsOnly](beast::error_code error, tcp::socket socket) {
            if (error == asio::error::operation_aborted || !acceptor.is_open()) {
                return;
            }
            if (!error) {
                if (connectionOpened()) {
                    // A key's echo must not wait for the acknowledgement of the screen before
                    // it (Nagle's algorithm against delayed acknowledgements: up to 40 ms).
                    socket.set_option(tcp::no_delay(true), error);
                    std::make_shared<HttpSession>(*this, std::move(socket), metricsOnly)->run();
                } else {
                    refused("too-many-connections", "-");
                }
            }
            accept(acceptor, metricsOnly);
        });
}

}  // namespace server
