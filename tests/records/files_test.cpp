// The file operations under what a shared or hostile folder holds: names taken already,
// symbolic links, fifos, huge files and permissions.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "records/files.h"

namespace {

namespace fs = std::filesystem;

class Files : public testing::Test {
protected:
    void SetUp() override {
        std::string folder = testing::TempDir() + "kessandor_files_XXXXXX";
        ASSERT_NE(mkdtemp(folder.data()), nullptr);
        folder_ = folder;
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string path(const std::string& name) const { return (folder_ / name).string(); }

    static std::string contents(const std::string& file) {
        std::ostringstream text;
        text << std::ifstream(file).rdbuf();
        return text.str();
    }

    static mode_t modeOf(const std::string& file) {
        struct stat status {};
        EXPECT_EQ(lstat(file.c_str(), &status), 0) << file;
        return status.st_mode & 07777U;
    }

    fs::path folder_;
};

// Two games that start at once, in two containers with the same process id, must never share a
// file: a lock file taken as new reserves a save's name, and temporary names never repeat.
TEST_F(Files, ANameTakenAlreadyIsNeverTakenAgain) {
    const std::string name = path("game.save.lock");
    const files::Lock first(name, 0, files::Lock::Create::onlyNew);
    ASSERT_TRUE(first.held()) << first.problem();
    const files::Lock second(name, 0, files::Lock::Create::onlyNew);
    EXPECT_FALSE(second.held());
    EXPECT_FALSE(second.busy());
    EXPECT_EQ(second.problem(), "File exists");
    const files::Lock third(name, 0);  // as a second copy listing the saves takes it
    EXPECT_TRUE(third.busy());
    std::set<std::string> names;
    for (int i = 0; i < 1000; ++i) {
        names.insert(files::temporaryFor(path("scores")));
    }
    EXPECT_EQ(names.size(), 1000U);
}

TEST_F(Files, NothingIsWrittenThroughASymbolicLinkOrOverAnythingButAFile) {
    const std::string victim = path("victim");
    std::ofstream(victim) << "someone else's\n";
    fs::create_symlink(victim, path("linked"));
    EXPECT_EQ(files::replace(path("linked"), "new\n", false),
              "a symbolic link, which Kessandor does not follow");
    fs::create_directory(path("folder"));
    EXPECT_EQ(files::replace(path("folder"), "new\n", false), "not a regular file");
    fs::create_symlink(path("nowhere"), path("lock"));
    const files::Lock lock(path("lock"), 0);
    EXPECT_EQ(lock.problem(), "a symbolic link, which Kessandor does not follow");
    EXPECT_FALSE(fs::exists(path("nowhere")));
    EXPECT_EQ(contents(victim), "someone else's\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()),
              4);  // no temporary left
}

TEST_F(Files, OnlyARegularFileOfTheBoundedSizeIsRead) {
    std::string problem;
    std::ofstream(path("small")) << "12345";
    EXPECT_EQ(files::read(path("small"), 5, problem).value_or("?"), "12345");
    EXPECT_FALSE(files::read(path("small"), 4, problem));
    EXPECT_EQ(problem, "larger than 4 bytes");
    ASSERT_EQ(mkfifo(path("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(files::read(path("fifo"), 5, problem));  // at once: no writer is waited for
    EXPECT_EQ(problem, "not a regular file");
    fs::create_symlink(path("small"), path("link"));
    EXPECT_FALSE(files::read(path("link"), 5, problem));
    EXPECT_EQ(problem, "a symbolic link, which Kessandor does not follow");
    EXPECT_FALSE(files::read(path("none"), 5, problem));
    EXPECT_EQ(problem, "");
}

TEST_F(Files, NewFilesAndFoldersAreTheOwnersAndAReplacedFileKeepsItsMode) {
    const std::string folder = path("a/b");
    ASSERT_EQ(files::makeFolders(folder), "");
    EXPECT_EQ(modeOf(path("a")), 0700U);
    EXPECT_EQ(modeOf(folder), 0700U);
    const std::string file = folder + "/scores";
    ASSERT_EQ(files::replace(file, "one\n", true), "");
    EXPECT_EQ(modeOf(file), 0600U);
    ASSERT_EQ(chmod(file.c_str(), 0644), 0);
    ASSERT_EQ(files::replace(file, "two\n", false), "");
    EXPECT_EQ(modeOf(file), 0644U);
    EXPECT_EQ(contents(file), "two\n");
}

}  // namespace
