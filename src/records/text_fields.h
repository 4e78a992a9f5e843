// The pieces both kept files are written in: numbers, fields split at spaces, and moments in
// UTC. Conversions between text and data only.
#pragma once

#include <charconv>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

template <typename Int>
std::optional<Int> parseNumber(std::string_view text, int base = 10) {
    Int value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

// The words of `line`, split at runs of spaces.
std::vector<std::string_view> splitFields(std::string_view line);

// "2026-12-07T19:17:00Z": the moment in UTC, as both files write it.
std::string utcTime(std::time_t when);
// Whether `text` is a moment as utcTime writes it.
bool isUtcTime(std::string_view text);
// "2026-12-07" of such a moment.
inline std::string_view datePart(std::string_view time) {
    return time.substr(0, time.find('T'));
}
