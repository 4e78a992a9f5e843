#include "server/protocol.h"

#include <nlohmann/json.hpp>

#include "ai/computer.h"

using nlohmann::json;

namespace server {

std::optional<std::string> parseHello(std::string_view text) {
    const json hello = json::parse(text, nullptr, false);
    if (!hello.is_object() || hello.size() != 2 || !hello.contains("type") ||
        hello["type"] != "hello" || !hello.contains("token") || !hello["token"].is_string()) {
        return std::nullopt;
    }
    return hello["token"].get<std::string>();
}

std::optional<TableRequest> parseTableRequest(std::string_view body) {
    const json request = body.empty() ? json::object() : json::parse(body, nullptr, false);
    if (!request.is_object()) {
        return std::nullopt;
    }
    TableRequest table;
    for (const auto& [key, value] : request.items()) {
        if (key == "computers" && value.is_number_unsigned() && value.get<std::uint64_t>() <= 4) {
            table.computers = value.get<std::int32_t>();
        } else if (key == "level" && value.is_string() && levelNamed(value.get<std::string>())) {
            table.level = static_cast<std::int32_t>(*levelNamed(value.get<std::string>()));
        } else if (key == "seed" && value.is_number_unsigned() &&
                   value.get<std::uint64_t>() <= 0xFFFFFFFFULL) {
            table.seed = value.get<std::uint32_t>();
        } else {
            return std::nullopt;
        }
    }
    return table;
}

}  // namespace server
