#include "virtualphone/model/phone_worker.h"

#include <windows.h>
#include <objbase.h>

#include <utility>

namespace vphone {

void PhoneWorker::Stop() {
    std::thread finishing;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        finishing.swap(thread_);
    }
    wake_.notify_one();
    if (finishing.joinable()) finishing.join();
    std::lock_guard lock(mutex_);
    stopping_ = false;
}

void PhoneWorker::Post(std::function<void()> job) {
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
        if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
    }
    wake_.notify_one();
}

void PhoneWorker::Run() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (jobs_.empty()) return;  // stopping, and every job given has run
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        // In the apartment only while a job runs: an idle phone keeps no apartment alive.
        const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        job();
        job = nullptr;  // what the job holds goes while the thread is still in the apartment
        if (SUCCEEDED(com)) CoUninitialize();
    }
}

}  // namespace vphone
