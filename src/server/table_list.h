// The table list on disk (tables.json): what brings every unfinished table back after a restart.
// It is read once when the server starts. After that it is written whole, fsynced and renamed
// into place, so a kill at any moment leaves the old list or the new one. The writing happens on
// a thread of its own, so the event loop never waits for the disk. Changes made while a write is
// under way all go into the next one, so the number of writes follows the disk, not the
// number of tables.
#pragma once

#include <boost/asio/io_context.hpp>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "server/table.h"

namespace server {

// One table of the list as the file holds it, and back; nullopt for an entry this server did
// not write (damaged, or edited by hand into something unsound).
std::string tableListEntry(const TableRecord& record);
std::optional<TableRecord> readTableListEntry(std::string_view json);

class TableList {
public:
    // What a finished write reports: "" when it is on disk, else what went wrong.
    using Written = std::function<void(const std::string& problem)>;

    // REQUIRES: `io` outlives this list; its loop is the only thread that calls it.
    TableList(boost::asio::io_context& io, std::filesystem::path path);
    // Waits for the write under way. Changes not yet handed to the writer are not written:
    // call writeNow first to keep them.
    ~TableList();
    TableList(const TableList&) = delete;
    TableList& operator=(const TableList&) = delete;

    // The tables the file holds, which the list then holds too. Entries it cannot trust are
    // left out with a log line. Throws std::runtime_error when the file as a whole is damaged.
    std::vector<TableRecord> load();

    // The table is in the list as `record` from now on (written soon, not at once).
    void put(const TableRecord& record);
    // The table leaves the list.
    void remove(const std::string& id);
    // Calls `written` on the loop once every change made so far is on disk, or failed to be.
    void whenWritten(Written written);
    // Writes every change on the calling thread, after the write under way (the server stops).
    void writeNow();

    std::uint64_t writes() const { return writes_; }

private:
    struct Waiter {
        std::uint64_t change;  // written once this change is
        Written written;
    };
    std::string text() const;
    void startWrite();
    void onWritten(std::uint64_t change, const std::string& problem);
    void writerLoop();

    boost::asio::io_context& io_;
    const std::filesystem::path path_;
    std::map<std::string, std::string, std::less<>> entries_;  // by table id
    std::uint64_t changes_ = 0;                                // changes made so far
    std::uint64_t handedTo_ = 0;  // the last change handed to the writer
    std::uint64_t written_ = 0;   // the last change on disk (or failed)
    bool writing_ = false;        // a write is under way
    std::uint64_t writes_ = 0;
    std::vector<Waiter> waiters_;
    // False once this list is gone: the writer's last report may still be on the loop's queue.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

    // Shared with the writer thread, under `mutex_`.
    std::mutex mutex_;
    std::condition_variable wake_, idle_;
    struct Job {
        std::string text;
        std::uint64_t change;
    };
    std::optional<Job> job_;
    bool busy_ = false, quit_ = false;
    std::thread writer_;
};

}  // namespace server
