// The rules engine: one build on typical maps and on the worst maps the rules allow, and
// whole random games. The rules announce formations and mergers on screen; standard output
// is discarded while a benchmark runs, as it would be drawn to a terminal in a real game.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "game/building.h"
#include "game/game.h"

namespace {

// A game just before a build: the offers are made and the spot is chosen.
struct Position {
    Game game;
    std::int32_t col = 0;
    std::int32_t row = 0;
    std::int32_t player = 0;
};

// Plays one game with random builds and purchases; `beforeBuild` sees every build coming.
template <typename Watch>
void playRandomGame(std::int32_t players, std::uint32_t seed, Watch beforeBuild) {
    Game game(players, seed);
    std::mt19937 rng(seed);
    while (!game.isOver()) {
        const std::int32_t player = game.currentPlayer();
        game.offerSpots();
        const auto spot = static_cast<std::int32_t>(rng() % kOfferCount);
        beforeBuild(game, game.offeredColumn(spot), game.offeredRow(spot), player);
        game.placeOutpost(game.offeredColumn(spot), game.offeredRow(spot), player);
        game.clearOffers();
        for (std::int32_t company = 0; company < kCompanyCount; ++company) {
            if (game.isActive(company) && rng() % 2 == 0) {
                game.buyShares(player, company, game.cash(player) / game.price(company) / 2);
            }
        }
        game.endTurn();
    }
}

// Every build of a few random games of each size, early, middle and late in the game.
std::vector<Position> typicalPositions() {
    std::vector<Position> positions;
    for (std::uint32_t seed = 1; seed <= 20; ++seed) {
        playRandomGame(static_cast<std::int32_t>(seed % kMaxPlayers) + 1, seed,
                       [&positions](const Game& game, std::int32_t col, std::int32_t row,
                                    std::int32_t player) {
                           positions.push_back(Position{game, col, row, player});
                       });
    }
    return positions;
}

// Builds from the positions in turn, each on a fresh copy of its game. The copy is part of
// the time measured; BM_RestorePosition measures it alone.
void buildFrom(benchmark::State& state, const std::vector<Position>& positions, bool build) {
    Game game = positions.front().game;
    std::size_t next = 0;
    for (auto _ : state) {
        const Position& position = positions[next];
        next = next + 1 == positions.size() ? 0 : next + 1;
        game = position.game;
        if (build) {
            game.placeOutpost(position.col, position.row, position.player);
        }
        benchmark::DoNotOptimize(game.cell(position.col, position.row));
    }
}

void BM_RestorePosition(benchmark::State& state) {
    buildFrom(state, typicalPositions(), false);
}
BENCHMARK(BM_RestorePosition);

void BM_PlaceOutpostTypical(benchmark::State& state) {
    buildFrom(state, typicalPositions(), true);
}
BENCHMARK(BM_PlaceOutpostTypical);

// Five players on a starless map drawn by `symbolAt`, each holding one share of every company
// on it; a company's size is its cells and its price 100 a cell. The build is at F5.
template <typename Draw>
Position drawnPosition(Draw symbolAt) {
    GameState state;
    state.playerCount = kMaxPlayers;
    for (std::int32_t col = 0; col < kColumns; ++col) {
        for (std::int32_t row = 0; row < kRows; ++row) {
            const char symbol = symbolAt(col, row);
            state.map.at(col).at(row) = symbol;
            if (symbol >= 'A' && symbol <= 'E') {
                Company& company = state.companies.at(symbol - 'A');
                company.active = true;
                ++company.size;
                company.price += 100;
            }
        }
    }
    for (Player& player : state.players) {
        for (std::int32_t c = 0; c < kCompanyCount; ++c) {
            player.holdings.at(c) = state.companies.at(c).active ? 1 : 0;
        }
    }
    return Position{*Game::restore(state), 5, 4, 0};
}

// One chain of 64 outposts snaking through the whole map: rows 1, 3, 5, 7 and 9 full, joined
// at alternate ends. A build at A2, under its head, founds a company that absorbs all of it,
// one outpost deeper in the recursion at a time.
Position longChain() {
    Position position = drawnPosition([](std::int32_t col, std::int32_t row) {
        const bool link = row % 2 == 1 && col == ((row / 2) % 2 == 0 ? kColumns - 1 : 0);
        return row % 2 == 0 || (link && row != 1) ? kOutpost : kEmpty;
    });
    position.col = 0;
    position.row = 1;
    return position;
}

// Every cell but one is an outpost, and the build in the middle absorbs all 107.
Position fullMap() {
    return drawnPosition([](std::int32_t, std::int32_t) { return kOutpost; });
}

// The whole map held by four companies that all touch the build at F5: three mergers in a
// row, each rewriting the map and paying five shareholders.
Position fourWayMerger() {
    return drawnPosition([](std::int32_t col, std::int32_t row) {
        if (col == 5 && row == 4) {
            return kEmpty;
        }
        if (row != 4) {
            return row < 4 ? (col < 6 ? 'A' : 'B') : (col < 6 ? 'C' : 'D');
        }
        return col < 5 ? 'D' : 'B';  // D to the left, B to the right
    });
}

void BM_PlaceOutpostLongChain(benchmark::State& state) {
    buildFrom(state, {longChain()}, true);
}
BENCHMARK(BM_PlaceOutpostLongChain);

void BM_PlaceOutpostFullMap(benchmark::State& state) {
    buildFrom(state, {fullMap()}, true);
}
BENCHMARK(BM_PlaceOutpostFullMap);

void BM_PlaceOutpostFourWayMerger(benchmark::State& state) {
    buildFrom(state, {fourWayMerger()}, true);
}
BENCHMARK(BM_PlaceOutpostFourWayMerger);

// A whole game of random players through the rules, without screens; items are games.
void BM_RandomGame(benchmark::State& state) {
    const auto players = static_cast<std::int32_t>(state.range(0));
    std::uint32_t seed = 0;
    for (auto _ : state) {
        playRandomGame(players, ++seed,
                       [](const Game&, std::int32_t, std::int32_t, std::int32_t) {});
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RandomGame)->DenseRange(1, kMaxPlayers)->Unit(benchmark::kMicrosecond);

}  // namespace
