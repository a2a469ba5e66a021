// What a phone has handed out and not yet had back: live COM objects, and (through the scope below)
// the task-memory blocks that a malloc spy attributes to the phone's methods.
#pragma once

#include <atomic>

namespace vphone {

class PhoneAccounting {
public:
    void ObjectCreated() noexcept { ++liveObjects_; }
    void ObjectDestroyed() noexcept { --liveObjects_; }
    long LiveObjects() const noexcept { return liveObjects_; }

private:
    std::atomic<long> liveObjects_{0};
};

// Marks the current thread as running inside a method of a phone object, so that task memory
// allocated meanwhile is counted as the phone's.
class PhoneMethodScope {
public:
    PhoneMethodScope() noexcept;
    ~PhoneMethodScope();
    PhoneMethodScope(const PhoneMethodScope &) = delete;
    PhoneMethodScope &operator=(const PhoneMethodScope &) = delete;
    static bool Active() noexcept;
};

// Inside a phone method, marks memory that the phone keeps for itself (recorded client information,
// stored property values): not handed out, so not counted.
class PhoneOwnMemoryScope {
public:
    PhoneOwnMemoryScope() noexcept;
    ~PhoneOwnMemoryScope();
    PhoneOwnMemoryScope(const PhoneOwnMemoryScope &) = delete;
    PhoneOwnMemoryScope &operator=(const PhoneOwnMemoryScope &) = delete;

private:
    int saved_;
};

}  // namespace vphone
