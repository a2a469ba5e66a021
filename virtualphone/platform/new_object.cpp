#include "virtualphone/platform/new_object.h"

#include "virtualphone/platform/phone_method.h"
#include "win/unique_any.h"

#include <wrl/client.h>

namespace vphone {
namespace {

HRESULT OptionalString(IPortableDeviceValues *values, const PROPERTYKEY &key, std::wstring *text) {
    win::UniqueCoTaskMemString value;
    const HRESULT hr = values->GetStringValue(key, value.put());
    if (hr == HRESULT_FROM_WIN32(ERROR_NOT_FOUND)) return S_FALSE;
    if (FAILED(hr)) return hr;
    *text = value.get() ? value.get() : L"";
    return S_OK;
}

HRESULT References(Phone &phone, IPortableDeviceValues *values, std::optional<std::vector<std::wstring>> *ids) {
    Microsoft::WRL::ComPtr<IPortableDevicePropVariantCollection> collection;
    HRESULT hr = values->GetIPortableDevicePropVariantCollectionValue(wpd::WPD_OBJECT_REFERENCES, &collection);
    if (hr == HRESULT_FROM_WIN32(ERROR_NOT_FOUND)) return S_OK;
    if (FAILED(hr)) return hr;
    // Android's responder answers SetObjectReferences with Operation Not Supported.
    if (phone.Controls().ReferencesRefused() || phone.Profile().emptyReferenceLists) {
        return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
    }
    DWORD count = 0;
    hr = collection->GetCount(&count);
    if (FAILED(hr)) return hr;
    ids->emplace();
    for (DWORD i = 0; i < count; ++i) {
        win::UniquePropVariant item;
        hr = collection->GetAt(i, item.get());
        if (FAILED(hr)) return hr;
        if (item->vt != VT_LPWSTR || !item->pwszVal) return E_INVALIDARG;
        if (!phone.Find(item->pwszVal)) return kObjectNotFound;
        (*ids)->push_back(item->pwszVal);
    }
    return S_OK;
}

void RecordValues(Phone &phone, IPortableDeviceValues *values) {
    DWORD count = 0;
    if (FAILED(values->GetCount(&count))) return;
    std::wstring text;
    for (DWORD i = 0; i < count; ++i) {
        PROPERTYKEY key{};
        win::UniquePropVariant value;
        if (FAILED(values->GetAt(i, &key, value.get()))) continue;
        if (!text.empty()) text += L"; ";
        text += KeyArg(key) + L" = " + ValueArg(*value);
    }
    phone.Controls().Record("new object properties", std::move(text));
}

}  // namespace

HRESULT NewObjectFromValues(Phone &phone, IPortableDeviceValues *values, bool withData, PhoneObject *object,
                            std::uint64_t *size) noexcept {
    return win::GuardComMethod([&]() -> HRESULT {
        if (!values) return E_POINTER;
        RecordValues(phone, values);
        HRESULT hr = OptionalString(values, wpd::WPD_OBJECT_PARENT_ID, &object->parentId);
        if (hr != S_OK) return FAILED(hr) ? hr : E_INVALIDARG;
        const HRESULT named = OptionalString(values, wpd::WPD_OBJECT_NAME, &object->name);
        const HRESULT original = OptionalString(values, wpd::WPD_OBJECT_ORIGINAL_FILE_NAME, &object->originalFileName);
        if (FAILED(named)) return named;
        if (FAILED(original)) return original;
        if (object->name.empty() && object->originalFileName.empty()) return E_INVALIDARG;
        if (object->name.empty()) object->name = object->originalFileName;

        GUID type = wpd::WPD_CONTENT_TYPE_UNSPECIFIED;
        hr = values->GetGuidValue(wpd::WPD_OBJECT_CONTENT_TYPE, &type);
        if (FAILED(hr) && hr != HRESULT_FROM_WIN32(ERROR_NOT_FOUND)) return hr;
        if (type == wpd::WPD_CONTENT_TYPE_FUNCTIONAL_OBJECT) return E_INVALIDARG;
        // MTP knows object formats only: an object sent without a content type is kept in the
        // undefined format and reads back as a generic file, as a phone reports it.
        if (type == wpd::WPD_CONTENT_TYPE_UNSPECIFIED) type = wpd::WPD_CONTENT_TYPE_GENERIC_FILE;
        object->contentType = type;
        object->kind = type == wpd::WPD_CONTENT_TYPE_FOLDER     ? ObjectKind::Folder
                       : type == wpd::WPD_CONTENT_TYPE_PLAYLIST ? ObjectKind::Playlist
                                                                : ObjectKind::File;
        if (object->kind == ObjectKind::Folder && withData) return E_INVALIDARG;
        object->format = object->kind == ObjectKind::Folder ? wpd::MtpFormatGuid(0x3001) : wpd::WPD_OBJECT_FORMAT_UNSPECIFIED;
        hr = values->GetGuidValue(wpd::WPD_OBJECT_FORMAT, &object->format);
        if (FAILED(hr) && hr != HRESULT_FROM_WIN32(ERROR_NOT_FOUND)) return hr;

        *size = 0;
        ULONGLONG announced = 0;
        hr = values->GetUnsignedLargeIntegerValue(wpd::WPD_OBJECT_SIZE, &announced);
        if (FAILED(hr) && (withData || hr != HRESULT_FROM_WIN32(ERROR_NOT_FOUND))) return hr;
        *size = announced;

        win::UniquePropVariant date;
        if (SUCCEEDED(values->GetValue(wpd::WPD_OBJECT_DATE_MODIFIED, date.get())) && date->vt == VT_DATE) {
            object->dateModified = date->date;
        } else {
            SYSTEMTIME now;
            GetSystemTime(&now);
            SystemTimeToVariantTime(&now, &object->dateModified);
        }
        BOOL flag = FALSE;
        if (SUCCEEDED(values->GetBoolValue(wpd::WPD_OBJECT_ISHIDDEN, &flag))) object->hidden = flag != FALSE;
        if (SUCCEEDED(values->GetBoolValue(wpd::WPD_OBJECT_CAN_DELETE, &flag))) object->canDelete = flag != FALSE;
        return References(phone, values, &object->references);
    });
}

}  // namespace vphone
