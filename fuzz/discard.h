// Output that nobody reads: the screens of a fuzzed run go here.
#pragma once

#include <streambuf>

class Discard : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char* /*text*/, std::streamsize n) override { return n; }
};
