// The server's network side: the listener, one HTTP session per connection (the pages, the
// API that creates tables) and one WebSocket session per person at a table. Everything runs
// on one event loop thread, so no session needs a lock or a strand; every operation has a
// timeout, and every input a limit.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "server/tables.h"

namespace server {

// A token bucket: `rate` events a second, bursts of up to `burst`.
class RateLimit {
public:
    RateLimit(double rate, double burst) : rate_(rate), burst_(burst), tokens_(burst) {}
    // Takes one event; false when it is over the limit.
    bool take(std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now());

private:
    double rate_, burst_, tokens_;
    std::chrono::steady_clock::time_point last_{};
};

struct NetLimits {
    std::size_t maxConnections = 10000;
    std::size_t maxMessage = 4096;  // bytes of one WebSocket message
    std::size_t maxKeyFrame = 256;  // bytes of keys in one frame
    // Faster than anyone types (key repeat is about 30 a second), slower than a flood.
    double keysPerSecond = 100;
    double keyBurst = 200;
    std::size_t maxBodyBytes = 1024;  // of an HTTP request
    std::chrono::seconds helloWithin{10};
    std::chrono::seconds httpTimeout{30};
    double tablesPerMinute = 10;  // created from one address; 0: no limit
};

class Server {
public:
    // Listens at `at` for everyone, and at `metricsAt` (if any) for the operator's /metrics.
    Server(boost::asio::io_context& io, Tables& tables, const boost::asio::ip::tcp::endpoint& at,
           std::optional<boost::asio::ip::tcp::endpoint> metricsAt = std::nullopt,
           const NetLimits& limits = {});
    // Stops accepting connections; those open stay.
    void stopAccepting();
    boost::asio::ip::tcp::endpoint endpoint() const { return acceptor_.local_endpoint(); }

    Tables& tables() { return tables_; }
    const NetLimits& limits() const { return limits_; }
    // Counts a connection in and out; false when the server holds as many as it may.
    bool connectionOpened();
    void connectionClosed();
    // One address may create only so many tables a minute.
    bool mayCreateTable(const std::string& address);

private:
    void accept(boost::asio::ip::tcp::acceptor& acceptor, bool metricsOnly);

    boost::asio::io_context& io_;
    Tables& tables_;
    NetLimits limits_;
    boost::asio::ip::tcp::acceptor acceptor_, metricsAcceptor_;
    std::size_t connections_ = 0;
    std::map<std::string, RateLimit> creators_;
};

}  // namespace server
