// The cable between the computer and the phone as a cost in time: a round trip for every platform
// call and a bandwidth for data, so that hosts see progress move as with a real phone and benchmarks
// see what a cable costs.
//
// The link is busy until a deadline. A charge moves the deadline on by its cost, counted from where
// the previous charge left it plus the time the client itself took in between, and then waits for
// it. A sleep that wakes late therefore makes the next charges shorter instead of adding up: over
// thousands of calls the link costs what the model says, whatever the sleep's granularity.
//
// A real phone takes data as it arrives; the virtual phone's own work on data (writing it into its
// file, reading it out) is no cost of a cable. A data charge therefore counts from when that work
// began, made once it is done, and waits only for what is left of the cable's time.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>

namespace vphone {

struct LinkSpeed {
    std::uint32_t roundTripMicroseconds = 0;  // per platform call
    std::uint64_t bytesPerSecond = 0;         // 0: data costs nothing

    bool operator==(const LinkSpeed &) const = default;
    bool Free() const noexcept { return roundTripMicroseconds == 0 && bytesPerSecond == 0; }

    // No cost at all: the phone as fast as the computer.
    static constexpr LinkSpeed None() noexcept { return {}; }
    // USB 2.0 high speed as an MTP phone reaches it: a millisecond per operation (the host
    // schedules in 125 us microframes, and an operation is command, data and response phases
    // through the driver stack) and 35 MB/s of the bus's 60, what bulk transfers sustain.
    static constexpr LinkSpeed Usb2() noexcept { return {1000, 35'000'000}; }
    // USB 3.0 SuperSpeed: half the round trip and 100 MB/s, what storage-class devices sustain on a
    // 5 Gbit/s bus (phones measure from 40 to about 100 MB/s).
    static constexpr LinkSpeed Usb3() noexcept { return {500, 100'000'000}; }
};

// What a link has been charged since it was made.
struct LinkUse {
    std::uint64_t roundTrips = 0;
    std::uint64_t bytes = 0;
};

class Link {
public:
    Link();
    Link(const Link &) = delete;
    Link &operator=(const Link &) = delete;

    void SetSpeed(LinkSpeed speed);
    LinkSpeed Speed() const;

    // One platform call, or one batch of a bulk operation.
    void ChargeRoundTrip();
    // The link's clock, in performance-counter ticks.
    static LONGLONG Now();
    // Data sent or received, by phone work that began at workBegan (Now()).
    void ChargeBytes(std::uint64_t bytes, LONGLONG workBegan = Now());
    // Counted while the link has a cost (not while its speed is None).
    LinkUse Use() const;

private:
    void Charge(LinkUse use, LONGLONG began);

    std::atomic<bool> free_{true};  // read without the lock on every call
    mutable std::mutex mutex_;
    LinkSpeed speed_;
    LONGLONG ticksPerSecond_ = 0;
    LONGLONG busyUntil_ = 0;  // performance-counter ticks
    LinkUse use_;
    LONGLONG lag_ = 0;        // how far the real clock ran past the last deadline (negative: short of it)
};

}  // namespace vphone
