// Base of the platform's COM objects: win::ComObject with the apartment rule (object_apartment.h) on
// QueryInterface, AddRef and Release; RunPhoneMethod applies it to every other method.
#pragma once

#include "virtualphone/platform/object_apartment.h"
#include "win/com_object.h"

namespace vphone {

template <class Derived, class... Interfaces>
class PlatformObject : public win::ComObject<Derived, Interfaces...> {
    using Base = win::ComObject<Derived, Interfaces...>;

public:
    STDMETHODIMP QueryInterface(REFIID iid, void **object) noexcept override {
        if (object) *object = nullptr;
        const HRESULT foreign = apartment_.Check();
        if (FAILED(foreign)) return foreign;
        return Base::QueryInterface(iid, object);
    }
    STDMETHODIMP_(ULONG) AddRef() noexcept override {
        apartment_.Check();
        return Base::AddRef();
    }
    STDMETHODIMP_(ULONG) Release() noexcept override {
        apartment_.Check();
        return Base::Release();
    }

    const ObjectApartment &Apartment() const noexcept { return apartment_; }

protected:
    ~PlatformObject() override = default;

private:
    ObjectApartment apartment_;
};

}  // namespace vphone
