#include "virtualphone/platform/portable_device_properties.h"

#include "virtualphone/platform/com_out.h"
#include "virtualphone/platform/object_properties.h"
#include "virtualphone/platform/object_values.h"
#include "win/unique_any.h"

#include <wrl/client.h>

namespace vphone {

using Microsoft::WRL::ComPtr;

STDMETHODIMP PortableDeviceProperties::QueryInterface(REFIID iid, void **object) noexcept {
    const HRESULT hr = Base::QueryInterface(iid, object);
    if (FAILED(hr) || iid != __uuidof(IPortableDevicePropertiesBulk) || phone_->Profile().bulkProperties) return hr;
    static_cast<IUnknown *>(*object)->Release();
    *object = nullptr;
    return E_NOINTERFACE;
}

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
        std::optional<std::vector<PROPERTYKEY>> wanted;  // none: every key of the object
        hr = KeysOf(keys, &wanted);
        if (FAILED(hr)) return hr;
        bool someUnreadable = false;
        hr = ReadObjectValues(*phone_, objectId, wanted, result.Get(), &someUnreadable);
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

HRESULT STDMETHODCALLTYPE PortableDeviceProperties::QueueGetValuesByObjectList(
    IPortableDevicePropVariantCollection *objectIds, IPortableDeviceKeyCollection *keys,
    IPortableDevicePropertiesBulkCallback *callback, GUID *context) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDevicePropertiesBulk::QueueGetValuesByObjectList", {}, [&]() -> HRESULT {
        if (context) *context = GUID_NULL;
        if (!objectIds || !callback || !context) return E_POINTER;
        // What the request needs is taken now: the client may change its collections once queued.
        std::vector<std::wstring> ids;
        HRESULT hr = ObjectIdsOf(objectIds, &ids);
        if (FAILED(hr)) return hr;
        std::optional<std::vector<PROPERTYKEY>> wanted;  // none: every key of each object
        hr = KeysOf(keys, &wanted);
        if (FAILED(hr)) return hr;
        return bulk_.QueueGet(std::move(ids), std::move(wanted), callback, context);
    });
}

HRESULT STDMETHODCALLTYPE PortableDeviceProperties::QueueGetValuesByObjectFormat(
    REFGUID format, LPCWSTR parentObjectId, const DWORD depth, IPortableDeviceKeyCollection *keys,
    IPortableDevicePropertiesBulkCallback *callback, GUID *context) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDevicePropertiesBulk::QueueGetValuesByObjectFormat",
                          {Arg(parentObjectId), NumberArg(depth)}, [&]() -> HRESULT {
        if (context) *context = GUID_NULL;
        if (!parentObjectId || !callback || !context) return E_POINTER;
        // The objects are chosen now, as the request is queued.
        std::vector<std::wstring> ids;
        HRESULT hr = ObjectsOfFormat(*phone_, format, parentObjectId, depth, &ids);
        if (FAILED(hr)) return hr;
        std::optional<std::vector<PROPERTYKEY>> wanted;  // none: every key of each object
        hr = KeysOf(keys, &wanted);
        if (FAILED(hr)) return hr;
        return bulk_.QueueGet(std::move(ids), std::move(wanted), callback, context);
    });
}

// Not served: the phone writes one object at a time.
HRESULT STDMETHODCALLTYPE PortableDeviceProperties::QueueSetValuesByObjectList(IPortableDeviceValuesCollection *,
                                                                               IPortableDevicePropertiesBulkCallback *,
                                                                               GUID *context) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDevicePropertiesBulk::QueueSetValuesByObjectList", {}, [&]() -> HRESULT {
        if (context) *context = GUID_NULL;
        return E_NOTIMPL;
    });
}

HRESULT STDMETHODCALLTYPE PortableDeviceProperties::Start(REFGUID context) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDevicePropertiesBulk::Start", {},
                          [&]() -> HRESULT { return bulk_.Start(context); });
}

HRESULT STDMETHODCALLTYPE PortableDeviceProperties::Cancel(REFGUID context) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDevicePropertiesBulk::Cancel", {},
                          [&]() -> HRESULT { return bulk_.Cancel(context); });
}

}  // namespace vphone
