#include "virtualphone/platform/object_apartment.h"

#include "virtualphone/model/phone_accounting.h"
#include "win/adopt_reference.h"
#include "win/com_object.h"

#include <objbase.h>

#include <atomic>
#include <mutex>

namespace vphone {
namespace {

std::atomic<long> violations{0};

// The multithreaded apartment has no identity a caller can read, so each lifetime of it gets a number
// and a sentinel: a class object registered in it, which COM revokes, and so releases, when the
// apartment ends. The number is live while its sentinel is.
std::atomic<unsigned long> liveLifetime{0};
unsigned long lastLifetime = 0;
std::mutex registering;

class LifetimeSentinel final : public win::ComObject<LifetimeSentinel, IUnknown> {
public:
    explicit LifetimeSentinel(unsigned long lifetime) noexcept : lifetime_(lifetime) {}

private:
    friend class win::ComObject<LifetimeSentinel, IUnknown>;
    // Runs inside the apartment's teardown: no lock of ours, so none can be taken in the other order.
    ~LifetimeSentinel() override {
        unsigned long mine = lifetime_;
        liveLifetime.compare_exchange_strong(mine, 0);
    }

    unsigned long lifetime_;
};

// A class id of this module's own, so that two copies of the phone in one process never collide.
const CLSID &SentinelClass() {
    static const CLSID id = [] {
        CLSID made{};
        CoCreateGuid(&made);
        return made;
    }();
    return id;
}

// The current lifetime of the multithreaded apartment, which the calling thread is in; 0 when it
// cannot be followed (a thread that never entered COM cannot register anything).
unsigned long CurrentLifetime() noexcept {
    if (const unsigned long live = liveLifetime.load()) return live;
    const std::lock_guard lock(registering);
    if (const unsigned long live = liveLifetime.load()) return live;
    // Registration is COM's own memory, never the phone's.
    const PhoneOwnMemoryScope own;
    const unsigned long lifetime = lastLifetime + 1;
    const auto sentinel = win::AdoptReference(LifetimeSentinel::Create(lifetime));
    DWORD cookie = 0;
    if (!sentinel || FAILED(CoRegisterClassObject(SentinelClass(), sentinel.Get(), CLSCTX_INPROC_SERVER,
                                                  REGCLS_MULTIPLEUSE, &cookie))) {
        return 0;
    }
    lastLifetime = lifetime;
    liveLifetime = lifetime;
    return lifetime;
}

}  // namespace

ObjectApartment::ObjectApartment() noexcept {
    APTTYPE type{};
    APTTYPEQUALIFIER qualifier{};
    if (FAILED(CoGetApartmentType(&type, &qualifier))) return;
    if (type == APTTYPE_STA || type == APTTYPE_MAINSTA) {
        kind_ = Kind::SingleThreaded;
        thread_ = GetCurrentThreadId();
    } else if (type == APTTYPE_MTA) {
        kind_ = Kind::Multithreaded;
        lifetime_ = CurrentLifetime();
    }
}

HRESULT ObjectApartment::Check() const noexcept {
    HRESULT verdict = S_OK;
    if (kind_ == Kind::SingleThreaded) {
        if (GetCurrentThreadId() != thread_) verdict = RPC_E_WRONG_THREAD;
    } else if (kind_ == Kind::Multithreaded) {
        APTTYPE type{};
        APTTYPEQUALIFIER qualifier{};
        if (FAILED(CoGetApartmentType(&type, &qualifier))) {
            verdict = RPC_E_DISCONNECTED;  // no apartment here, and no multithreaded one left
        } else if (type != APTTYPE_MTA) {
            verdict = RPC_E_WRONG_THREAD;
        } else if (lifetime_ != 0 && liveLifetime.load() != lifetime_) {
            verdict = RPC_E_DISCONNECTED;
        }
    }
    if (FAILED(verdict)) ++violations;
    return verdict;
}

long ApartmentViolations() noexcept { return violations.load(); }

}  // namespace vphone
