#include "records/names.h"

#include "records/text_fields.h"

namespace {

constexpr std::string_view kHexDigits = "0123456789abcdef";

}  // namespace

std::string escapeName(std::string_view name) {
    if (name.empty()) {
        return "%";
    }
    std::string word;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte == 0x7F || c == '%') {
            word.append("%").append(1, kHexDigits[byte >> 4U]).append(1, kHexDigits[byte & 15U]);
        } else {
            word += c;
        }
    }
    return word;
}

std::optional<std::string> unescapeName(std::string_view word) {
    std::string name;
    if (word == "%") {
        return name;
    }
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (word[i] != '%') {
            name += word[i];
            continue;
        }
        const std::optional<unsigned> byte = parseNumber<unsigned>(word.substr(i + 1, 2), 16);
        if (i + 2 >= word.size() || !byte) {
            return std::nullopt;
        }
        name += static_cast<char>(*byte);
        i += 2;
    }
    return word.empty() ? std::nullopt : std::optional(name);
}
