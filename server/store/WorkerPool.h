#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A few threads for blocking work (database calls, password hashing), so that the threads
// that read and write connections never wait for it. What it may hold is bounded:
// - submit() refuses at once when the queue is full, so a flood cannot pile up work;
// - a job whose deadline passed while it waited is not run: it is called with expired set,
//   and must only report that its caller gave up.
// Jobs must not throw. Used by the service for its store (with a deadline on every call)
// and for password hashing, each pool with threads of its own.
class WorkerPool
{
public:
    using Clock = std::chrono::steady_clock;
    using Job = std::function<void(bool expired)>;

    WorkerPool(int threads, std::size_t queueLimit);
    // stop().
    ~WorkerPool();
    WorkerPool(const WorkerPool &) = delete;
    WorkerPool &operator=(const WorkerPool &) = delete;

    // Queues job; false (job dropped, not called) when the queue is full.
    bool submit(Clock::time_point deadline, Job job);
    std::size_t queued() const;
    // Takes no more jobs, runs what is queued (each job past its deadline as expired) and
    // joins the threads. Safe to call again.
    void stop();

private:
    struct Queued
    {
        Clock::time_point deadline;
        Job job;
    };
    void work();

    std::size_t queueLimit_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Queued> queue_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};
