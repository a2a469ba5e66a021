// What every COM method of the platform classes does around its body: refuse a caller from another
// apartment, attribute task memory to the phone, fail as a removed device does once the phone is
// unplugged, charge the link one round trip, record the call, apply an injected fault, and keep
// exceptions inside.
#pragma once

#include "virtualphone/model/phone.h"
#include "virtualphone/platform/object_apartment.h"
#include "win/com_object.h"

#include <windows.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

namespace vphone {

// connection: the phone's connection the calling object belongs to (PhoneControls::Connection).
template <class Body>
HRESULT RunPhoneMethod(const ObjectApartment &apartment, PhoneControls &controls, unsigned connection,
                       const char *method, std::initializer_list<std::wstring_view> arguments,
                       Body &&body) noexcept {
    const HRESULT foreign = apartment.Check();
    if (FAILED(foreign)) return foreign;
    PhoneMethodScope scope;
    return win::GuardComMethod([&]() -> HRESULT {
        if (!controls.Connected(connection)) return kPhoneUnplugged;
        controls.Cable().ChargeRoundTrip();
        const HRESULT fault = controls.OnCall(method, arguments);
        if (FAILED(fault)) return fault;
        return body();
    });
}

// A wide argument for the transcript; null pointers show as "(null)".
inline std::wstring_view Arg(const wchar_t *text) noexcept { return text ? text : L"(null)"; }
std::wstring NumberArg(unsigned long long value);
std::wstring KeyArg(const PROPERTYKEY &key);
std::wstring ValueArg(const PROPVARIANT &value);
std::wstring HresultArg(HRESULT hr);

// Counts one live COM object on its owner (a phone or a phone set) for as long as it lives.
template <class Owner>
class LiveObject {
public:
    explicit LiveObject(std::shared_ptr<Owner> owner) noexcept : owner_(std::move(owner)) {
        owner_->Accounting().ObjectCreated();
    }
    LiveObject(const LiveObject &) = delete;
    LiveObject &operator=(const LiveObject &) = delete;
    ~LiveObject() { owner_->Accounting().ObjectDestroyed(); }
    Owner &operator*() const noexcept { return *owner_; }
    Owner *operator->() const noexcept { return owner_.get(); }
    const std::shared_ptr<Owner> &Shared() const noexcept { return owner_; }

private:
    std::shared_ptr<Owner> owner_;
};

// The phone as one of its platform objects holds it: a live object of the phone, tied to the
// connection during which it was made. An unplug ends the connection, so a device opened before it,
// and everything that device handed out, stays dead once the phone is plugged in again.
class ConnectedPhone : public LiveObject<Phone> {
public:
    explicit ConnectedPhone(std::shared_ptr<Phone> phone)
        : LiveObject(std::move(phone)), connection_((*this)->Controls().Connection()) {}
    unsigned Connection() const noexcept { return connection_; }

private:
    unsigned connection_;
};

template <class Body>
HRESULT RunPhoneMethod(const ObjectApartment &apartment, const ConnectedPhone &phone, const char *method,
                       std::initializer_list<std::wstring_view> arguments, Body &&body) noexcept {
    return RunPhoneMethod(apartment, phone->Controls(), phone.Connection(), method, arguments,
                          std::forward<Body>(body));
}

}  // namespace vphone
