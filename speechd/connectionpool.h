#pragma once

#include <httplib.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace speechd {

// cpp-httplib's task queue, serving each connection on one thread. Threads start on demand up to a
// maximum, and the thread that went idle last takes the next connection: only as many threads' stacks
// are ever touched as connections were open at once, so memory follows the real load instead of
// creeping up as a fixed pool's threads take their turns. Beyond the maximum, connections wait.
class ConnectionPool : public httplib::TaskQueue
{
public:
    explicit ConnectionPool(size_t maximumThreads);
    ~ConnectionPool() override;
    ConnectionPool(const ConnectionPool &) = delete;
    ConnectionPool &operator=(const ConnectionPool &) = delete;

    // cpp-httplib 0.18 returns whether the job was taken; older releases return nothing.
    using EnqueueResult = decltype(std::declval<httplib::TaskQueue &>().enqueue(std::function<void()>()));
    // Never refuses a job: beyond the maximum it waits for a thread.
    EnqueueResult enqueue(std::function<void()> job) override;
    // Runs what is still waiting, then ends every thread.
    void shutdown() override;

private:
    struct IdleThread
    {
        std::condition_variable wake;
        std::function<void()> job;
        bool stop = false;
    };

    void run(std::function<void()> job);

    const size_t maximumThreads;
    std::mutex mutex;
    std::vector<IdleThread *> idle; // the last one went idle last
    std::deque<std::function<void()>> waiting;
    std::vector<std::thread> threads;
    bool stopping = false;
};

} // namespace speechd
