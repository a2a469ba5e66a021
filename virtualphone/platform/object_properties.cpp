#include "virtualphone/platform/object_properties.h"

#include "device/wpd_api.h"
#include "virtualphone/platform/com_out.h"
#include "win/unique_any.h"

#include <wrl/client.h>

#include <algorithm>

namespace vphone {
namespace {

using Microsoft::WRL::ComPtr;

bool Lacks(const PhoneObject &object, const PROPERTYKEY &key) {
    return std::any_of(object.absent.begin(), object.absent.end(), [&](const auto &k) { return SameKey(k, key); });
}

HRESULT GuidVariant(const GUID &guid, PROPVARIANT *out) {
    out->puuid = static_cast<CLSID *>(CoTaskMemAlloc(sizeof(CLSID)));
    if (!out->puuid) return E_OUTOFMEMORY;
    *out->puuid = guid;
    out->vt = VT_CLSID;
    return S_OK;
}

HRESULT BoolVariant(bool value, PROPVARIANT *out) {
    out->vt = VT_BOOL;
    out->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT BigVariant(std::uint64_t value, PROPVARIANT *out) {
    out->vt = VT_UI8;
    out->uhVal.QuadPart = value;
    return S_OK;
}

HRESULT ReferencesVariant(const std::vector<std::wstring> &ids, PROPVARIANT *out) {
    ComPtr<IPortableDevicePropVariantCollection> collection;
    HRESULT hr = NewPropVariants(&collection);
    for (const std::wstring &id : ids) {
        if (FAILED(hr)) return hr;
        PROPVARIANT item;
        hr = StringVariant(id, &item);
        if (SUCCEEDED(hr)) hr = collection->Add(&item);
        PropVariantClear(&item);
    }
    if (FAILED(hr)) return hr;
    out->vt = VT_UNKNOWN;
    out->punkVal = collection.Detach();
    return S_OK;
}

const std::wstring *DeviceText(const PhoneIdentity &identity, const PROPERTYKEY &key) {
    if (SameKey(key, wpd::WPD_DEVICE_MANUFACTURER)) return &identity.manufacturer;
    if (SameKey(key, wpd::WPD_DEVICE_MODEL)) return &identity.model;
    if (SameKey(key, wpd::WPD_DEVICE_SERIAL_NUMBER)) return &identity.serialNumber;
    if (SameKey(key, wpd::WPD_DEVICE_FRIENDLY_NAME)) return &identity.friendlyName;
    return nullptr;
}

HRESULT DateVariant(double date, PROPVARIANT *out) {
    out->vt = VT_DATE;
    out->date = date;
    return S_OK;
}

// The phone's clock runs with the host's.
double Now() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    double date = 0;
    SystemTimeToVariantTime(&now, &date);
    return date;
}

HRESULT FixedProperty(const PhoneObject &object, const PhoneIdentity &identity, const PROPERTYKEY &key,
                      const PropertyRules &rules, PROPVARIANT *out) {
    const bool device = object.kind == ObjectKind::Device;
    const bool storage = object.kind == ObjectKind::Storage;
    const bool hasData = object.kind == ObjectKind::File || object.kind == ObjectKind::Playlist;
    if (SameKey(key, wpd::WPD_OBJECT_ID)) return StringVariant(object.id, out);
    if (SameKey(key, wpd::WPD_OBJECT_PARENT_ID)) return StringVariant(object.parentId, out);
    if (SameKey(key, wpd::WPD_OBJECT_NAME)) return StringVariant(device ? identity.friendlyName : object.name, out);
    if (SameKey(key, wpd::WPD_OBJECT_PERSISTENT_UNIQUE_ID) && !device) return StringVariant(object.persistentId, out);
    if (SameKey(key, wpd::WPD_OBJECT_FORMAT)) return GuidVariant(object.format, out);
    if (SameKey(key, wpd::WPD_OBJECT_CONTENT_TYPE)) return GuidVariant(object.contentType, out);
    if (SameKey(key, wpd::WPD_OBJECT_ISHIDDEN) && !device) return BoolVariant(object.hidden, out);
    if (SameKey(key, wpd::WPD_OBJECT_CAN_DELETE) && !device) return BoolVariant(object.canDelete, out);
    if (SameKey(key, wpd::WPD_OBJECT_DATE_MODIFIED) && !device) return DateVariant(object.dateModified, out);
    if (SameKey(key, wpd::WPD_OBJECT_SIZE) && hasData) return BigVariant(object.Size(), out);
    if (SameKey(key, wpd::WPD_OBJECT_ORIGINAL_FILE_NAME) && !object.originalFileName.empty()) {
        return StringVariant(object.originalFileName, out);
    }
    if (SameKey(key, wpd::WPD_OBJECT_REFERENCES) && object.kind == ObjectKind::Playlist && !rules.referencesRefused) {
        // Android's responder keeps no references: it answers every playlist with an empty list.
        if (rules.profile.emptyReferenceLists) return ReferencesVariant({}, out);
        if (object.references) return ReferencesVariant(*object.references, out);
    }
    if (SameKey(key, wpd::WPD_STORAGE_CAPACITY) && storage) return BigVariant(object.capacity, out);
    if (SameKey(key, wpd::WPD_STORAGE_FREE_SPACE_IN_BYTES) && storage) {
        return BigVariant(object.Free(), out);
    }
    if (const std::wstring *text = device ? DeviceText(identity, key) : nullptr) return StringVariant(*text, out);
    if (device && SameKey(key, wpd::WPD_DEVICE_DATETIME) && rules.profile.deviceDateTime) return DateVariant(Now(), out);
    return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
}

}  // namespace

PropertyRules RulesOf(Phone &phone) { return {phone.Profile(), phone.Controls().ReferencesRefused()}; }

std::vector<PROPERTYKEY> ObjectKeys(const PhoneObject &object, const PropertyRules &rules) {
    static constexpr PROPERTYKEY kCandidates[] = {
        wpd::WPD_OBJECT_ID,          wpd::WPD_OBJECT_PARENT_ID,     wpd::WPD_OBJECT_NAME,
        wpd::WPD_OBJECT_PERSISTENT_UNIQUE_ID, wpd::WPD_OBJECT_FORMAT, wpd::WPD_OBJECT_CONTENT_TYPE,
        wpd::WPD_OBJECT_ISHIDDEN,    wpd::WPD_OBJECT_CAN_DELETE,    wpd::WPD_OBJECT_DATE_MODIFIED,
        wpd::WPD_OBJECT_SIZE,        wpd::WPD_OBJECT_ORIGINAL_FILE_NAME, wpd::WPD_OBJECT_REFERENCES,
        wpd::WPD_STORAGE_CAPACITY,   wpd::WPD_STORAGE_FREE_SPACE_IN_BYTES, wpd::WPD_DEVICE_MANUFACTURER,
        wpd::WPD_DEVICE_MODEL,       wpd::WPD_DEVICE_SERIAL_NUMBER, wpd::WPD_DEVICE_FRIENDLY_NAME,
        wpd::WPD_DEVICE_DATETIME,
    };
    // Which fixed keys an object has is decided by FixedProperty alone, so ask it with a probe.
    std::vector<PROPERTYKEY> keys;
    const PhoneIdentity probeIdentity;
    for (const PROPERTYKEY &key : kCandidates) {
        PROPVARIANT probe;
        PropVariantInit(&probe);
        if (!Lacks(object, key) && SUCCEEDED(FixedProperty(object, probeIdentity, key, rules, &probe))) {
            keys.push_back(key);
        }
        PropVariantClear(&probe);
    }
    for (const auto &[key, value] : object.extra) {
        if (!Lacks(object, key)) keys.push_back(key);
    }
    return keys;
}

HRESULT ObjectProperty(const PhoneObject &object, const PhoneIdentity &identity, const PROPERTYKEY &key,
                       const PropertyRules &rules, PROPVARIANT *value) {
    PropVariantInit(value);
    if (Lacks(object, key)) return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    for (const auto &[extraKey, extraValue] : object.extra) {
        if (SameKey(extraKey, key)) return extraValue.CopyTo(value);
    }
    return FixedProperty(object, identity, key, rules, value);
}

HRESULT WriteObjectProperty(PhoneObject &object, PhoneIdentity &identity, const PROPERTYKEY &key,
                            const PROPVARIANT &value) {
    for (auto &[extraKey, extraValue] : object.extra) {
        if (!SameKey(extraKey, key)) continue;
        if (extraValue.Get().vt != value.vt) return DISP_E_TYPEMISMATCH;
        extraValue = PropertyValue(value);
        return S_OK;
    }
    const bool device = object.kind == ObjectKind::Device;
    std::wstring *text = nullptr;
    if (device && SameKey(key, wpd::WPD_DEVICE_FRIENDLY_NAME)) text = &identity.friendlyName;
    if (!device && SameKey(key, wpd::WPD_OBJECT_NAME)) text = &object.name;
    if (text) {
        if (value.vt != VT_LPWSTR || !value.pwszVal) return DISP_E_TYPEMISMATCH;
        *text = value.pwszVal;
        return S_OK;
    }
    if (!device && SameKey(key, wpd::WPD_OBJECT_ISHIDDEN)) {
        if (value.vt != VT_BOOL) return DISP_E_TYPEMISMATCH;
        object.hidden = value.boolVal != VARIANT_FALSE;
        return S_OK;
    }
    if (!device && SameKey(key, wpd::WPD_OBJECT_DATE_MODIFIED)) {
        if (value.vt != VT_DATE) return DISP_E_TYPEMISMATCH;
        object.dateModified = value.date;
        return S_OK;
    }
    // Vendor device properties are the phone's to keep, whatever their code.
    if (device && key.fmtid == wpd::WPD_PROPERTIES_MTP_VENDOR_EXTENDED_DEVICE_PROPS) {
        object.extra.emplace_back(key, PropertyValue(value));
        return S_OK;
    }
    return E_ACCESSDENIED;
}

bool CanWriteProperty(const PhoneObject &object, const PhoneIdentity &identity, const PROPERTYKEY &key,
                      const PropertyRules &rules) {
    if (SameKey(key, wpd::WPD_OBJECT_ORIGINAL_FILE_NAME)) {
        return rules.profile.renamesByFileName && object.kind != ObjectKind::Device && object.kind != ObjectKind::Storage;
    }
    // Writable when its value written back to a copy is taken.
    win::UniquePropVariant value;
    if (FAILED(ObjectProperty(object, identity, key, rules, value.put()))) return false;
    PhoneObject objectCopy = object;
    PhoneIdentity identityCopy = identity;
    return SUCCEEDED(WriteObjectProperty(objectCopy, identityCopy, key, *value));
}

}  // namespace vphone
