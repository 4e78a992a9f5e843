#include "client/arguments.h"

#include <charconv>
#include <cstdint>
#include <span>
#include <string_view>

namespace join {
namespace {

template <typename Number>
std::optional<Number> readNumber(std::string_view text, Number highest) {
    Number value{};
    const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || problem != std::errc{} || end != text.data() + text.size() ||
        value < Number{} || value > highest) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<std::string> parseArguments(int argc, const char* const* argv, Arguments& arguments) {
    const std::span<const char* const> words(argv, static_cast<std::size_t>(argc));
    std::optional<std::string> url;
    bool settingsGiven = false;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::string_view word = words[i];
        const bool hasValue = i + 1 < words.size();
        if (word == "-h" || word == "--help") {
            arguments.help = true;
            return std::nullopt;
        }
        if (word == "-V" || word == "--version") {
            arguments.version = true;
            return std::nullopt;
        }
        if (word == "-c" || word == "--computers" || word == "--level" || word == "--seed") {
            if (!hasValue) {
                return std::string(word) + " needs a value";
            }
            const std::string_view value = words[++i];
            settingsGiven = true;
            if (word == "--level") {
                if (value != "easy" && value != "normal" && value != "hard") {
                    return "the level is easy, normal or hard";
                }
                arguments.settings.level = value;
            } else if (word == "--seed") {
                arguments.settings.seed = readNumber<std::uint32_t>(value, UINT32_MAX);
                if (!arguments.settings.seed) {
                    return "the seed is a number from 0 to 4294967295";
                }
            } else {
                arguments.settings.computers = readNumber<int>(value, 4);
                if (!arguments.settings.computers) {
                    return "the number of computers is 0 to 4";
                }
            }
        } else if (!word.empty() && word.front() == '-') {
            return "unknown option " + std::string(word);
        } else if (url) {
            return "one link only";
        } else {
            url = word;
        }
    }
    if (!url) {
        return "give the table's link, or the server's address to create a table";
    }
    UrlError error;
    const std::optional<TableUrl> parsed = parseTableUrl(*url, error);
    if (!parsed) {
        return error.message;
    }
    if (settingsGiven && !parsed->table.empty()) {
        return "-c, --level and --seed are for a new table: give the server's address alone";
    }
    arguments.url = *parsed;
    return std::nullopt;
}

}  // namespace join
