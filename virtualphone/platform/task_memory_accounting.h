// Counts the task-memory blocks that the phone's methods hand out and nobody has freed yet, through a
// malloc spy registered for the lifetime of this object (one per process).
#pragma once

#include <windows.h>

namespace vphone {

class TaskMemoryAccounting {
public:
    TaskMemoryAccounting() = default;
    TaskMemoryAccounting(const TaskMemoryAccounting &) = delete;
    TaskMemoryAccounting &operator=(const TaskMemoryAccounting &) = delete;
    ~TaskMemoryAccounting() { Revoke(); }

    // CO_E_OBJISREG when another spy is registered.
    [[nodiscard]] HRESULT Register() noexcept;
    void Revoke() noexcept;
    // Blocks allocated inside a phone method since Register and not yet freed.
    long OutstandingBlocks() const noexcept;

private:
    bool registered_ = false;
};

}  // namespace vphone
