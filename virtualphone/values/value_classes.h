// The platform's in-process value containers, which Wine lacks: the property value set
// (IPortableDeviceValues) and the key and property-variant collections, their class objects, and the
// count of them still alive.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <array>

namespace vphone {

// Each creates one object and answers its iid interface, whose one reference the caller owns.
HRESULT CreatePortableDeviceValues(REFIID iid, void **object) noexcept;
HRESULT CreatePortableDeviceKeyCollection(REFIID iid, void **object) noexcept;
HRESULT CreatePortableDevicePropVariantCollection(REFIID iid, void **object) noexcept;
// Not behind a class id: only the phone itself makes these, for the results of bulk requests.
HRESULT CreatePortableDeviceValuesCollection(REFIID iid, void **object) noexcept;

// The class object (IClassFactory) of wpd::CLSID_PortableDeviceValues, CLSID_PortableDeviceKeyCollection
// or CLSID_PortableDevicePropVariantCollection, as DllGetClassObject answers it;
// CLASS_E_CLASSNOTAVAILABLE for any other class, so that a server can ask its other parts next.
HRESULT GetValueClassObject(REFCLSID clsid, REFIID iid, void **object) noexcept;

// Objects of these classes and their class objects still alive, plus LockServer locks still held:
// zero once everything handed out has been released.
long LiveValueObjects() noexcept;

// True on a thread while a value class copies a value out to its caller: the task memory allocated
// then belongs to the caller, and the phone's accounting counts it until the caller frees it.
bool HandingOutTaskMemory() noexcept;

// Puts the three classes behind their class ids in this process, so that CoCreateInstance finds them,
// until Revoke or destruction. COM must be initialised on the registering thread.
class ValueClassRegistration {
public:
    static constexpr size_t kClassCount = 3;

    ValueClassRegistration() noexcept = default;
    ValueClassRegistration(const ValueClassRegistration &) = delete;
    ValueClassRegistration &operator=(const ValueClassRegistration &) = delete;
    ~ValueClassRegistration() { Revoke(); }

    // All three or none: a failure revokes what was registered.
    [[nodiscard]] HRESULT Register() noexcept;
    void Revoke() noexcept;

private:
    std::array<DWORD, kClassCount> cookies_{};
};

}  // namespace vphone
