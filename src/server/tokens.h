// Unguessable names for tables and their links, from the operating system's random source.
#pragma once

#include <cstddef>
#include <string>

namespace server {

// `characters` characters of lower-case base 32 (a-z, 2-7): 5 bits each, read from the
// system's cryptographic random source. Throws std::runtime_error when there is none.
std::string randomBase32(std::size_t characters);

// A link's secret: 26 characters, 130 bits.
inline std::string newToken() {
    return randomBase32(26);
}

// Whether `text` could be a token: 26 characters of the alphabet above. Checked before any
// look-up, so a guess of another shape costs nothing.
bool looksLikeToken(std::string_view text);

// Whether `text` is a table's name as links carry it: 1 to 40 of a-z, 0-9 and '-'.
bool looksLikeTableId(std::string_view text);

}  // namespace server
