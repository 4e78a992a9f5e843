// The thread that does the server's disk work: writing the table list and adding finished
// games to the record. Both wait for fsync, which on a busy disk takes tens of milliseconds, and
// every key of every table would wait behind them on the event loop. Jobs run one at a time, in
// the order given; each one's report then runs on the loop.
#pragma once

#include <boost/asio/io_context.hpp>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace server {

class DiskThread {
public:
    // What a job did: "" when it went well, else what went wrong, in words.
    using Work = std::function<std::string()>;
    using Report = std::function<void(const std::string& problem)>;

    // REQUIRES: `io` outlives this thread; only the loop's thread calls run and drain.
    explicit DiskThread(boost::asio::io_context& io);
    // Runs every job given, then ends. Reports not yet run on the loop never run.
    ~DiskThread();
    DiskThread(const DiskThread&) = delete;
    DiskThread& operator=(const DiskThread&) = delete;

    // `work` runs on the disk thread and must touch nothing the loop touches; `report` runs on
    // the loop afterwards with what `work` returned.
    void run(Work work, Report report);
    // Returns once every job given so far has run (their reports are still to come).
    void drain();

private:
    struct Job {
        Work work;
        Report report;
    };
    void loop();

    boost::asio::io_context& io_;
    // False once this thread is gone: its last reports may still be on the loop's queue.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::mutex mutex_;
    std::condition_variable wake_, idle_;
    std::deque<Job> jobs_;  // under mutex_, as are the two flags
    bool busy_ = false, quit_ = false;
    std::thread thread_;  // last: it starts once everything above is ready
};

}  // namespace server
