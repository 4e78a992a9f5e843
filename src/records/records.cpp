#include "records/records.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <utility>

#include "records/text_fields.h"

std::unique_ptr<Records> theRecords;

namespace {

constexpr std::string_view kSaveSuffix = ".save";
constexpr std::string_view kLockSuffix = ".lock";  // after a save's name: its lock file
constexpr std::string_view kPendingPrefix = "pending-";
constexpr std::string_view kPendingSuffix = ".game";
constexpr std::size_t kMostPendingBytes = 4096;  // one line of the record
constexpr std::int32_t kNameTries = 8;           // for a save's name that is not taken

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

// game-<when it started>-<random>.save: no other game's name, whatever the clock and the
// process ids of other machines or containers sharing the folder.
std::string newSavePath(const std::string& folder) {
    std::string started = now();
    std::erase(started, '-');
    std::erase(started, ':');
    return folder + "/game-" + started + "-" + files::randomName() + std::string(kSaveSuffix);
}

// The games waiting in `folder` to join the record, each with its file.
std::vector<std::pair<std::string, std::string>> pendingGames(const std::string& folder) {
    std::vector<std::pair<std::string, std::string>> games;
    std::string problem;
    for (std::string& path : files::list(folder, kPendingPrefix, kPendingSuffix, problem)) {
        const std::optional<std::string> line = files::read(path, kMostPendingBytes, problem);
        if (line && readResult(firstLine(*line))) {
            games.emplace_back(std::move(path), firstLine(*line) + "\n");
        }
    }
    return games;
}

// `text`, the record, with the waiting games added that it does not hold yet (a run that
// added them may have ended before it removed their files).
void addPending(std::string& text, const std::vector<std::pair<std::string, std::string>>& games) {
    for (const auto& [path, line] : games) {
        if (text.find("\n" + line) == std::string::npos) {
            text.append(line);
        }
    }
}

// Adds `result` to the record in `folder`: under the lock, the whole record is read, the game
// added and the new record written beside the old one, flushed to disk and renamed over it. So
// two games ending at once both land, and a crash leaves the old record or the new one. When
// another program holds the lock for long, the game waits in a file of its own instead, named
// in `pending`, and joins the record with the next game recorded.
std::string record(const std::string& folder, const GameResult& result, std::string& pending) {
    if (std::string problem = files::makeFolders(folder); !problem.empty()) {
        return at(folder, problem);
    }
    const std::string lockPath = folder + "/scores.lock";
    const files::Lock lock(lockPath, kRecordWaitMs);
    if (lock.busy()) {
        pending = folder + "/" + std::string(kPendingPrefix) + files::randomName() +
                  std::string(kPendingSuffix);
        const std::string problem = files::replace(pending, writeResult(result), true);
        return problem.empty() ? std::string() : at(pending, problem);
    }
    if (!lock.held()) {
        return at(lockPath, lock.problem());
    }
    const std::string path = folder + "/scores";
    std::string problem;
    std::optional<std::string> text = files::read(path, kMostRecordBytes, problem);
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
    const std::vector<std::pair<std::string, std::string>> waiting = pendingGames(folder);
    addPending(*text, waiting);
    text->append(writeResult(result));
    files::removeTemporaries(path);  // of programs killed while they held the lock
    problem = at(path, files::replace(path, *text, true));
    for (const auto& [waitingPath, line] : waiting) {
        if (problem.empty()) {
            files::remove(waitingPath);
        }
    }
    return problem;
}

}  // namespace

Records::Records()
    : savingByDefault_(savingAsked().value_or(files::inputIsTerminal())),
      saving_(savingByDefault_) {
    stateFolder_ = files::userFolder("XDG_STATE_HOME", ".local/state", stateProblem_);
    dataFolder_ = files::userFolder("XDG_DATA_HOME", ".local/share", dataProblem_);
}

// Picks the new game's save and takes its lock, which a lock file created anew reserves.
std::string Records::startSave() {
    std::string problem = at(stateFolder_, files::makeFolders(stateFolder_));
    for (std::int32_t tries = 0; problem.empty() && tries < kNameTries; ++tries) {
        const std::string path = newSavePath(stateFolder_);
        auto lock = std::make_unique<files::Lock>(path + std::string(kLockSuffix), 0,
                                                  files::Lock::Create::onlyNew);
        if (lock->held()) {
            savePath_ = path;
            saveLock_ = std::move(lock);
            return {};
        }
        problem = at(path + std::string(kLockSuffix), lock->problem());
        if (tries + 1 < kNameTries && !lock->busy() && !lock->problem().empty()) {
            problem.clear();  // the name was taken: try another
        }
    }
    return problem;
}

void Records::saveTurn(const GameState& state) {
    if (!saving_) {
        return;
    }
    std::string problem = stateProblem_;
    if (problem.empty() && savePath_.empty()) {
        problem = startSave();
    }
    if (problem.empty()) {
        // Only the first save is forced to disk: a rename onto a new name, unlike one over an
        // older save, is not ordered after the file's data (see files_posix.cpp).
        problem = at(savePath_, files::replace(savePath_, writeSave({state, now()}), !saveOnDisk_));
        saveOnDisk_ = saveOnDisk_ || problem.empty();
    }
    if (saveFailure_.empty()) {
        saveFailure_ = problem;
    }
}

void Records::endGame(const Game& game, bool addToRecord) {
    if (addToRecord && game.isOver()) {
        std::string pending;
        const std::string problem = dataProblem_.empty()
                                        ? record(dataFolder_, resultOf(game, now()), pending)
                                        : dataProblem_;
        if (!problem.empty()) {
            ++gamesNotRecorded_;
            if (recordFailure_.empty()) {
                recordFailure_ = problem;
            }
        } else if (!pending.empty() && pendingNote_.empty()) {
            pendingNote_ = pending;
        }
    }
    if (!savePath_.empty()) {
        // The temporary files first: a save killed in the middle of its write leaves one.
        for (const std::string& problem :
             {at(savePath_ + ".*.tmp", files::removeTemporaries(savePath_)),
              at(savePath_, files::remove(savePath_)),
              at(savePath_ + std::string(kLockSuffix), saveLock_ ? saveLock_->removeFile() : "")}) {
            removeFailure_ = removeFailure_.empty() ? problem : removeFailure_;
        }
        savePath_.clear();
        saveLock_.reset();
        saveOnDisk_ = false;
    }
    saving_ = savingByDefault_;
}

std::vector<SaveFile> Records::savedGames(std::string& problem) const {
    std::vector<SaveFile> saves;
    for (std::string& path : files::byAge(files::list(stateFolder_, "", kSaveSuffix, problem))) {
        SaveFile save{std::move(path), std::nullopt, {}, false, nullptr};
        save.lock = std::make_unique<files::Lock>(save.path + std::string(kLockSuffix), 0);
        std::string failed;
        const std::optional<std::string> text = files::read(save.path, kMostSaveBytes, failed);
        if (!text && failed.empty()) {
            save.lock->removeFile();  // its game ended meanwhile
            continue;
        }
        if (save.lock->busy()) {
            save.inUse = true;
            save.problem = "is being played by another copy of Kessandor";
        } else if (!save.lock->held()) {
            save.problem = std::string("cannot be locked: ").append(save.lock->problem());
        } else if (text) {
            save.game = readSave(*text, save.problem);
        } else {
            save.problem = std::string("cannot be read: ").append(failed);
        }
        saves.push_back(std::move(save));
    }
    return saves;
}

void Records::resumeFrom(SaveFile& save) {
    savePath_ = save.path;
    saveLock_ = std::move(save.lock);
    saveOnDisk_ = true;
    saving_ = savingAsked().value_or(true);
    files::removeTemporaries(savePath_);
}

std::string Records::forget(const SaveFile& save) {
    std::string problem = at(save.path + ".*.tmp", files::removeTemporaries(save.path));
    const std::string removed = at(save.path, files::remove(save.path));
    problem = problem.empty() ? removed : problem;
    const std::string unlocked =
        at(save.path + std::string(kLockSuffix), save.lock ? save.lock->removeFile() : "");
    return problem.empty() ? unlocked : problem;
}

std::vector<std::string> Records::problems() const {
    const auto line = [](std::string_view what, const std::string& why) {
        return std::string(what).append(": ").append(why);
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
    if (!pendingNote_.empty()) {
        lines.push_back(std::string("another program held the record of games for ")
                            .append(std::to_string(kRecordWaitMs / 1000))
                            .append(" seconds: the finished game waits in ")
                            .append(pendingNote_)
                            .append(" and joins the record with the next game that ends"));
    }
    return lines;
}

std::optional<std::string> recordText(std::string& path, std::string& problem) {
    const std::string folder = files::userFolder("XDG_DATA_HOME", ".local/share", problem);
    if (folder.empty()) {
        return std::nullopt;
    }
    path = folder + "/scores";
    std::optional<std::string> text = files::read(path, kMostRecordBytes, problem);
    problem = at(path, problem);
    if (problem.empty() && text && !text->empty()) {
        problem = checkScoresHeader(firstLine(*text));
        problem = problem.empty() ? problem : path + " " + problem;
    }
    if (!problem.empty()) {
        return std::nullopt;
    }
    const std::vector<std::pair<std::string, std::string>> waiting = pendingGames(folder);
    if (!waiting.empty()) {  // they are the record's, only late
        if (!text || text->empty()) {
            text = scoresHeader();
        }
        if (!text->ends_with('\n')) {
            *text += '\n';
        }
        addPending(*text, waiting);
    }
    return text.value_or("");
}

void tell(std::string_view line) {
    std::fprintf(stderr, "kessandor: %s\n", Game::visibleName(line).c_str());
}
