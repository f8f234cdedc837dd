#include "speechd/connectionpool.h"

namespace speechd {

ConnectionPool::ConnectionPool(size_t maximumThreads)
    : maximumThreads(maximumThreads)
{ }

ConnectionPool::~ConnectionPool()
{
    shutdown();
}

ConnectionPool::EnqueueResult ConnectionPool::enqueue(std::function<void()> job)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!idle.empty()) {
        IdleThread *thread = idle.back();
        idle.pop_back();
        thread->job = std::move(job);
        thread->wake.notify_one();
    } else if (threads.size() < maximumThreads && !stopping) {
        threads.emplace_back(&ConnectionPool::run, this, std::move(job));
    } else {
        waiting.push_back(std::move(job));
    }
    return static_cast<EnqueueResult>(true);
}

void ConnectionPool::shutdown()
{
    std::vector<std::thread> ending;
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
        for (IdleThread *thread : idle) {
            thread->stop = true;
            thread->wake.notify_one();
        }
        idle.clear();
        ending.swap(threads);
    }
    for (std::thread &thread : ending)
        thread.join();
}

void ConnectionPool::run(std::function<void()> job)
{
    for (;;) {
        job();
        std::unique_lock<std::mutex> lock(mutex);
        if (!waiting.empty()) {
            job = std::move(waiting.front());
            waiting.pop_front();
            continue;
        }
        if (stopping)
            return;
        IdleThread self;
        idle.push_back(&self);
        self.wake.wait(lock, [&self] { return self.job || self.stop; });
        if (!self.job)
            return;
        job = std::move(self.job);
    }
}

} // namespace speechd
