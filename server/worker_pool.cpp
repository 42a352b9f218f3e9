#include "server/worker_pool.h"

#include <algorithm>

namespace sint {

WorkerPool::WorkerPool(std::size_t workers) {
    workers = std::max<std::size_t>(workers, 1);
    threads_.reserve(workers);
    for (std::size_t i = 0; i < workers; ++i) threads_.emplace_back([this, i] { run(i); });
}

WorkerPool::~WorkerPool() {
    stop();
}

void WorkerPool::submit(Job job) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        queue_.push_back(std::move(job));
    }
    wake_.notify_one();
}

void WorkerPool::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    for (std::thread& thread : threads_)
        if (thread.joinable()) thread.join();
}

void WorkerPool::run(std::size_t worker) {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_) return;
            job = std::move(queue_.front());
            queue_.pop_front();
        }
        job(worker);
    }
}

}  // namespace sint
