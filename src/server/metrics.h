// What the server counts for its operator, shown at /metrics in the Prometheus text format on
// a listener of the operator's choosing (--metrics-listen), never on the public one.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <string>

namespace server {

class Tables;

struct Metrics {
    std::uint64_t connections = 0;  // open now, HTTP and WebSocket
    std::uint64_t gamesFinished = 0;
    std::uint64_t gamesRestarted = 0;
    std::uint64_t messagesIn = 0, messagesOut = 0;               // WebSocket messages
    std::uint64_t keysDropped = 0;                               // typed out of turn
    std::uint64_t keysOverLimit = 0;                             // frames over the key rate
    std::map<std::string, std::uint64_t, std::less<>> refusals;  // by reason

    // Keystroke to screen: from keys written into a game's terminal to its next output.
    static constexpr std::array<double, 10> kBounds = {0.001, 0.002, 0.005, 0.01, 0.02,
                                                       0.05,  0.1,   0.25,  0.5,  1.0};
    std::array<std::uint64_t, kBounds.size()> latencyBuckets{};
    std::uint64_t latencyCount = 0;
    double latencySum = 0;

    void observeLatency(std::chrono::steady_clock::duration took);
    // The whole page, with the tables' and seats' gauges read from `tables`.
    std::string render(const Tables& tables) const;
};

// The one set of counters of this server (it has one event loop thread).
Metrics& metrics();

}  // namespace server
