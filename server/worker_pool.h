// The synthesis workers: a fixed number of threads that take jobs from one
// queue, first come first served. A job is told which worker runs it, so that
// each worker can keep its own synthesiser. Stopping lets the jobs that are
// running finish and drops those still queued.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace sint {

class WorkerPool {
public:
    using Job = std::function<void(std::size_t worker)>;

    // Starts `workers` threads (at least one).
    explicit WorkerPool(std::size_t workers);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Queues a job; ignored once the pool is stopping.
    void submit(Job job);
    // Drops the queued jobs, waits for the running ones and joins the threads.
    void stop();

    std::size_t size() const { return threads_.size(); }

private:
    void run(std::size_t worker);

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> queue_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace sint
