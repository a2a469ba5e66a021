#include "virtualphone/platform/portable_device_content.h"

#include "virtualphone/platform/com_out.h"
#include "virtualphone/platform/new_object.h"
#include "virtualphone/platform/object_creation_stream.h"
#include "virtualphone/platform/object_id_enumerator.h"
#include "virtualphone/platform/portable_device_properties.h"
#include "virtualphone/platform/portable_device_resources.h"

#include <wrl/client.h>

#include <atomic>

namespace vphone {

using Microsoft::WRL::ComPtr;

HRESULT STDMETHODCALLTYPE PortableDeviceContent::EnumObjects(const DWORD, LPCWSTR parentObjectId,
                                                              IPortableDeviceValues *,
                                                              IEnumPortableDeviceObjectIDs **enumerator) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceContent::EnumObjects", {Arg(parentObjectId)},
                          [&]() -> HRESULT {
        if (!parentObjectId || !enumerator) return E_POINTER;
        *enumerator = nullptr;
        auto ids = std::make_shared<std::vector<std::wstring>>();
        const HRESULT hr = phone_->Children(parentObjectId, ids.get());
        if (FAILED(hr)) return hr;
        return HandOut(ObjectIdEnumerator::Create(phone_.Shared(), std::move(ids)), IID_PPV_ARGS(enumerator));
    });
}

HRESULT STDMETHODCALLTYPE PortableDeviceContent::Properties(IPortableDeviceProperties **properties) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceContent::Properties", {}, [&]() -> HRESULT {
        if (!properties) return E_POINTER;
        *properties = nullptr;
        return HandOut(PortableDeviceProperties::Create(phone_.Shared()), IID_PPV_ARGS(properties));
    });
}

HRESULT STDMETHODCALLTYPE PortableDeviceContent::Transfer(IPortableDeviceResources **resources) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceContent::Transfer", {}, [&]() -> HRESULT {
        if (!resources) return E_POINTER;
        *resources = nullptr;
        return HandOut(PortableDeviceResources::Create(phone_.Shared()), IID_PPV_ARGS(resources));
    });
}

HRESULT STDMETHODCALLTYPE PortableDeviceContent::CreateObjectWithPropertiesOnly(IPortableDeviceValues *values,
                                                                                LPWSTR *objectId) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceContent::CreateObjectWithPropertiesOnly", {},
                          [&]() -> HRESULT {
        if (objectId) *objectId = nullptr;
        PhoneObject object;
        std::uint64_t size = 0;
        HRESULT hr = NewObjectFromValues(*phone_, values, false, &object, &size);
        if (FAILED(hr)) return hr;
        std::wstring id;
        hr = phone_->Add(std::move(object), &id);
        if (FAILED(hr)) return hr;
        if (objectId && FAILED(hr = CopyToTaskMem(id, objectId))) {
            phone_->Delete(id, true);  // a failed call leaves nothing behind
            return hr;
        }
        phone_->Controls().Record("created", id);
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE PortableDeviceContent::CreateObjectWithPropertiesAndData(IPortableDeviceValues *values,
                                                                                   IStream **data,
                                                                                   DWORD *optimalWriteBufferSize,
                                                                                   LPWSTR *cookie) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceContent::CreateObjectWithPropertiesAndData", {},
                          [&]() -> HRESULT {
        if (!data) return E_POINTER;
        *data = nullptr;
        if (cookie) *cookie = nullptr;
        PhoneObject object;
        std::uint64_t size = 0;
        HRESULT hr = NewObjectFromValues(*phone_, values, true, &object, &size);
        if (FAILED(hr)) return hr;
        hr = phone_->CheckNewObject(object, size);
        if (FAILED(hr)) return hr;

        // A phone that shows uploads at once has the object from here on, refusals included.
        if (phone_->Profile().uploadsVisibleAtOnce) {
            PhoneObject unfinished = object;
            unfinished.data = BytesData({});
            hr = phone_->Add(std::move(unfinished), &object.id);
            if (FAILED(hr)) return hr;
        }
        DataFile file;
        hr = phone_->NewDataFile(&file);
        if (FAILED(hr)) return hr;
        ComPtr<IStream> stream;
        hr = HandOut(ObjectCreationStream::Create(phone_.Shared(), std::move(object), size, std::move(file)),
                     IID_PPV_ARGS(&stream));
        if (FAILED(hr)) return hr;
        if (cookie) {
            static std::atomic<unsigned> cookies{0};
            hr = CopyToTaskMem(L"create-" + NumberArg(++cookies), cookie);
            if (FAILED(hr)) return hr;
        }
        if (optimalWriteBufferSize) *optimalWriteBufferSize = phone_->Controls().WriteTransferSize();
        *data = stream.Detach();
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE PortableDeviceContent::Delete(const DWORD options,
                                                         IPortableDevicePropVariantCollection *objectIds,
                                                         IPortableDevicePropVariantCollection **results) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceContent::Delete", {NumberArg(options)}, [&]() -> HRESULT {
        if (results) *results = nullptr;
        if (!objectIds) return E_POINTER;
        if (options != wpd::PORTABLE_DEVICE_DELETE_NO_RECURSION && options != wpd::PORTABLE_DEVICE_DELETE_WITH_RECURSION) {
            return E_INVALIDARG;
        }
        ComPtr<IPortableDevicePropVariantCollection> outcome;
        HRESULT hr = NewPropVariants(&outcome);
        if (FAILED(hr)) return hr;
        DWORD count = 0;
        hr = objectIds->GetCount(&count);
        if (FAILED(hr)) return hr;
        HRESULT firstFailure = S_OK;
        DWORD failures = 0;
        DWORD partial = 0;
        for (DWORD i = 0; i < count; ++i) {
            win::UniquePropVariant id;
            hr = objectIds->GetAt(i, id.get());
            if (FAILED(hr)) return hr;
            const HRESULT deleted = id->vt == VT_LPWSTR && id->pwszVal
                                        ? phone_->Delete(id->pwszVal, options == wpd::PORTABLE_DEVICE_DELETE_WITH_RECURSION)
                                        : E_INVALIDARG;
            phone_->Controls().Record("deleted", std::wstring(id->vt == VT_LPWSTR ? Arg(id->pwszVal) : L"(not a string)") +
                                                     L", " + HresultArg(deleted));
            if (FAILED(deleted) && failures++ == 0) firstFailure = deleted;
            if (deleted == S_FALSE) ++partial;
            PROPVARIANT result;
            PropVariantInit(&result);
            result.vt = VT_ERROR;
            // A folder that kept some of its contents could not go itself.
            result.scode = deleted == S_FALSE ? HRESULT_FROM_WIN32(ERROR_DIR_NOT_EMPTY) : deleted;
            hr = outcome->Add(&result);
            if (FAILED(hr)) return hr;
        }
        if (results) *results = outcome.Detach();
        if (failures == 0 && partial == 0) return S_OK;
        return failures == count ? firstFailure : S_FALSE;
    });
}

HRESULT STDMETHODCALLTYPE PortableDeviceContent::GetObjectIDsFromPersistentUniqueIDs(
    IPortableDevicePropVariantCollection *, IPortableDevicePropVariantCollection **objectIds) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceContent::GetObjectIDsFromPersistentUniqueIDs", {},
                          [&]() -> HRESULT {
        if (objectIds) *objectIds = nullptr;
        return E_NOTIMPL;
    });
}

HRESULT STDMETHODCALLTYPE PortableDeviceContent::Cancel() noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceContent::Cancel", {}, []() -> HRESULT { return S_OK; });
}

HRESULT STDMETHODCALLTYPE PortableDeviceContent::Move(IPortableDevicePropVariantCollection *, LPCWSTR destination,
                                                       IPortableDevicePropVariantCollection **results) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceContent::Move", {Arg(destination)}, [&]() -> HRESULT {
        if (results) *results = nullptr;
        return E_NOTIMPL;
    });
}

HRESULT STDMETHODCALLTYPE PortableDeviceContent::Copy(IPortableDevicePropVariantCollection *, LPCWSTR destination,
                                                       IPortableDevicePropVariantCollection **results) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceContent::Copy", {Arg(destination)}, [&]() -> HRESULT {
        if (results) *results = nullptr;
        return E_NOTIMPL;
    });
}

}  // namespace vphone
