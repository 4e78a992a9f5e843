// The table list on disk (tables.json): what brings every unfinished table back after a restart.
// It is read once when the server starts. After that it is written whole, fsynced and renamed
// into place, so a kill at any moment leaves the old list or the new one. The writes are done by
// the disk thread, so the event loop never waits for them, and the changes made while one is
// under way all go into the next, so the number of writes follows the disk, not the tables.
#pragma once

#include <boost/asio/io_context.hpp>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "server/disk_thread.h"
#include "server/table.h"

namespace server {

// One table of the list as the file holds it, and back; nullopt for an entry this server did
// not write (damaged, or edited by hand into something unsound).
std::string tableListEntry(const TableRecord& record);
std::optional<TableRecord> readTableListEntry(std::string_view text);

class TableList {
public:
    // What a finished write reports: "" when it is on disk, else what went wrong.
    using Written = std::function<void(const std::string& problem)>;

    // REQUIRES: `io` and `disk` outlive this list; only the loop's thread calls it.
    TableList(boost::asio::io_context& io, DiskThread& disk, std::filesystem::path path);
    // Changes not yet handed to the disk thread are not written: call writeNow first.
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

    boost::asio::io_context& io_;
    DiskThread& disk_;
    const std::filesystem::path path_;
    std::map<std::string, std::string, std::less<>> entries_;  // by table id
    std::uint64_t changes_ = 0;                                // changes made so far
    std::uint64_t handedTo_ = 0;  // the last change handed to the disk thread
    std::uint64_t written_ = 0;   // the last change on disk (or failed)
    bool writing_ = false;        // a write is under way
    std::uint64_t writes_ = 0;
    std::vector<Waiter> waiters_;
    // False once this list is gone: a report of its last write may still come.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace server
