#include "virtualphone/model/link.h"

#include <algorithm>

namespace vphone {

LONGLONG Link::Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

Link::Link() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    ticksPerSecond_ = frequency.QuadPart;
}

void Link::SetSpeed(LinkSpeed speed) {
    std::lock_guard lock(mutex_);
    speed_ = speed;
    free_ = speed.Free();
}

LinkSpeed Link::Speed() const {
    std::lock_guard lock(mutex_);
    return speed_;
}

LinkUse Link::Use() const {
    std::lock_guard lock(mutex_);
    return use_;
}

void Link::ChargeRoundTrip() {
    if (!free_.load(std::memory_order_relaxed)) Charge({1, 0}, Now());
}

void Link::ChargeBytes(std::uint64_t bytes, LONGLONG workBegan) {
    if (!free_.load(std::memory_order_relaxed)) Charge({0, bytes}, workBegan);
}

void Link::Charge(LinkUse use, LONGLONG began) {
    LONGLONG deadline = 0;
    {
        std::lock_guard lock(mutex_);
        use_.roundTrips += use.roundTrips;
        use_.bytes += use.bytes;
        const double microseconds =
            static_cast<double>(use.roundTrips) * speed_.roundTripMicroseconds +
            (speed_.bytesPerSecond ? static_cast<double>(use.bytes) * 1e6 / static_cast<double>(speed_.bytesPerSecond) : 0);
        if (microseconds <= 0) return;
        // On the model's clock the client's own time since the last charge ended is idle time of
        // the link; what a late or early wake-up added to the real clock is taken back (lag_). A
        // charge made while another one waits queues behind it, as on one cable.
        const LONGLONG start = std::max(busyUntil_, began - lag_);
        busyUntil_ = start + static_cast<LONGLONG>(microseconds * static_cast<double>(ticksPerSecond_) / 1e6);
        deadline = busyUntil_;
    }
    const LONGLONG remaining = deadline - Now();
    const DWORD milliseconds = remaining > 0 ? static_cast<DWORD>(remaining * 1000 / ticksPerSecond_) : 0;
    if (milliseconds > 0) Sleep(milliseconds);
    std::lock_guard lock(mutex_);
    lag_ = Now() - deadline;
}

}  // namespace vphone
