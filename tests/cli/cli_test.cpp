// The command line: --help and --version answer on standard output and leave the terminal
// alone; anything else is a usage error on standard error with exit status 2.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct Outcome {
    int status = -1;  // the exit status, or -1 when the game did not exit normally
    std::string out;
    std::string err;
};

// Runs the game with `args` through the shell. Standard input is empty, so a game that
// starts by mistake ends at once instead of waiting for a player.
Outcome runGame(const std::vector<std::string>& args) {
    const std::string errPath = testing::TempDir() + "kessandor_cli_" + std::to_string(getpid());
    std::string command = "exec '" KESSANDOR_BINARY "'";
    for (const std::string& arg : args) {
        command += " '" + arg + "'";  // the arguments below hold no quote
    }
    command += " </dev/null 2>'" + errPath + "'";
    Outcome run;
    FILE* game = popen(command.c_str(), "r");
    if (game == nullptr) {
        ADD_FAILURE() << "cannot run " << command;
        return run;
    }
    for (int c = std::fgetc(game); c != EOF; c = std::fgetc(game)) {
        run.out.push_back(static_cast<char>(c));
    }
    const int wstatus = pclose(game);
    run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    std::ifstream err(errPath);
    run.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
    std::remove(errPath.c_str());
    return run;
}

TEST(CommandLine, VersionPrintsNameAndVersionOnly) {
    const Outcome run = runGame({"--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "kessandor 1.0\n");
    EXPECT_EQ(run.err, "");
}

TEST(CommandLine, HelpPrintsUsageOnStandardOutput) {
    const Outcome run = runGame({"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("Usage: kessandor", 0), 0u) << run.out;
    for (const char* option : {"--help", "--version", "kessandor(6)"}) {
        EXPECT_NE(run.out.find(option), std::string::npos) << option;
    }
    EXPECT_EQ(run.out.find_first_of("\f\x1b"), std::string::npos) << "a screen was cleared";
    EXPECT_EQ(run.out.find("Welcome to Kessandor!"), std::string::npos) << "the game started";
    EXPECT_EQ(run.out.back(), '\n');
    EXPECT_EQ(run.err, "");
}

TEST(CommandLine, AnyOtherArgumentIsAUsageErrorNamingIt) {
    struct Case {
        std::vector<std::string> args;
        std::string culprit;  // the argument the message must name
    };
    const std::vector<Case> cases = {
        {{"--bogus"}, "'--bogus'"},   {{"-h"}, "'-h'"},
        {{"help"}, "'help'"},         {{"--VERSION"}, "'--VERSION'"},
        {{"--help=1"}, "'--help=1'"}, {{""}, "''"},
        {{"--version", "x"}, "'x'"},  {{"--help", "--version"}, "'--version'"},
        {{"-", "-", "-"}, "'-'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.culprit);
        const Outcome run = runGame(c.args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind("kessandor: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(c.culprit), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("--help"), std::string::npos) << "no hint at the usage";
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "not one line: " << run.err;
    }
}

TEST(CommandLine, WithoutArgumentsTheGameRuns) {
    const Outcome run = runGame({});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("                  Welcome to Kessandor!"), std::string::npos);
    EXPECT_EQ(run.err, "");
}

}  // namespace
