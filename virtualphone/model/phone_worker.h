// A thread of the phone's own for the work the platform does asynchronously (bulk property requests):
// jobs run one at a time in the order they were given, each inside the multithreaded COM apartment,
// as the platform's threads are. The thread starts with the first job and the phone's destruction
// waits for every job given before it.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace vphone {

class PhoneWorker {
public:
    PhoneWorker() = default;
    PhoneWorker(const PhoneWorker &) = delete;
    PhoneWorker &operator=(const PhoneWorker &) = delete;
    ~PhoneWorker() { Stop(); }

    // A job must not wait for the client: the phone's destruction waits for it.
    void Post(std::function<void()> job);
    // Runs every job given so far and ends the thread; a job given later starts it again.
    void Stop();

private:
    void Run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace vphone
