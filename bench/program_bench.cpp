// The whole program replaying a scripted five-player game, from the title menu to the quit,
// in-process with its output discarded: every screen drawn, every answer read.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "harness.h"
#include "random_play.h"
#include "sessions.h"

namespace {

void BM_ProgramFivePlayerGame(benchmark::State& state) {
    fuzzing::prepareInProcessRuns();
    const fuzzing::Session session = fuzzing::scriptSession({.seed = 1, .players = 5});
    randomplay::DiscardBuffer discard;
    for (auto _ : state) {
        benchmark::DoNotOptimize(fuzzing::runProgram(session.input, discard));
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(session.input.size()));
}
BENCHMARK(BM_ProgramFivePlayerGame)->Unit(benchmark::kMicrosecond);

}  // namespace
