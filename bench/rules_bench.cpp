// The rules engine: one build on typical maps and on the worst maps the rules allow, and
// whole random games. The rules announce formations and mergers on screen; standard output
// is discarded while a benchmark runs, as it would be drawn to a terminal in a real game.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "game/building.h"
#include "game/game.h"
#include "random_play.h"

namespace {

// A game just before a build: the offers are made and the spot is chosen.
struct Position {
    Game game;
    std::int32_t col = 0;
    std::int32_t row = 0;
    std::int32_t player = 0;
};

// Remembers the position before every build of a game.
struct PositionRecorder : randomplay::Unwatched {
    std::vector<Position> positions;
    void beforeBuild(const Game& game, std::int32_t col, std::int32_t row, std::int32_t player) {
        positions.push_back(Position{game, col, row, player});
    }
};

// Every build of a few random games of each size, early, middle and late in the game.
std::vector<Position> typicalPositions() {
    const randomplay::Headless headless;
    PositionRecorder recorder;
    for (std::uint32_t seed = 1; seed <= 20; ++seed) {
        theGame = std::make_unique<Game>(static_cast<std::int32_t>(seed % kMaxPlayers) + 1, seed);
        randomplay::Rng rng(seed);
        randomplay::playRandomGame(rng, recorder);
    }
    theGame.reset();
    return recorder.positions;
}

// Builds from the positions in turn, each on a fresh copy of its game. The copy is part of
// the time measured; BM_RestorePosition measures it alone.
void buildFrom(benchmark::State& state, const std::vector<Position>& positions, bool build) {
    const randomplay::Headless headless;
    theGame = std::make_unique<Game>(positions.front().game);
    std::size_t next = 0;
    for (auto _ : state) {
        const Position& position = positions[next];
        next = next + 1 == positions.size() ? 0 : next + 1;
        *theGame = position.game;
        if (build) {
            placeOutpost(position.col, position.row, position.player);
        }
        benchmark::DoNotOptimize(theGame->cell(position.col, position.row));
    }
    theGame.reset();
}

void BM_RestorePosition(benchmark::State& state) {
    buildFrom(state, typicalPositions(), false);
}
BENCHMARK(BM_RestorePosition);

void BM_PlaceOutpostTypical(benchmark::State& state) {
    buildFrom(state, typicalPositions(), true);
}
BENCHMARK(BM_PlaceOutpostTypical);

// Five players, each holding shares of every company.
Game emptyGame() {
    Game game(kMaxPlayers, 1);
    for (std::int32_t col = 0; col < kColumns; ++col) {
        for (std::int32_t row = 0; row < kRows; ++row) {
            game.setCell(col, row, kEmpty);
        }
    }
    return game;
}

// One chain of 64 outposts snaking through the whole map: rows 1, 3, 5, 7 and 9 full, joined
// at alternate ends. A build next to its head founds a company that absorbs all of it, one
// outpost deeper in the recursion at a time.
Position longChain() {
    Position position{emptyGame(), 0, 0, 0};
    Game& game = position.game;
    for (std::int32_t row = 0; row < kRows; row += 2) {
        for (std::int32_t col = 0; col < kColumns; ++col) {
            game.setCell(col, row, kOutpost);
        }
        if (row + 1 < kRows) {
            game.setCell((row / 2) % 2 == 0 ? kColumns - 1 : 0, row + 1, kOutpost);
        }
    }
    game.setCell(0, 1, kOffered);  // under the head of the chain
    position.col = 0;
    position.row = 1;
    return position;
}

// Every cell but one is an outpost, and the build in the middle absorbs all 107.
Position fullMap() {
    Position position{emptyGame(), 5, 4, 0};
    for (std::int32_t col = 0; col < kColumns; ++col) {
        for (std::int32_t row = 0; row < kRows; ++row) {
            position.game.setCell(col, row, kOutpost);
        }
    }
    position.game.setCell(5, 4, kOffered);
    return position;
}

// The whole map held by four companies that all touch the build at F5: three mergers in a
// row, each rewriting the map and paying five shareholders.
Position fourWayMerger() {
    Position position{emptyGame(), 5, 4, 0};
    Game& game = position.game;
    auto owner = [](std::int32_t col, std::int32_t row) {
        if (row < 4) {
            return col < 6 ? 0 : 1;  // A above the build, B top right
        }
        if (row > 4) {
            return col < 6 ? 2 : 3;  // C below, D bottom right
        }
        return col < 5 ? 3 : 1;  // D to the left, B to the right
    };
    // Founded in letter order, each in its own corner.
    const std::array<std::array<std::int32_t, 2>, 4> corners = {{{0, 0}, {11, 0}, {0, 8}, {11, 8}}};
    for (const auto& [col, row] : corners) {
        game.formCompany(col, row, 0);
    }
    for (std::int32_t col = 0; col < kColumns; ++col) {
        for (std::int32_t row = 0; row < kRows; ++row) {
            if (game.cell(col, row) == kEmpty && !(col == 5 && row == 4)) {
                game.expandCompany(col, row, owner(col, row));
            }
        }
    }
    game.setCell(5, 4, kOffered);
    for (std::int32_t player = 0; player < kMaxPlayers; ++player) {
        for (std::int32_t company = 0; company < 4; ++company) {
            game.buyShares(player, company, 1);
        }
    }
    return position;
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
    const randomplay::Headless headless;
    const auto players = static_cast<std::int32_t>(state.range(0));
    std::uint32_t seed = 0;
    for (auto _ : state) {
        ++seed;
        theGame = std::make_unique<Game>(players, seed);
        randomplay::Rng rng(seed);
        randomplay::Unwatched unwatched;
        benchmark::DoNotOptimize(randomplay::playRandomGame(rng, unwatched));
    }
    theGame.reset();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RandomGame)->DenseRange(1, kMaxPlayers)->Unit(benchmark::kMicrosecond);

}  // namespace
