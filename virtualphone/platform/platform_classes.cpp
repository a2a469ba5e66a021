#include "virtualphone/platform/platform_classes.h"

#include "device/wpd_api.h"
#include "virtualphone/platform/com_out.h"
#include "virtualphone/platform/portable_device.h"
#include "virtualphone/platform/portable_device_manager.h"
#include "win/com_object.h"

namespace vphone {
namespace {

// Makes a new T over the phone set for each CreateInstance.
template <class T>
class PhoneClassFactory final : public win::ComObject<PhoneClassFactory<T>, IClassFactory> {
public:
    explicit PhoneClassFactory(std::shared_ptr<PhoneSet> phones) noexcept : phones_(std::move(phones)) {}

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID iid, void **object) noexcept override {
        return win::GuardComMethod([&]() -> HRESULT {
            if (!object) return E_POINTER;
            *object = nullptr;
            if (outer) return CLASS_E_NOAGGREGATION;
            return HandOut(T::Create(phones_), iid, object);
        });
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) noexcept override { return S_OK; }

private:
    std::shared_ptr<PhoneSet> phones_;
};

}  // namespace

HRESULT GetPlatformClassObject(std::shared_ptr<PhoneSet> phones, REFCLSID clsid, REFIID iid, void **object) noexcept {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (clsid == wpd::CLSID_PortableDeviceManager) {
        return HandOut(PhoneClassFactory<PortableDeviceManager>::Create(std::move(phones)), iid, object);
    }
    if (clsid == wpd::CLSID_PortableDevice) {
        return HandOut(PhoneClassFactory<PortableDevice>::Create(std::move(phones)), iid, object);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace vphone
