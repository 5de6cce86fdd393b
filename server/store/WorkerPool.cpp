#include "store/WorkerPool.h"

#include <algorithm>

WorkerPool::WorkerPool(int threads, std::size_t queueLimit) : queueLimit_(queueLimit)
{
    for (int i = 0; i < std::max(1, threads); ++i)
        threads_.emplace_back([this] { work(); });
}

WorkerPool::~WorkerPool()
{
    stop();
}

void WorkerPool::stop()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (auto &thread : threads_)
        if (thread.joinable())
            thread.join();
}

bool WorkerPool::submit(Clock::time_point deadline, Job job)
{
    {
        std::lock_guard lock(mutex_);
        if (queue_.size() >= queueLimit_ || stopping_)
            return false;
        queue_.push_back({deadline, std::move(job)});
    }
    wake_.notify_one();
    return true;
}

std::size_t WorkerPool::queued() const
{
    std::lock_guard lock(mutex_);
    return queue_.size();
}

void WorkerPool::work()
{
    for (;;) {
        Queued next;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty())
                return;
            next = std::move(queue_.front());
            queue_.pop_front();
        }
        next.job(Clock::now() >= next.deadline);
    }
}
