// Writes the seed corpora of the fuzz targets: realistic sessions for the whole program, and
// replies for the console reads. Every session is replayed through the program before it is
// written, so a corpus that no longer fits the game is never written.
//
//   kessandor_make_corpus DIRECTORY     (writes DIRECTORY/program and DIRECTORY/console)
//
// The output depends only on this file, the rules and the fixed clock of harness.h: run it
// again after changing any of them.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "harness.h"
#include "sessions.h"

namespace {

namespace fs = std::filesystem;
using fuzzing::Session;
using fuzzing::SessionPlan;

struct Wanted {
    std::string_view file;
    SessionPlan plan;
    // What makes the session worth keeping: the players' seed is tried from plan.seed on
    // until one of the first hundred plays a session that has it.
    std::function<bool(const Session&)> keep;
};

bool anything(const Session& /*session*/) {
    return true;
}

std::vector<Wanted> wantedSessions() {
    return {
        {"menu-tour",
         {.seed = 1, .games = 0, .detours = true},
         [](const Session& s) { return s.input.size() >= 8; }},
        {"game-1-player",
         {.seed = 1, .players = 1},
         [](const Session& s) { return s.mergers >= 2; }},
        {"game-2-players-detours",
         {.seed = 1, .players = 2, .detours = true},
         [](const Session& s) { return s.mergers >= 2 && s.rejectedSpots >= 2; }},
        {"game-3-players-3-way-merger",
         {.seed = 1, .players = 3, .huntMergers = true},
         [](const Session& s) { return s.biggestMerger >= 3; }},
        {"game-4-players-detours",
         {.seed = 1, .players = 4, .detours = true},
         [](const Session& s) { return s.mergers >= 3; }},
        {"game-5-players-4-way-merger",
         {.seed = 1, .players = 5, .huntMergers = true},
         [](const Session& s) { return s.biggestMerger >= 4; }},
        {"game-5-players-3-way-merger",
         {.seed = 1, .players = 5, .huntMergers = true},
         [](const Session& s) { return s.biggestMerger == 3; }},
        {"quit-then-new-game",
         {.seed = 1, .players = 2, .games = 2, .detours = true, .quitOnDay = 3},
         [](const Session& s) { return s.mergers >= 1; }},
        {"quit-on-last-day", {.seed = 1, .players = 5, .quitOnDay = 14}, anything},
        {"input-ends-at-title-menu", {.seed = 1, .players = 1, .quitAtTheEnd = false}, anything},
    };
}

// Finds and checks the session; returns false when none of the seeds gives what is wanted.
bool writeSession(const Wanted& wanted, const fs::path& directory) {
    SessionPlan plan = wanted.plan;
    for (int attempt = 0; attempt < 100; ++attempt, ++plan.seed) {
        const Session session = fuzzing::scriptSession(plan);
        if (!wanted.keep(session)) {
            continue;
        }
        const std::string mismatch = fuzzing::replayMismatch(session);
        if (!mismatch.empty()) {
            std::fprintf(stderr, "%s: the program did not play the script: %s\n",
                         std::string(wanted.file).c_str(), mismatch.c_str());
            return false;
        }
        std::ofstream(directory / wanted.file, std::ios::binary) << session.input;
        return true;
    }
    std::fprintf(stderr, "%s: no seed gave the session wanted\n", std::string(wanted.file).c_str());
    return false;
}

// A console input: the header byte, the schedule (0 number, 1 character, 2 word) with the
// chunk size of each, and the text.
std::string consoleInput(std::string_view schedule, std::uint8_t chunk, std::string_view text) {
    std::string bytes(1, static_cast<char>(schedule.size() - 1));
    for (const char read : schedule) {
        bytes += static_cast<char>((read - '0') | ((chunk - 1) << 2U));
    }
    bytes += text;
    return bytes;
}

void writeConsoleInputs(const fs::path& directory) {
    const std::vector<std::pair<std::string_view, std::string>> inputs = {
        {"title-and-set-up", consoleInput("1022211", 8, "s\n3\nAnn Bob\nCyd\nb c5\ne\n")},
        {"stock-answers", consoleInput("10", 3, "b\n12\nb 7\n-1\n+3\nseven\n0\ne\n")},
        {"numbers-at-the-limits",
         consoleInput("0", 5,
                      "2147483647 2147483648 -2147483648 -2147483649 99999999999999999999 "
                      "-99999999999999999999 +0 - 5 -x 12abc 007\n")},
        {"long-names-utf8",
         consoleInput("2", 2,
                      "Maximiliana-Octavia-Reyes \xc3\x85sa-\xc3\x85kesson-\xc3\x98verg\xc3\xa5rd "
                      "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\xe3\x81\xae\xe5\x90\x8d\xe5\x89\x8d"
                      "\xe3\x81\xaf\xe9\x95\xb7\xe3\x81\x84 "
                      "\xf0\x9f\x9a\x80\xf0\x9f\x9a\x80\xf0\x9f\x9a\x80\xf0\x9f\x9a\x80\xf0\x9f"
                      "\x9a\x80\xf0\x9f\x9a\x80 "
                      "aaaaaaaaaaaaaaaaaaa aaaaaaaaaaaaaaaaaaaa\n")},
        {"not-utf8", consoleInput("21", 1,
                                  std::string(24, '\x80') + " " + std::string(18, 'a') +
                                      "\xe2\x82\xac tail\n")},
        {"white-space", consoleInput("120", 4, "\t\v\f\r\n  x \r\n\r\n y\t-3\f\n")},
    };
    for (const auto& [file, bytes] : inputs) {
        std::ofstream(directory / file, std::ios::binary) << bytes;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kessandor_make_corpus DIRECTORY\n");
        return 2;
    }
    fuzzing::prepareInProcessRuns();
    const fs::path program = fs::path(argv[1]) / "program";
    const fs::path console = fs::path(argv[1]) / "console";
    fs::create_directories(program);
    fs::create_directories(console);
    bool allWritten = true;
    for (const Wanted& wanted : wantedSessions()) {
        allWritten = writeSession(wanted, program) && allWritten;
    }
    writeConsoleInputs(console);
    return allWritten ? 0 : 1;
}
