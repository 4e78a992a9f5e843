#include "options.h"

#include <charconv>
#include <string_view>

#include "game/game.h"

namespace {

UsageError unexpected(std::string_view argument) {
    return {std::string("unexpected argument '").append(argument) += "'"};
}

std::optional<std::uint32_t> parseSeed(std::string_view text) {
    std::uint32_t value = 0;
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

std::optional<int> parseDescriptor(std::string_view text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < 0) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<UsageError> parseOptions(int argc, const char* const* argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        const bool help = argument == "--help" || argument == "-h";
        const bool version = argument == "--version" || argument == "-V";
        const bool scores = argument == "--scores";
        if ((help || version || scores) && argc > 2) {
            // They stand alone: after one of them, the next argument is the one out of place.
            return unexpected(i == 1 ? argv[2] : argument);
        }
        if (help) {
            options.help = true;
        } else if (version) {
            options.version = true;
        } else if (scores) {
            options.scores = true;
        } else if (argument == "--resume" && !options.resume) {
            options.resume = true;
        } else if (argument == "--seed" && !options.seed) {
            const std::string_view value = i + 1 < argc ? argv[++i] : "";
            options.seed = parseSeed(value);
            if (!options.seed) {
                return UsageError{std::string("--seed needs a number from 0 to 4294967295, not '")
                                      .append(value) += "'"};
            }
        } else if ((argument == "--computers" || argument == "-c") && !options.computers) {
            const std::string_view value = i + 1 < argc ? argv[++i] : "";
            options.computers = parseComputers(value);
            if (!options.computers) {
                return UsageError{std::string(argument)
                                      .append(" needs a number from 1 to 4, not '")
                                      .append(value) += "'"};
            }
        } else if (argument == "--level" && !options.level) {
            const std::string_view value = i + 1 < argc ? argv[++i] : "";
            options.level = levelNamed(value);
            if (!options.level) {
                return UsageError{
                    std::string("--level needs easy, normal or hard, not '").append(value) += "'"};
            }
        } else if (argument == "--table" && !options.table) {
            const std::string_view value = i + 1 < argc ? argv[++i] : "";
            options.table = parseDescriptor(value);
            if (!options.table) {
                return UsageError{
                    std::string("--table needs a descriptor number, not '").append(value) += "'"};
            }
        } else {
            return unexpected(argument);
        }
    }
    return std::nullopt;
}
