#include "options.h"

#include <getopt.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>
#include <vector>

#include "game/game.h"

namespace {

// One option of the command line. To add one: a row here, a field in Options and a case in
// takeOption.
struct OptionRow {
    const char* name;
    int key;  // its short letter, or a number above any letter when it has none
    bool takesValue;
    bool standsAlone;
};

enum Key : int { kSeed = 256, kLevel, kResume, kScores, kSaves, kForget, kTableFd };

constexpr std::array<OptionRow, 10> kTable = {{
    {"help", 'h', false, true},
    {"version", 'V', false, true},
    {"scores", kScores, false, true},
    {"saves", kSaves, false, true},
    {"forget", kForget, true, true},
    {"resume", kResume, false, false},
    {"seed", kSeed, true, false},
    {"computers", 'c', true, false},
    {"level", kLevel, true, false},
    {"table", kTableFd, true, false},
}};

const OptionRow* rowOf(int key) {
    const auto* found = std::find_if(kTable.begin(), kTable.end(),
                                     [key](const OptionRow& row) { return row.key == key; });
    return found == kTable.end() ? nullptr : found;
}

UsageError unexpected(std::string_view argument) {
    return {std::string("unexpected argument '").append(argument) += "'"};
}

UsageError needs(const OptionRow& row, std::string_view what, std::string_view value) {
    return {
        std::string("--").append(row.name).append(" needs ").append(what).append(", not '").append(
            value) += "'"};
}

template <typename Int>
std::optional<Int> parseNumber(std::string_view text) {
    Int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::int32_t> parseComputers(std::string_view text) {
    if (text.size() != 1 || text[0] < '1' || text[0] > '0' + kMaxPlayers - 1) {
        return std::nullopt;
    }
    return text[0] - '0';
}

// Stores the option `row` with `value` (empty for an option that takes none).
std::optional<UsageError> takeOption(const OptionRow& row, std::string_view value,
                                     Options& options) {
    switch (row.key) {
        case 'h':
            options.help = true;
            break;
        case 'V':
            options.version = true;
            break;
        case kScores:
            options.scores = true;
            break;
        case kSaves:
            options.saves = true;
            break;
        case kResume:
            options.resume = true;
            break;
        case kForget:
            options.forget = parseNumber<std::int32_t>(value);
            if (!options.forget || *options.forget < 1) {
                return needs(row, "the number of a game that --saves lists", value);
            }
            break;
        case kSeed:
            options.seed = parseNumber<std::uint32_t>(value);
            if (!options.seed) {
                return needs(row, "a number from 0 to 4294967295", value);
            }
            break;
        case kTableFd:
            options.table = parseNumber<int>(value);
            if (!options.table || *options.table < 0) {
                return needs(row, "a descriptor number", value);
            }
            break;
        case 'c':
            options.computers = parseComputers(value);
            if (!options.computers) {
                return needs(row, "a number from 1 to 4", value);
            }
            break;
        default:
            options.level = levelNamed(value);
            if (!options.level) {
                return needs(row, "easy, normal or hard", value);
            }
            break;
    }
    return std::nullopt;
}

std::vector<option> longOptions() {
    std::vector<option> table(kTable.size() + 1, option{nullptr, 0, nullptr, 0});
    std::transform(kTable.begin(), kTable.end(), table.begin(), [](const OptionRow& row) {
        return option{row.name, row.takesValue ? required_argument : no_argument, nullptr, row.key};
    });
    return table;
}

// "+": the first argument that is no option ends them; ":": a missing value is told apart.
std::string shortOptions() {
    std::string letters = "+:";
    for (const OptionRow& row : kTable) {
        if (row.key < kSeed) {
            letters.append(1, static_cast<char>(row.key)).append(row.takesValue ? ":" : "");
        }
    }
    return letters;
}

}  // namespace

std::optional<UsageError> parseOptions(int argc, const char* const* argv, Options& options) {
    std::vector<std::string> words(argv, argv + argc);
    std::vector<char*> pointers(words.size() + 1, nullptr);  // getopt_long takes them writable
    std::transform(words.begin(), words.end(), pointers.begin(),
                   [](std::string& word) { return word.data(); });
    static const std::vector<option> table = longOptions();
    static const std::string letters = shortOptions();
    std::vector<std::string> given;  // each option as it was spelled, in order
    std::vector<int> seen;
    bool alone = false;
    opterr = 0;
    optind = 0;  // starts afresh, as each call reads a command line of its own
    for (;;) {
        int index = -1;
        const int key = getopt_long(argc, pointers.data(), letters.c_str(), table.data(), &index);
        if (key == -1) {
            break;
        }
        const std::string_view word = words.at(static_cast<std::size_t>(optind - 1));
        const OptionRow* row = rowOf(key == '?' || key == ':' ? optopt : key);
        std::string spelled(word.substr(0, word.find('=')));  // unknown, or "--name=..."
        if (index >= 0) {
            spelled = std::string("--").append(row->name);
        } else if (!word.starts_with("--") && row != nullptr) {
            spelled = std::string("-").append(1, static_cast<char>(row->key));
        }
        if (key == '?') {  // an unknown option, or a value given to one that takes none
            return optopt != 0 && !word.starts_with("--")
                       ? unexpected(std::string("-").append(1, static_cast<char>(optopt)))
                       : unexpected(word);
        }
        if (key == ':') {
            return UsageError{std::string("'").append(spelled) += "' needs a value"};
        }
        if (std::find(seen.begin(), seen.end(), key) != seen.end()) {
            return UsageError{std::string("'").append(spelled) += "' is given more than once"};
        }
        seen.push_back(key);
        given.push_back(spelled);
        alone = alone || row->standsAlone;
        if (std::optional<UsageError> error =
                takeOption(*row, optarg != nullptr ? optarg : "", options)) {
            return error;
        }
    }
    if (optind < argc) {
        return unexpected(words.at(static_cast<std::size_t>(optind)));
    }
    if (alone && given.size() > 1) {
        // It stands alone: after it, the next option is the one out of place.
        const auto first =
            std::find_if(seen.begin(), seen.end(), [](int key) { return rowOf(key)->standsAlone; });
        const auto at = static_cast<std::size_t>(first - seen.begin());
        return unexpected(given.at(at == 0 ? 1 : at));
    }
    if (options.level && !options.computers) {
        return UsageError{"'--level' sets how computer players play, and there are none: add -c N"};
    }
    return std::nullopt;
}
