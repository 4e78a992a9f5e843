// Save-file fuzzing: the bytes are a file in the state folder, as `kessandor --resume` finds
// it.
//
// The file is read twice: as it is, and sealed, its end line rewritten with the right length
// and checksum, as anybody who edits a save by hand can do; so changed fields reach the rules
// behind the checksum. A save the reader accepts must restore, write back to the same game,
// and be resumed the way the program resumes: two copies of it in a state folder of the
// fuzzer's own, so the list of saves shows, and the first one chosen. That game is played to
// the final standings with every seat handed to the computer, through the program's own
// screens, and every position it reaches on the way must be one a save of it would accept. Nothing
// may crash, leak, hang or break a sanitizer's rule.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "console/console.h"
#include "console/terminal.h"
#include "discard.h"
#include "records/records.h"
#include "records/save_format.h"
#include "screens/computer.h"
#include "screens/current_game.h"
#include "screens/flow.h"
#include "screens/resume.h"

namespace {

std::filesystem::path stateHome;  // XDG_STATE_HOME of the fuzzer alone, made at its start

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

// `file` with its end line (the last line, when it starts with "end") made anew from the lines
// above it.
std::string sealed(std::string_view file) {
    std::string body(file);
    const std::size_t lastStart =
        body.ends_with('\n') ? body.rfind('\n', body.size() - 2) + 1 : body.rfind('\n') + 1;
    if (std::string_view(body).substr(lastStart).starts_with("end")) {
        body.resize(lastStart);
    } else if (!body.empty() && !body.ends_with('\n')) {
        body += '\n';
    }
    return sealSave(std::move(body));
}

// The screens of a run read `keys` and show nobody what they print.
std::stringbuf typed;
Discard shown;
std::ostream output(&shown);

void showScreens(const char* keys) {
    typed.str(keys);
    theConsole = std::make_unique<Console>(typed, output);
}

// A hard computer plays each plan out to the end hundreds of times: seconds a turn under the
// sanitizers. Here hard plays as normal (the soak plays hard).
std::int32_t affordableLevel(std::int32_t level) {
    return level > 1 ? 1 : level;
}

// Makes theGame the game `file` holds as `kessandor --resume` would, choosing it from a list of
// two saves. REQUIRES: readSave accepts `file`.
void resumeFromFiles(std::string_view file) {
    const std::filesystem::path folder = stateHome / "kessandor";
    for (const char* name : {"game-1.save", "game-2.save"}) {
        std::ofstream(folder / name, std::ios::binary) << file;
    }
    theRecords = std::make_unique<Records>();
    showScreens("1\n");
    const bool resumed = resumeSavedGame();
    theRecords.reset();
    if (!resumed) {
        fail("a save the reader accepts is not resumed");
    }
}

// What the game would save at the start of this turn must read back: the bounds a save is
// checked against (the cash a game can have paid, a built cell for every turn) hold for every
// position play reaches from an accepted one. The seats were all handed to the computer, so
// the seating is left as the save had it.
void requireSaveReadsBack(const std::vector<bool>& seats) {
    GameState state = theGame->state();
    for (std::size_t p = 0; p < seats.size(); ++p) {
        state.players.at(p).computer = seats[p];
    }
    std::string problem;
    if (!readSave(writeSave({state, "2026-12-07T19:17:00Z"}), problem)) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        fail("a position played from an accepted save is refused when saved");
    }
}

// theGame with every seat the computer's, to the final standings, each turn's position checked
// as its save would be. The turn it was saved at is planned at its own level, which looks
// furthest ahead from the saved position; the rest at easy, which plays out nothing, so a whole
// game takes milliseconds.
void playOutByComputers() {
    std::vector<bool> seats;
    for (std::int32_t p = 0; p < theGame->playerCount(); ++p) {
        seats.push_back(theGame->isComputer(p));
        theGame->setComputer(p);
    }
    showScreens("");
    theGame->setComputerLevel(affordableLevel(theGame->computerLevel()));
    for (std::int32_t level = theGame->computerLevel(); !theGame->isOver(); level = 0) {
        theGame->setComputerLevel(level);
        computerTurn(theGame->currentPlayer());
        theGame->endTurn();
        if (!theGame->isOver()) {
            requireSaveReadsBack(seats);
        }
    }
    theGame->setComputerLevel(0);
    playGame();
    if (!theGame->isOver()) {
        fail("a game of computers stopped before its last day");
    }
    theGame.reset();
    theConsole.reset();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    terminal::setKeyboardDevice("/nonexistent/keyboard");  // every key wait returns at once
    std::string folder = (std::filesystem::temp_directory_path() / "kessandor-fuzz-XXXXXX");
    if (mkdtemp(folder.data()) == nullptr) {
        fail("no temporary folder for the saves");
    }
    stateHome = folder;
    std::filesystem::create_directory(stateHome / "kessandor");
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(stateHome, ignored);
    });
    // Saves are read from here; nothing is saved or recorded.
    setenv("XDG_STATE_HOME", stateHome.c_str(), 1);
    setenv("XDG_DATA_HOME", (stateHome / "data").c_str(), 1);
    setenv("KESSANDOR_SAVE", "0", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    std::string problem;
    (void)readSave(file, problem);
    const std::string save = sealed(file);
    const std::optional<SavedGame> saved = readSave(save, problem);
    if (!saved) {
        return 0;
    }
    if (!Game::restore(saved->state, &problem)) {
        fail("a save the reader accepts does not restore");
    }
    std::string again;
    const std::optional<SavedGame> reread = readSave(writeSave(*saved), again);
    if (!reread || reread->state != saved->state || reread->savedAt != saved->savedAt) {
        fail("a save the reader accepts does not read back the same once written");
    }
    resumeFromFiles(save);
    playOutByComputers();
    return 0;
}
