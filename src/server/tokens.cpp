#include "server/tokens.h"

#include <sys/random.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace server {

namespace {

constexpr std::string_view kAlphabet = "abcdefghijklmnopqrstuvwxyz234567";

void fillRandom(unsigned char* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t got = getrandom(bytes, size, 0);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            throw std::runtime_error("the system has no random source");
        }
        bytes += got;
        size -= static_cast<std::size_t>(got);
    }
}

}  // namespace

std::string randomBase32(std::size_t characters) {
    // One byte a character, of which 5 bits are used: simple, and no bias (256 = 8 x 32).
    std::vector<unsigned char> bytes(characters);
    fillRandom(bytes.data(), bytes.size());
    std::string text;
    text.reserve(characters);
    for (const unsigned char byte : bytes) {
        text += kAlphabet[byte & 31U];
    }
    return text;
}

bool looksLikeToken(std::string_view text) {
    return text.size() == 26 && std::all_of(text.begin(), text.end(), [](char c) {
               return kAlphabet.find(c) != std::string_view::npos;
           });
}

bool looksLikeTableId(std::string_view text) {
    return !text.empty() && text.size() <= 40 && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
    });
}

}  // namespace server
