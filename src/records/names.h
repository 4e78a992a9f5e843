// How a player's name is written in the kept files: a name is one word of any bytes; white
// space, control bytes and "%" are written as "%" and two hex digits and an empty name as a
// lone "%", so every line splits into its fields at spaces.
#pragma once

#include <optional>
#include <string>
#include <string_view>

std::string escapeName(std::string_view name);
// The name `word` holds, or nullopt when it is badly escaped.
std::optional<std::string> unescapeName(std::string_view word);
