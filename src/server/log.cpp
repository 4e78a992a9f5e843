#include "server/log.h"

#include <cstdio>

namespace server {

std::string logValue(std::string_view text) {
    constexpr std::string_view kHex = "0123456789ABCDEF";
    std::string value;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte >= 0x7F || c == '"' || c == '\\' || c == '%') {
            value.append(1, '%').append(1, kHex[byte >> 4U]).append(1, kHex[byte & 15U]);
        } else {
            value += c;
        }
    }
    return value.empty() ? "-" : value;
}

void logEvent(std::string_view event, std::initializer_list<LogField> fields) {
    std::string line = "kessandor-serve: event=";
    line.append(logValue(event));
    for (const auto& [key, value] : fields) {
        line.append(" ").append(key).append("=").append(logValue(value));
    }
    line += '\n';
    std::fputs(line.c_str(), stderr);  // stderr is unbuffered: one line, one write
}

}  // namespace server
