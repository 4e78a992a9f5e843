#include "client/create_table.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <nlohmann/json.hpp>

#include "client/status_line.h"

namespace join {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using nlohmann::json;
using tcp = asio::ip::tcp;

constexpr std::chrono::seconds kLimit{10};
constexpr std::uint32_t kAnswerLimit = 64 * 1024;
constexpr std::size_t kLinkLimit = 2100;

struct Exchange {
    explicit Exchange(asio::io_context& io) : resolver(io), stream(io) {}
    tcp::resolver resolver;
    beast::tcp_stream stream;
    http::request<http::string_body> request;
    beast::flat_buffer buffer;
    http::response_parser<http::string_body> parser;
    std::string failure;
    bool answered = false;
};

void run(Exchange& exchange, const TableUrl& server) {
    exchange.stream.expires_after(kLimit);
    exchange.resolver.async_resolve(
        server.host, server.port,
        [&exchange](beast::error_code error, const tcp::resolver::results_type& found) {
            if (error) {
                exchange.failure = error.message();
                return;
            }
            exchange.stream.async_connect(found, [&exchange](beast::error_code failed,
                                                             const tcp::endpoint& /*to*/) {
                if (failed) {
                    exchange.failure = failed.message();
                    return;
                }
                http::async_write(exchange.stream, exchange.request,
                                  [&exchange](beast::error_code unsent, std::size_t /*n*/) {
                                      if (unsent) {
                                          exchange.failure = unsent.message();
                                          return;
                                      }
                                      http::async_read(
                                          exchange.stream, exchange.buffer, exchange.parser,
                                          [&exchange](beast::error_code unread, std::size_t /*n*/) {
                                              exchange.failure = unread.message();
                                              exchange.answered = !unread;
                                          });
                                  });
            });
        });
}

std::string refusal(unsigned status, const std::string& body) {
    switch (status) {
        case 400:
            return "the server refused these settings: " + visibleText(body, 200);
        case 429:
            return "this address has created tables too fast; try again in a minute";
        case 503:
            return "the server holds as many tables as it may; try again later";
        default:
            return "the server answered " + std::to_string(status);
    }
}

std::string stringAt(const json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : "";
}

// The new table's ID and the host's token, from the host's link: the server may hand out
// links under a public address, but this client goes on talking to the address it was given.
std::optional<NewTable> readAnswer(const std::string& body, const TableUrl& server,
                                   std::string& error) {
    const json answer = json::parse(body, nullptr, false);
    const std::string host = answer.is_object() ? stringAt(answer, "host") : "";
    const std::size_t hash = host.find('#');
    const std::size_t table = host.find("/t/");
    if (table == std::string::npos || hash == std::string::npos || hash < table) {
        error = "the server's answer holds no table link";
        return std::nullopt;
    }
    UrlError invalid;
    const std::string rebuilt = "http://" + hostAndPort(server) + host.substr(table);
    const std::optional<TableUrl> url = parseTableUrl(rebuilt, invalid);
    if (!url) {
        error = "the server's table link is not valid: " + invalid.message;
        return std::nullopt;
    }
    NewTable created{*url, {}};
    created.links.own = visibleText(host, kLinkLimit);
    created.links.join = visibleText(stringAt(answer, "join"), kLinkLimit);
    created.links.watch = visibleText(stringAt(answer, "watch"), kLinkLimit);
    return created;
}

}  // namespace

std::string tableRequestBody(const TableSettings& settings) {
    json body = json::object();
    if (settings.computers) {
        body["computers"] = *settings.computers;
    }
    if (!settings.level.empty()) {
        body["level"] = settings.level;
    }
    if (settings.seed) {
        body["seed"] = *settings.seed;
    }
    return body.dump();
}

std::optional<NewTable> createTable(asio::io_context& io, const TableUrl& server,
                                    const TableSettings& settings, std::string& error) {
    Exchange exchange(io);
    exchange.parser.body_limit(kAnswerLimit);
    exchange.request = {http::verb::post, "/api/tables", 11};
    exchange.request.set(http::field::host, hostAndPort(server));
    exchange.request.set(http::field::user_agent, "kessandor-join/" KESSANDOR_VERSION);
    exchange.request.set(http::field::content_type, "application/json");
    exchange.request.body() = tableRequestBody(settings);
    exchange.request.prepare_payload();
    run(exchange, server);
    io.run();
    io.restart();
    if (!exchange.answered) {
        error = "cannot create a table at " + hostAndPort(server) + ": " + exchange.failure;
        return std::nullopt;
    }
    const auto& response = exchange.parser.get();
    if (response.result_int() != 201) {
        error = refusal(response.result_int(), response.body());
        return std::nullopt;
    }
    return readAnswer(response.body(), server, error);
}

}  // namespace join
