// The apartment rule of the platform's objects. An object belongs to the apartment of the thread that
// made it; a real portable-device object reached from elsewhere without marshalling is a proxy used on
// the wrong thread (RPC_E_WRONG_THREAD) or code of an apartment that has ended (its DLLs unloaded
// when the last thread of the multithreaded apartment left COM). The phone refuses both, and counts
// every refused call, and every AddRef and Release from elsewhere (which cannot fail), as a violation.
#pragma once

#include <windows.h>

namespace vphone {

class ObjectApartment {
public:
    // The apartment of the calling thread: a single-threaded one, or the multithreaded one (joined or
    // implicit) in its current lifetime.
    ObjectApartment() noexcept;

    // S_OK when the calling thread is in the object's apartment; RPC_E_WRONG_THREAD from another
    // apartment, RPC_E_DISCONNECTED once the object's apartment has ended. A refusal is a violation
    // (AddRef and Release, which cannot fail, only count it).
    HRESULT Check() const noexcept;

private:
    enum class Kind { Unknown, SingleThreaded, Multithreaded };
    Kind kind_ = Kind::Unknown;     // Unknown: made outside COM, so no rule applies
    DWORD thread_ = 0;              // single-threaded: the apartment's thread
    unsigned long lifetime_ = 0;    // multithreaded: which lifetime of the apartment; 0 = not followed
};

// Calls, AddRefs and Releases from outside an object's apartment, since the process started.
long ApartmentViolations() noexcept;

}  // namespace vphone
