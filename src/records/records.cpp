#include "records/records.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string_view>
#include <utility>

#include "records/files.h"
#include "records/text_fields.h"

std::unique_ptr<Records> theRecords;

namespace {

constexpr std::string_view kSaveSuffix = ".save";
constexpr std::string_view kTemporarySuffix = ".tmp";  // after a save's name, while it is written

std::string now() {
    return utcTime(std::time(nullptr));
}

// KESSANDOR_SAVE=1 or 0, or nothing when it says neither.
std::optional<bool> savingAsked() {
    const char* asked = std::getenv("KESSANDOR_SAVE");
    if (asked != nullptr && (std::string_view(asked) == "0" || std::string_view(asked) == "1")) {
        return *asked == '1';
    }
    return std::nullopt;
}

// "path: reason", or nothing when there is no reason.
std::string at(const std::string& path, const std::string& reason) {
    return reason.empty() ? reason : std::string(path).append(": ").append(reason);
}

std::string firstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

// Adds `result` to the record in `folder`: under the lock, the whole record is read, the game
// added and the new record written beside the old one, flushed to disk and renamed over it. So
// two games ending at once both land, and a crash leaves the old record or the new one.
std::string record(const std::string& folder, const GameResult& result) {
    if (std::string problem = files::makeFolders(folder); !problem.empty()) {
        return at(folder, problem);
    }
    const std::string lockPath = folder + "/scores.lock";
    const files::Lock lock(lockPath);
    if (!lock.problem().empty()) {
        return at(lockPath, lock.problem());
    }
    const std::string path = folder + "/scores";
    std::string problem;
    std::optional<std::string> text = files::read(path, problem);
    if (!problem.empty()) {
        return at(path, problem);
    }
    if (!text || text->empty()) {
        text = scoresHeader();
    }
    if (problem = checkScoresHeader(firstLine(*text)); !problem.empty()) {
        return path + " " + problem;
    }
    if (!text->ends_with('\n')) {
        *text += '\n';  // a line cut short stays as it is, apart from the game after it
    }
    text->append(writeResult(result));
    return at(path, files::replace(path, folder + "/scores.tmp", *text, true));
}

}  // namespace

Records::Records() : saving_(savingAsked().value_or(files::inputIsTerminal())) {
    stateFolder_ = files::userFolder("XDG_STATE_HOME", ".local/state", stateProblem_);
    dataFolder_ = files::userFolder("XDG_DATA_HOME", ".local/share", dataProblem_);
}

// game-<when it started>-<process>-<game of the process>.save: no other game's name.
std::string Records::newSavePath() const {
    std::string started = now();
    std::erase(started, '-');
    std::erase(started, ':');
    return stateFolder_ + "/game-" + started + "-" + std::to_string(files::processId()) + "-" +
           std::to_string(gamesSaved_) + std::string(kSaveSuffix);
}

void Records::saveTurn(const GameState& state) {
    if (!saving_) {
        return;
    }
    std::string problem = stateProblem_;
    if (problem.empty() && savePath_.empty()) {
        problem = at(stateFolder_, files::makeFolders(stateFolder_));
        if (problem.empty()) {
            savePath_ = newSavePath();
            ++gamesSaved_;
        }
    }
    if (problem.empty()) {
        // Only the first save is forced to disk: a rename onto a new name, unlike one over an
        // older save, is not ordered after the file's data (see files_posix.cpp).
        problem = at(savePath_, files::replace(savePath_, savePath_ + std::string(kTemporarySuffix),
                                               writeSave({state, now()}), !saveOnDisk_));
        saveOnDisk_ = saveOnDisk_ || problem.empty();
    }
    if (saveFailure_.empty()) {
        saveFailure_ = problem;
    }
}

void Records::endGame(const Game& game) {
    if (game.isOver()) {
        const std::string problem =
            dataProblem_.empty() ? record(dataFolder_, resultOf(game, now())) : dataProblem_;
        if (!problem.empty()) {
            ++gamesNotRecorded_;
            if (recordFailure_.empty()) {
                recordFailure_ = problem;
            }
        }
    }
    if (!savePath_.empty()) {
        // The temporary file first: a save killed in the middle of its write leaves it.
        for (const std::string& path : {savePath_ + std::string(kTemporarySuffix), savePath_}) {
            const std::string problem = at(path, files::remove(path));
            removeFailure_ = removeFailure_.empty() ? problem : removeFailure_;
        }
        savePath_.clear();
        saveOnDisk_ = false;
    }
}

std::vector<SaveFile> Records::savedGames() const {
    std::vector<SaveFile> saves;
    for (std::string& path : files::list(stateFolder_, kSaveSuffix)) {
        SaveFile save{std::move(path), std::nullopt, {}};
        std::string problem;
        const std::optional<std::string> text = files::read(save.path, problem);
        if (text) {
            save.game = readSave(*text, save.problem);
        } else {
            save.problem = std::string("cannot be read: ").append(problem);
        }
        saves.push_back(std::move(save));
    }
    return saves;
}

void Records::resumeFrom(std::string path) {
    savePath_ = std::move(path);
    saveOnDisk_ = true;
    saving_ = savingAsked().value_or(true);
}

std::vector<std::string> Records::problems() const {
    const auto line = [](std::string_view what, const std::string& why) {
        return std::string("kessandor: ").append(what).append(": ").append(why);
    };
    std::vector<std::string> lines;
    if (!saveFailure_.empty()) {
        lines.push_back(line("the game in progress was not saved", saveFailure_));
    }
    if (!removeFailure_.empty()) {
        lines.push_back(line("the saved game was not removed", removeFailure_));
    }
    if (gamesNotRecorded_ > 0) {
        const std::string count = std::to_string(gamesNotRecorded_);
        lines.push_back(line(gamesNotRecorded_ == 1 ? "the finished game was not recorded"
                                                    : count + " finished games were not recorded",
                             recordFailure_));
    }
    return lines;
}

std::optional<std::string> recordText(std::string& path, std::string& problem) {
    const std::string folder = files::userFolder("XDG_DATA_HOME", ".local/share", problem);
    if (folder.empty()) {
        return std::nullopt;
    }
    path = folder + "/scores";
    std::optional<std::string> text = files::read(path, problem);
    problem = at(path, problem);
    if (problem.empty() && text && !text->empty()) {
        problem = checkScoresHeader(firstLine(*text));
        problem = problem.empty() ? problem : path + " " + problem;
    }
    if (!problem.empty()) {
        return std::nullopt;
    }
    return text.value_or("");
}
