#include "records/text_fields.h"

#include <algorithm>
#include <array>

std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = line.find_first_not_of(' ');
    while (start != std::string_view::npos) {
        const std::size_t end = std::min(line.find(' ', start), line.size());
        fields.push_back(line.substr(start, end - start));
        start = line.find_first_not_of(' ', end);
    }
    return fields;
}

std::string utcTime(std::time_t when) {
    std::array<char, 32> text{};
    const std::tm* parts = std::gmtime(&when);
    if (parts == nullptr ||
        std::strftime(text.data(), text.size(), "%Y-%m-%dT%H:%M:%SZ", parts) == 0) {
        return "1970-01-01T00:00:00Z";
    }
    return text.data();
}

// The year has four digits or more: the clock may be set far ahead, and what is written must
// read back.
bool isUtcTime(std::string_view text) {
    constexpr std::string_view kPattern = "-dd-ddTdd:dd:ddZ";
    constexpr std::size_t kLongestYear = 12;
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (text.size() < 4 + kPattern.size() || text.size() > kLongestYear + kPattern.size()) {
        return false;
    }
    const std::string_view year = text.substr(0, text.size() - kPattern.size());
    const std::string_view rest = text.substr(year.size());
    return std::all_of(year.begin(), year.end(), digit) &&
           std::equal(kPattern.begin(), kPattern.end(), rest.begin(),
                      [&digit](char want, char c) { return want == 'd' ? digit(c) : want == c; });
}
