#include "screens/resume.h"

#include <cstdio>
#include <string>
#include <vector>

#include "console/console.h"
#include "records/records.h"
#include "screens/current_game.h"
#include "screens/flow.h"

namespace {

// "Ann, Bob   day 3   saved 2026-12-07 19:17 UTC"
std::string describe(const SavedGame& save) {
    const GameState& s = save.state;
    std::string line;
    for (std::int32_t p = 0; p < s.playerCount; ++p) {
        line.append(p == 0 ? "" : ", ").append(s.players.at(p).name);
    }
    line.append("   day ").append(std::to_string(s.day)).append("   saved ");
    return line.append(save.savedAt.substr(0, 10)) + " " + save.savedAt.substr(11, 5) + " UTC";
}

// Lists the saves and reads the number of one until it names one.
std::size_t chooseSave(const std::vector<const SaveFile*>& saves) {
    Console& out = *theConsole;
    out.print("[Saved games][:]");
    out.newLines(1);
    for (std::size_t i = 0; i < saves.size(); ++i) {
        out.print(static_cast<std::int32_t>(i + 1));
        out.print("  ");
        out.print(describe(*saves[i]->game));
        out.newLines(1);
    }
    out.newLines(1);
    out.print("[Which game do you wish to resume][?]: ");
    return static_cast<std::size_t>(readNumberUpTo(static_cast<std::int32_t>(saves.size())) - 1);
}

}  // namespace

bool resumeSavedGame() {
    const std::vector<SaveFile> saves = theRecords->savedGames();
    std::vector<const SaveFile*> sound;
    for (const SaveFile& save : saves) {
        if (save.game) {
            sound.push_back(&save);
        } else {
            std::fprintf(stderr, "kessandor: %s %s\n", save.path.c_str(), save.problem.c_str());
        }
    }
    if (sound.empty()) {
        if (saves.empty()) {
            const std::string& folder = theRecords->stateFolder();
            std::fprintf(stderr, "kessandor: there is no saved game to resume (%s)\n",
                         folder.empty() ? theRecords->stateProblem().c_str() : folder.c_str());
        }
        return false;
    }
    const SaveFile& chosen = *sound.at(sound.size() == 1 ? 0 : chooseSave(sound));
    theGame = std::make_unique<Game>(Game::restore(chosen.game->state).value());
    theRecords->resumeFrom(chosen.path);
    return true;
}
