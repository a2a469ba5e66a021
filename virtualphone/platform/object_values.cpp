#include "virtualphone/platform/object_values.h"

#include "virtualphone/platform/object_properties.h"
#include "win/unique_any.h"

namespace vphone {

HRESULT KeysOf(IPortableDeviceKeyCollection *collection, std::vector<PROPERTYKEY> *keys) {
    DWORD count = 0;
    HRESULT hr = collection->GetCount(&count);
    for (DWORD i = 0; SUCCEEDED(hr) && i < count; ++i) {
        PROPERTYKEY key{};
        hr = collection->GetAt(i, &key);
        if (SUCCEEDED(hr)) keys->push_back(key);
    }
    return hr;
}

HRESULT ObjectIdsOf(IPortableDevicePropVariantCollection *collection, std::vector<std::wstring> *ids) {
    DWORD count = 0;
    HRESULT hr = collection->GetCount(&count);
    for (DWORD i = 0; SUCCEEDED(hr) && i < count; ++i) {
        win::UniquePropVariant id;
        hr = collection->GetAt(i, id.put());
        if (SUCCEEDED(hr) && (id->vt != VT_LPWSTR || !id->pwszVal)) hr = E_INVALIDARG;
        if (SUCCEEDED(hr)) ids->emplace_back(id->pwszVal);
    }
    return hr;
}

HRESULT ReadObjectValues(Phone &phone, const std::wstring &objectId, const std::optional<std::vector<PROPERTYKEY>> &keys,
                         IPortableDeviceValues *values, bool *someUnreadable) {
    PhoneControls &controls = phone.Controls();
    const PropertyRules rules = RulesOf(phone);
    const auto put = [&](const PhoneObject &object, const PhoneIdentity &identity, const PROPERTYKEY &key) {
        win::UniquePropVariant value;
        const HRESULT readFault = controls.ReadFault(object.id, key);
        if (FAILED(readFault)) {
            *someUnreadable = true;
            return values->SetErrorValue(key, readFault);
        }
        HRESULT read = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
        if (PhoneExtension *extension = phone.Extension(); extension && object.kind == ObjectKind::Device) {
            read = extension->ReadDeviceProperty(key, value.put());
        }
        if (read == HRESULT_FROM_WIN32(ERROR_NOT_FOUND)) read = ObjectProperty(object, identity, key, rules, value.put());
        if (read == HRESULT_FROM_WIN32(ERROR_NOT_FOUND)) return S_OK;
        if (FAILED(read)) return read;
        return values->SetValue(key, value.get());
    };
    return phone.Read(objectId, [&](const PhoneObject &object, const PhoneIdentity &identity) -> HRESULT {
        for (const PROPERTYKEY &key : keys ? *keys : ObjectKeys(object, rules)) {
            const HRESULT added = put(object, identity, key);
            if (FAILED(added)) return added;
        }
        return S_OK;
    });
}

}  // namespace vphone
