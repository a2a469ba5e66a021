#include "virtualphone/platform/portable_device_properties.h"

#include "virtualphone/platform/com_out.h"
#include "virtualphone/platform/object_properties.h"
#include "win/unique_any.h"

#include <wrl/client.h>

namespace vphone {

using Microsoft::WRL::ComPtr;

HRESULT STDMETHODCALLTYPE PortableDeviceProperties::GetSupportedProperties(LPCWSTR objectId,
                                                                           IPortableDeviceKeyCollection **keys) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceProperties::GetSupportedProperties", {Arg(objectId)},
                          [&]() -> HRESULT {
        if (!objectId || !keys) return E_POINTER;
        *keys = nullptr;
        ComPtr<IPortableDeviceKeyCollection> collection;
        HRESULT hr = NewKeys(&collection);
        if (FAILED(hr)) return hr;
        const PropertyRules rules = RulesOf(*phone_);
        hr = phone_->Read(objectId, [&](const PhoneObject &object, const PhoneIdentity &) {
            for (const PROPERTYKEY &key : ObjectKeys(object, rules)) {
                const HRESULT added = collection->Add(key);
                if (FAILED(added)) return added;
            }
            return S_OK;
        });
        if (FAILED(hr)) return hr;
        *keys = collection.Detach();
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE PortableDeviceProperties::GetPropertyAttributes(LPCWSTR objectId, REFPROPERTYKEY key,
                                                                          IPortableDeviceValues **attributes) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceProperties::GetPropertyAttributes",
                          {Arg(objectId), KeyArg(key)}, [&]() -> HRESULT {
        if (!objectId || !attributes) return E_POINTER;
        *attributes = nullptr;
        ComPtr<IPortableDeviceValues> result;
        HRESULT hr = NewValues(&result);
        if (FAILED(hr)) return hr;
        const PropertyRules rules = RulesOf(*phone_);
        hr = phone_->Read(objectId, [&](const PhoneObject &object, const PhoneIdentity &identity) -> HRESULT {
            win::UniquePropVariant value;
            HRESULT read = ObjectProperty(object, identity, key, rules, value.put());
            if (FAILED(read)) return read;
            read = result->SetBoolValue(wpd::WPD_PROPERTY_ATTRIBUTE_CAN_READ, TRUE);
            if (SUCCEEDED(read)) {
                read = result->SetBoolValue(wpd::WPD_PROPERTY_ATTRIBUTE_CAN_WRITE,
                                            CanWriteProperty(object, identity, key, rules));
            }
            if (SUCCEEDED(read)) read = result->SetBoolValue(wpd::WPD_PROPERTY_ATTRIBUTE_CAN_DELETE, FALSE);
            return read;
        });
        if (FAILED(hr)) return hr;
        *attributes = result.Detach();
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE PortableDeviceProperties::GetValues(LPCWSTR objectId, IPortableDeviceKeyCollection *keys,
                                                              IPortableDeviceValues **values) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceProperties::GetValues", {Arg(objectId)}, [&]() -> HRESULT {
        if (!objectId || !values) return E_POINTER;
        *values = nullptr;
        ComPtr<IPortableDeviceValues> result;
        HRESULT hr = NewValues(&result);
        if (FAILED(hr)) return hr;
        PhoneControls &controls = phone_->Controls();
        const PropertyRules rules = RulesOf(*phone_);
        bool someUnreadable = false;
        // One value per key: the unreadable ones as VT_ERROR, the ones the object lacks left out.
        const auto put = [&](const PhoneObject &object, const PhoneIdentity &identity, const PROPERTYKEY &key) {
            win::UniquePropVariant value;
            const HRESULT readFault = controls.ReadFault(object.id, key);
            if (FAILED(readFault)) {
                someUnreadable = true;
                return result->SetErrorValue(key, readFault);
            }
            HRESULT read = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
            if (PhoneExtension *extension = phone_->Extension(); extension && object.kind == ObjectKind::Device) {
                read = extension->ReadDeviceProperty(key, value.put());
            }
            if (read == HRESULT_FROM_WIN32(ERROR_NOT_FOUND)) read = ObjectProperty(object, identity, key, rules, value.put());
            if (read == HRESULT_FROM_WIN32(ERROR_NOT_FOUND)) return S_OK;
            if (FAILED(read)) return read;
            return result->SetValue(key, value.get());
        };
        hr = phone_->Read(objectId, [&](const PhoneObject &object, const PhoneIdentity &identity) -> HRESULT {
            if (!keys) {
                for (const PROPERTYKEY &key : ObjectKeys(object, rules)) {
                    const HRESULT added = put(object, identity, key);
                    if (FAILED(added)) return added;
                }
                return S_OK;
            }
            DWORD count = 0;
            HRESULT status = keys->GetCount(&count);
            for (DWORD i = 0; SUCCEEDED(status) && i < count; ++i) {
                PROPERTYKEY key{};
                status = keys->GetAt(i, &key);
                if (SUCCEEDED(status)) status = put(object, identity, key);
            }
            return status;
        });
        if (FAILED(hr)) return hr;
        *values = result.Detach();
        return someUnreadable ? S_FALSE : S_OK;
    });
}

HRESULT STDMETHODCALLTYPE PortableDeviceProperties::SetValues(LPCWSTR objectId, IPortableDeviceValues *values,
                                                              IPortableDeviceValues **results) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceProperties::SetValues", {Arg(objectId)}, [&]() -> HRESULT {
        if (!objectId || !values || !results) return E_POINTER;
        *results = nullptr;
        ComPtr<IPortableDeviceValues> outcome;
        HRESULT hr = NewValues(&outcome);
        if (FAILED(hr)) return hr;
        DWORD count = 0;
        hr = values->GetCount(&count);
        if (FAILED(hr)) return hr;
        PhoneControls &controls = phone_->Controls();
        bool allWritten = true;
        for (DWORD i = 0; i < count; ++i) {
            PROPERTYKEY key{};
            win::UniquePropVariant value;
            hr = values->GetAt(i, &key, value.get());
            if (FAILED(hr)) return hr;
            controls.Record("IPortableDeviceProperties::SetValues/value",
                            std::wstring(objectId) + L", " + KeyArg(key) + L" = " + ValueArg(*value));
            HRESULT written = controls.SetValueFault(key);
            // The maker's vendor properties of the device are the extension's.
            HRESULT byExtension = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
            PhoneExtension *extension = phone_->Extension();
            if (SUCCEEDED(written) && extension && objectId == std::wstring_view(wpd::WPD_DEVICE_OBJECT_ID)) {
                byExtension = extension->WriteDeviceProperty(key, *value);
            }
            if (byExtension != HRESULT_FROM_WIN32(ERROR_NOT_FOUND)) {
                written = byExtension;
            } else if (SUCCEEDED(written) && SameKey(key, wpd::WPD_OBJECT_ORIGINAL_FILE_NAME)) {
                written = value->vt == VT_LPWSTR && value->pwszVal ? phone_->Rename(objectId, value->pwszVal)
                                                                   : DISP_E_TYPEMISMATCH;
                if (written == kObjectNotFound) return written;
            } else if (SUCCEEDED(written)) {
                written = phone_->Update(objectId, [&](PhoneObject &object, PhoneIdentity &identity) {
                    return WriteObjectProperty(object, identity, key, *value);
                });
                if (written == kObjectNotFound) return written;
            }
            allWritten = allWritten && SUCCEEDED(written);
            hr = outcome->SetErrorValue(key, written);
            if (FAILED(hr)) return hr;
        }
        *results = outcome.Detach();
        return allWritten ? S_OK : S_FALSE;
    });
}

HRESULT STDMETHODCALLTYPE PortableDeviceProperties::Delete(LPCWSTR objectId, IPortableDeviceKeyCollection *) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceProperties::Delete", {Arg(objectId)},
                          []() -> HRESULT { return E_NOTIMPL; });
}

HRESULT STDMETHODCALLTYPE PortableDeviceProperties::Cancel() noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceProperties::Cancel", {}, []() -> HRESULT { return S_OK; });
}

}  // namespace vphone
