// The class objects of the value classes, their registration in this process, and the live-object count.
#include <atomic>
#include <iterator>
#include <utility>

#include "device/wpd_api.h"
#include "virtualphone/values/value_classes.h"
#include "virtualphone/values/value_support.h"

namespace vphone {
namespace {

std::atomic<long> liveObjects{0};

using Creator = HRESULT (*)(REFIID, void **) noexcept;

struct ValueClass {
    const CLSID &clsid;
    Creator create;
};
constexpr ValueClass kValueClasses[] = {
    {wpd::CLSID_PortableDeviceValues, CreatePortableDeviceValues},
    {wpd::CLSID_PortableDeviceKeyCollection, CreatePortableDeviceKeyCollection},
    {wpd::CLSID_PortableDevicePropVariantCollection, CreatePortableDevicePropVariantCollection},
};
static_assert(std::size(kValueClasses) == ValueClassRegistration::kClassCount);

class ClassFactory final : public win::ComObject<ClassFactory, IClassFactory>, LiveObject {
public:
    explicit ClassFactory(Creator create) noexcept : create_(create) {}

    STDMETHODIMP CreateInstance(IUnknown *outer, REFIID iid, void **object) noexcept override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return create_(iid, object);
    }

    STDMETHODIMP LockServer(BOOL lock) noexcept override {
        Adjust(lock ? 1 : -1);
        return S_OK;
    }

private:
    const Creator create_;
};

HRESULT RegisterClassObject(const ValueClass &valueClass, DWORD *cookie) noexcept {
    const auto factory = NewObject<ClassFactory>(valueClass.create);
    if (!factory) return E_OUTOFMEMORY;
    return CoRegisterClassObject(valueClass.clsid, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, cookie);
}

}  // namespace

LiveObject::LiveObject() noexcept { Adjust(1); }
LiveObject::~LiveObject() { Adjust(-1); }
void LiveObject::Adjust(long change) noexcept { liveObjects += change; }

long LiveValueObjects() noexcept { return liveObjects; }

namespace {
thread_local int handOuts = 0;
}  // namespace

HandOutScope::HandOutScope() noexcept { ++handOuts; }
HandOutScope::~HandOutScope() { --handOuts; }
bool HandingOutTaskMemory() noexcept { return handOuts > 0; }

HRESULT GetValueClassObject(REFCLSID clsid, REFIID iid, void **object) noexcept {
    if (!object) return E_POINTER;
    *object = nullptr;
    for (const ValueClass &valueClass : kValueClasses) {
        if (IsEqualCLSID(clsid, valueClass.clsid)) return CreateObject<ClassFactory>(iid, object, valueClass.create);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT ValueClassRegistration::Register() noexcept {
    Revoke();
    for (size_t index = 0; index < kClassCount; ++index) {
        const HRESULT hr = RegisterClassObject(kValueClasses[index], &cookies_[index]);
        if (FAILED(hr)) {
            Revoke();
            return hr;
        }
    }
    return S_OK;
}

void ValueClassRegistration::Revoke() noexcept {
    for (DWORD &cookie : cookies_) {
        if (cookie) CoRevokeClassObject(std::exchange(cookie, 0));
    }
}

}  // namespace vphone
