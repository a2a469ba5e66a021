#include "virtualphone/platform/object_values.h"

#include "virtualphone/platform/object_properties.h"
#include "win/unique_any.h"

namespace vphone {

HRESULT KeysOf(IPortableDeviceKeyCollection *collection, std::optional<std::vector<PROPERTYKEY>> *keys) {
    keys->reset();
    if (!collection) return S_OK;
    std::vector<PROPERTYKEY> &listed = keys->emplace();
    DWORD count = 0;
    HRESULT hr = collection->GetCount(&count);
    for (DWORD i = 0; SUCCEEDED(hr) && i < count; ++i) {
        PROPERTYKEY key{};
        hr = collection->GetAt(i, &key);
        if (SUCCEEDED(hr)) listed.push_back(key);
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

namespace {

HRESULT CollectOfFormat(Phone &phone, const GUID &format, const std::wstring &id, DWORD level, DWORD depth,
                        std::vector<std::wstring> *ids) {
    bool matches = false;
    HRESULT hr = phone.Read(id, [&](const PhoneObject &object, const PhoneIdentity &) {
        matches = format == wpd::WPD_OBJECT_FORMAT_ALL || object.format == format;
        return S_OK;
    });
    if (FAILED(hr)) return hr;
    if (matches) ids->push_back(id);
    if (level == depth) return S_OK;
    std::vector<std::wstring> children;
    hr = phone.Children(id, &children);
    for (std::size_t i = 0; SUCCEEDED(hr) && i < children.size(); ++i) {
        hr = CollectOfFormat(phone, format, children[i], level + 1, depth, ids);
        if (hr == kObjectNotFound) hr = S_OK;  // gone meanwhile
    }
    return hr;
}

}  // namespace

HRESULT ObjectsOfFormat(Phone &phone, const GUID &format, const std::wstring &parentId, DWORD depth,
                        std::vector<std::wstring> *ids) {
    if (!parentId.empty()) return CollectOfFormat(phone, format, parentId, 0, depth, ids);
    if (depth == 0) return S_OK;
    return CollectOfFormat(phone, format, wpd::WPD_DEVICE_OBJECT_ID, 1, depth, ids);
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
