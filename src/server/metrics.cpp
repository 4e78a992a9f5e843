#include "server/metrics.h"

#include <sstream>

#include "server/tables.h"

namespace server {

Metrics& metrics() {
    static Metrics counters;
    return counters;
}

void Metrics::observeLatency(std::chrono::steady_clock::duration took) {
    const double seconds = std::chrono::duration<double>(took).count();
    for (std::size_t i = 0; i < kBounds.size(); ++i) {
        if (seconds <= kBounds[i]) {
            ++latencyBuckets[i];
        }
    }
    ++latencyCount;
    latencySum += seconds;
}

namespace {

void family(std::ostringstream& out, const char* name, const char* type, const char* help) {
    out << "# HELP " << name << ' ' << help << "\n# TYPE " << name << ' ' << type << '\n';
}

// A family of one number.
template <typename Number>
void single(std::ostringstream& out, const char* name, const char* type, const char* help,
            Number value) {
    family(out, name, type, help);
    out << name << ' ' << value << '\n';
}

}  // namespace

std::string Metrics::render(const Tables& tables) const {
    const TableCounts counts = tables.counts();
    std::ostringstream out;
    family(out, "kessandor_tables", "gauge", "Tables held, by state.");
    out << "kessandor_tables{state=\"lobby\"} " << counts.lobby << '\n'
        << "kessandor_tables{state=\"playing\"} " << counts.playing << '\n'
        << "kessandor_tables{state=\"restarting\"} " << counts.restarting << '\n'
        << "kessandor_tables{state=\"finished\"} " << counts.finished << '\n';
    family(out, "kessandor_seats", "gauge", "People's seats, by whether their person is here.");
    out << "kessandor_seats{state=\"connected\"} " << counts.seatsConnected << '\n'
        << "kessandor_seats{state=\"disconnected\"} " << counts.seatsDisconnected << '\n'
        << "kessandor_seats{state=\"computer_playing\"} " << counts.seatsAway << '\n';
    single(out, "kessandor_spectators", "gauge", "Spectators connected.", counts.spectators);
    single(out, "kessandor_connections", "gauge", "Open HTTP and WebSocket connections.",
           connections);
    single(out, "kessandor_games_finished_total", "counter", "Games played to their end.",
           gamesFinished);
    single(out, "kessandor_games_restarted_total", "counter",
           "Game processes restarted from their save after they died.", gamesRestarted);
    family(out, "kessandor_messages_total", "counter", "WebSocket messages, by direction.");
    out << "kessandor_messages_total{direction=\"in\"} " << messagesIn << '\n'
        << "kessandor_messages_total{direction=\"out\"} " << messagesOut << '\n';
    single(out, "kessandor_keys_dropped_total", "counter", "Keys typed out of turn.", keysDropped);
    single(out, "kessandor_key_frames_over_limit_total", "counter",
           "Key frames not typed because a connection sent them too fast or too large.",
           keysOverLimit);
    family(out, "kessandor_refusals_total", "counter", "Requests and messages refused, by why.");
    for (const auto& [why, count] : refusals) {
        out << "kessandor_refusals_total{why=\"" << why << "\"} " << count << '\n';
    }
    family(out, "kessandor_key_latency_seconds", "histogram",
           "From keys written into a game's terminal to the game's next output.");
    for (std::size_t i = 0; i < kBounds.size(); ++i) {
        out << "kessandor_key_latency_seconds_bucket{le=\"" << kBounds[i] << "\"} "
            << latencyBuckets[i] << '\n';
    }
    out << "kessandor_key_latency_seconds_bucket{le=\"+Inf\"} " << latencyCount << '\n'
        << "kessandor_key_latency_seconds_sum " << latencySum << '\n'
        << "kessandor_key_latency_seconds_count " << latencyCount << '\n';
    return out.str();
}

}  // namespace server
