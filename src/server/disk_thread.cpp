#include "server/disk_thread.h"

#include <boost/asio/post.hpp>

namespace asio = boost::asio;

namespace server {

DiskThread::DiskThread(asio::io_context& io) : io_(io), thread_([this] { loop(); }) {}

DiskThread::~DiskThread() {
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_one();
    thread_.join();
    *alive_ = false;
}

void DiskThread::run(Work work, Report report) {
    {
        const std::lock_guard lock(mutex_);
        jobs_.push_back({std::move(work), std::move(report)});
    }
    wake_.notify_one();
}

void DiskThread::drain() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return !busy_ && jobs_.empty(); });
}

void DiskThread::loop() {
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return !jobs_.empty() || quit_; });
        if (jobs_.empty()) {
            return;  // quitting, with nothing left to do
        }
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        busy_ = true;
        lock.unlock();
        std::string problem = job.work();
        asio::post(io_,
                   [alive = alive_, report = std::move(job.report), problem = std::move(problem)] {
                       if (*alive) {
                           report(problem);
                       }
                   });
        lock.lock();
        busy_ = false;
        idle_.notify_all();
    }
}

}  // namespace server
