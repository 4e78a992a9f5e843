// What the server's record of games costs as it grows: the time to add one game durably (one
// transaction, fsynced) and to read the hall of fame, in an empty record and in one of a
// million games. Not a test: run it by hand, see README.md.
//
//   kessandor_record_bench [--games N] [--folder DIR]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "server/game_record.h"

namespace {

using Clock = std::chrono::steady_clock;
using server::GameRecord;

constexpr int kTimedAdds = 200;
constexpr int kTimedReads = 50;

// A game as the server would record it: 1 to 5 players, with computers or not.
GameResult randomGame(std::mt19937& random, std::int64_t n) {
    GameResult game;
    game.finishedAt = "2026-12-08T" + std::to_string(10 + n % 10) + ":00:00Z";
    game.computerLevel = std::uniform_int_distribution(-1, 2)(random);
    const int players = std::uniform_int_distribution(1, 5)(random);
    for (int p = 1; p <= players; ++p) {
        const std::int32_t worth = std::uniform_int_distribution(0, 250000)(random);
        game.players.push_back({"Player-" + std::to_string(p), worth, p});
    }
    return game;
}

double milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(static_cast<double>(values.size()) * p);
    return values.at(std::min(at, values.size() - 1));
}

void measure(const std::filesystem::path& path, std::mt19937& random, std::int64_t games) {
    GameRecord record(path);  // durable, as the server opens it
    const std::int64_t before = record.gameCount();
    std::vector<double> adds, reads;
    for (int i = 0; i < kTimedAdds; ++i) {
        const GameResult game = randomGame(random, games + i);
        const Clock::time_point start = Clock::now();
        if (const std::string problem = record.add("benchbench", game); !problem.empty()) {
            std::fprintf(stderr, "add failed: %s\n", problem.c_str());
            std::exit(1);
        }
        adds.push_back(milliseconds(Clock::now() - start));
    }
    std::size_t lists = 0;
    for (int i = 0; i < kTimedReads; ++i) {
        const Clock::time_point start = Clock::now();
        lists = record.hallOfFame().size();
        reads.push_back(milliseconds(Clock::now() - start));
    }
    std::error_code error;
    const auto bytes = std::filesystem::file_size(path, error);
    std::printf("| %lld | %.2f / %.2f / %.2f ms | %.3f / %.3f ms (%zu lists) | %.1f MiB |\n",
                static_cast<long long>(before), percentile(adds, 0.5), percentile(adds, 0.99),
                percentile(adds, 1.0), percentile(reads, 0.5), percentile(reads, 1.0), lists,
                static_cast<double>(bytes) / (1 << 20));
    std::fflush(stdout);
}

// Adds games without waiting for the disk, up to `games` in all.
void fill(const std::filesystem::path& path, std::mt19937& random, std::int64_t games) {
    GameRecord record(path, GameRecord::Durability::none);
    const Clock::time_point start = Clock::now();
    for (std::int64_t n = record.gameCount(); n < games; ++n) {
        if (const std::string problem = record.add("benchbench", randomGame(random, n));
            !problem.empty()) {
            std::fprintf(stderr, "fill failed: %s\n", problem.c_str());
            std::exit(1);
        }
    }
    std::fprintf(stderr, "filled to %lld games in %.0f s\n", static_cast<long long>(games),
                 milliseconds(Clock::now() - start) / 1000);
}

}  // namespace

int main(int argc, char** argv) {
    std::int64_t games = 1000000;
    std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                   ("kessandor-record-bench-" + std::to_string(getpid()));
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view option = argv[i];
        if (option == "--games") {
            games = std::atoll(argv[i + 1]);
        } else if (option == "--folder") {
            folder = argv[i + 1];
        }
    }
    std::filesystem::create_directories(folder);
    const std::filesystem::path path = folder / "record.sqlite";
    std::filesystem::remove(path);
    std::mt19937 random(20261208);
    std::printf(
        "| games in the record | add one game p50 / p99 / max | hall of fame p50 / max | file |\n");
    std::printf("|---|---|---|---|\n");
    measure(path, random, 0);
    fill(path, random, games);
    measure(path, random, games);
    std::filesystem::remove_all(folder);
    return 0;
}
