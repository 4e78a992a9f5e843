// Links as people paste them, and the command line around them.
#include <gtest/gtest.h>

#include <vector>

#include "client/arguments.h"
#include "client/url.h"

namespace join {
namespace {

std::optional<TableUrl> parse(std::string_view text) {
    UrlError error;
    return parseTableUrl(text, error);
}

std::string problem(std::string_view text) {
    UrlError error;
    EXPECT_FALSE(parseTableUrl(text, error)) << text;
    return error.message;
}

TEST(TableUrl, TakesATablesLinkApart) {
    const auto url =
        parse("http://example.org:8475/t/friday-x7k2m9q4rt#ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->host, "example.org");
    EXPECT_EQ(url->port, "8475");
    EXPECT_EQ(url->table, "friday-x7k2m9q4rt");
    EXPECT_EQ(url->token, "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    EXPECT_EQ(linkOf(*url),
              "http://example.org:8475/t/friday-x7k2m9q4rt#ABCDEFGHIJKLMNOPQRSTUVWXYZ");
}

TEST(TableUrl, WebSocketSchemeDefaultPortAndIpv6) {
    const auto url = parse("ws://[::1]/t/abc#tok");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->host, "::1");
    EXPECT_EQ(url->port, "80");
    EXPECT_EQ(hostAndPort(*url), "[::1]:80");
    const auto v6port = parse("http://[fe80::1]:9000/t/abc#tok");
    ASSERT_TRUE(v6port);
    EXPECT_EQ(hostAndPort(*v6port), "[fe80::1]:9000");
}

TEST(TableUrl, TheServerAloneNamesNoTable) {
    for (const char* text : {"http://127.0.0.1:8475", "http://127.0.0.1:8475/"}) {
        const auto url = parse(text);
        ASSERT_TRUE(url) << text;
        EXPECT_EQ(url->table, "");
        EXPECT_EQ(url->token, "");
        EXPECT_EQ(url->port, "8475");
    }
}

TEST(TableUrl, RefusesWhatIsNoTablesLink) {
    EXPECT_NE(problem("https://example.org/t/abc#tok").find("http://"), std::string::npos);
    EXPECT_NE(problem("/t/abc#tok").find("http://"), std::string::npos);
    const std::vector<const char*> bad = {
        "http://h/t/abc",           // the token left behind
        "http://h/t/abc#",          // an empty token
        "http://h/t/abc#tok%20en",  // a token with other characters
        "http://h/t/ABC#tok",       // IDs are lower case
        "http://h/t/a/b#tok",       // one path segment
        "http://h/t/#tok",         "http://h/tables/abc#tok",
        "http://h/#tok",  // a token without a table
        "http://h:0/t/abc#tok",    "http://h:65536/t/abc#tok",
        "http://h:80x/t/abc#tok",  "http://h:/t/abc#tok",
        "http://:80/t/abc#tok",    "http://user@h/t/abc#tok",
        "http://h/t/abc?x=1#tok",  "http://[::1/t/abc#tok",
        "http://[::1]x/t/abc#tok", "http://h\x1b[2J/t/abc#tok",
    };
    for (const char* text : bad) {
        EXPECT_FALSE(problem(text).empty()) << text;
    }
    EXPECT_FALSE(parse("http://h/t/" + std::string(41, 'a') + "#tok"));
    EXPECT_TRUE(parse("http://h/t/" + std::string(40, 'a') + "#tok"));
    EXPECT_FALSE(parse("http://h/t/abc#" + std::string(65, 'A')));
    EXPECT_FALSE(parse("http://h/t/abc#" + std::string(3000, 'A')));
}

std::optional<std::string> commandLine(std::vector<const char*> words, Arguments& arguments) {
    words.insert(words.begin(), "kessandor-join");
    return parseArguments(static_cast<int>(words.size()), words.data(), arguments);
}

TEST(Arguments, SettingsAreForANewTableOnly) {
    Arguments arguments;
    EXPECT_FALSE(commandLine({"http://h:1", "-c", "4", "--level", "hard", "--seed", "4294967295"},
                             arguments));
    EXPECT_EQ(arguments.settings.computers, 4);
    EXPECT_EQ(arguments.settings.level, "hard");
    EXPECT_EQ(arguments.settings.seed, 4294967295U);
    EXPECT_EQ(tableRequestBody(arguments.settings),
              R"({"computers":4,"level":"hard","seed":4294967295})");
    EXPECT_EQ(tableRequestBody({}), "{}");

    for (const std::vector<const char*>& wrong : std::vector<std::vector<const char*>>{
             {"http://h:1/t/abc#tok", "-c", "1"},  // an existing table has its players
             {"http://h:1", "-c", "5"},
             {"http://h:1", "-c", "-1"},
             {"http://h:1", "--seed", "4294967296"},
             {"http://h:1", "--level", "Hard"},
             {"http://h:1", "--seed"},
             {"http://h:1", "http://h:2"},
             {"http://h:1", "--resume"},
             {}}) {
        Arguments ignored;
        EXPECT_TRUE(commandLine(wrong, ignored)) << (wrong.empty() ? "" : wrong.back());
    }
}

}  // namespace
}  // namespace join
