#include "screens/resume.h"

#include <string>
#include <vector>

#include "console/console.h"
#include "records/records.h"
#include "records/text_fields.h"
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
    const std::string_view date = datePart(save.savedAt);
    return line.append(date) + " " + save.savedAt.substr(date.size() + 1, 5) + " UTC";
}

// The list line of a save that --resume does not offer, and why.
std::string describeUnusable(const SaveFile& save) {
    return std::string(save.inUse ? "in play elsewhere: " : "cannot be resumed: ") + save.path +
           " " + save.problem;
}

// Every save of the state folder, or nullopt when the folder cannot be listed (told).
std::optional<std::vector<SaveFile>> allSaves() {
    std::string problem;
    std::vector<SaveFile> saves = theRecords->savedGames(problem);
    if (!problem.empty()) {
        tell(std::string("cannot list the saved games in ").append(theRecords->stateFolder()) +=
             ": " + problem);
        return std::nullopt;
    }
    return saves;
}

// Lists the saves and reads the number of one until it names one.
std::size_t chooseSave(const std::vector<SaveFile*>& saves) {
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
    std::optional<std::vector<SaveFile>> found = allSaves();
    if (!found) {
        return false;
    }
    std::vector<SaveFile>& saves = *found;
    std::vector<SaveFile*> sound;
    for (SaveFile& save : saves) {
        if (save.game) {
            sound.push_back(&save);
        } else {
            tell(save.path + " " + save.problem);
        }
    }
    if (sound.empty()) {
        if (saves.empty()) {
            const std::string& folder = theRecords->stateFolder();
            tell(std::string("there is no saved game to resume (")
                     .append(folder.empty() ? theRecords->stateProblem() : folder) += ")");
        }
        return false;
    }
    SaveFile& chosen = *sound.at(sound.size() == 1 ? 0 : chooseSave(sound));
    theGame = std::make_unique<Game>(Game::restore(chosen.game->state).value());
    theRecords->resumeFrom(chosen);
    return true;
}

std::optional<std::string> savesListing() {
    const std::optional<std::vector<SaveFile>> saves = allSaves();
    if (!saves) {
        return std::nullopt;
    }
    if (saves->empty()) {
        return "No saved games.\n";
    }
    std::string listing;
    for (std::size_t i = 0; i < saves->size(); ++i) {
        const SaveFile& save = saves->at(i);
        listing.append(std::to_string(i + 1)).append("  ");
        listing.append(
            Game::visibleName(save.game ? describe(*save.game) : describeUnusable(save)));
        listing += '\n';
    }
    return listing;
}

std::optional<std::string> forgetSave(std::int32_t number) {
    const std::optional<std::vector<SaveFile>> saves = allSaves();
    if (!saves) {
        return std::nullopt;
    }
    if (static_cast<std::size_t>(number) > saves->size()) {
        tell(std::string("there is no saved game ").append(std::to_string(number)) +=
             saves->empty() ? std::string(": there are none")
                            : " (--saves lists " + std::to_string(saves->size()) + ")");
        return std::nullopt;
    }
    const SaveFile& save = saves->at(static_cast<std::size_t>(number) - 1);
    if (save.inUse) {
        tell(save.path + " " + save.problem);
        return std::nullopt;
    }
    if (const std::string problem = Records::forget(save); !problem.empty()) {
        tell(std::string("the saved game was not deleted: ").append(problem));
        return std::nullopt;
    }
    return Game::visibleName(std::string("Deleted saved game ")
                                 .append(std::to_string(number))
                                 .append(": ")
                                 .append(save.game ? describe(*save.game) : save.path)) +
           "\n";
}
