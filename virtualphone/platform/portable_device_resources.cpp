#include "virtualphone/platform/portable_device_resources.h"

#include "virtualphone/platform/com_out.h"
#include "virtualphone/platform/object_read_stream.h"

#include <wrl/client.h>

namespace vphone {

using Microsoft::WRL::ComPtr;

HRESULT STDMETHODCALLTYPE PortableDeviceResources::GetSupportedResources(LPCWSTR objectId,
                                                                         IPortableDeviceKeyCollection **keys) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceResources::GetSupportedResources", {Arg(objectId)},
                          [&]() -> HRESULT {
        if (!objectId || !keys) return E_POINTER;
        *keys = nullptr;
        ComPtr<IPortableDeviceKeyCollection> collection;
        HRESULT hr = NewKeys(&collection);
        if (FAILED(hr)) return hr;
        hr = phone_->Read(objectId, [&](const PhoneObject &object, const PhoneIdentity &) {
            HRESULT added = object.data ? collection->Add(wpd::WPD_RESOURCE_DEFAULT) : S_OK;
            if (SUCCEEDED(added) && object.thumbnail) added = collection->Add(wpd::WPD_RESOURCE_THUMBNAIL);
            return added;
        });
        if (FAILED(hr)) return hr;
        *keys = collection.Detach();
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE PortableDeviceResources::GetResourceAttributes(LPCWSTR objectId, REFPROPERTYKEY key,
                                                                         IPortableDeviceValues **attributes) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceResources::GetResourceAttributes",
                          {Arg(objectId), KeyArg(key)}, [&]() -> HRESULT {
        if (attributes) *attributes = nullptr;
        return E_NOTIMPL;
    });
}

HRESULT STDMETHODCALLTYPE PortableDeviceResources::GetStream(LPCWSTR objectId, REFPROPERTYKEY key, const DWORD mode,
                                                             DWORD *optimalBufferSize, IStream **stream) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceResources::GetStream",
                          {Arg(objectId), KeyArg(key), NumberArg(mode)}, [&]() -> HRESULT {
        if (!objectId || !stream) return E_POINTER;
        *stream = nullptr;
        if (mode != STGM_READ) return STG_E_ACCESSDENIED;  // resources are read here; objects are written on creation
        const bool thumbnail = SameKey(key, wpd::WPD_RESOURCE_THUMBNAIL);
        if (!thumbnail && !SameKey(key, wpd::WPD_RESOURCE_DEFAULT)) return E_INVALIDARG;
        DataPtr data;
        HRESULT hr = phone_->Read(objectId, [&](const PhoneObject &object, const PhoneIdentity &) {
            data = thumbnail ? object.thumbnail : object.data;
            return S_OK;
        });
        if (FAILED(hr)) return hr;
        if (!data) return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
        std::unique_ptr<DataReader> reader;
        hr = data->OpenReader(&reader);
        if (FAILED(hr)) return hr;
        hr = HandOut(ObjectReadStream::Create(phone_.Shared(), std::wstring(objectId), std::move(data), std::move(reader)),
                     IID_PPV_ARGS(stream));
        if (FAILED(hr)) return hr;
        if (optimalBufferSize) *optimalBufferSize = phone_->Controls().ReadTransferSize();
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE PortableDeviceResources::Delete(LPCWSTR objectId, IPortableDeviceKeyCollection *) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceResources::Delete", {Arg(objectId)},
                          []() -> HRESULT { return E_NOTIMPL; });
}

HRESULT STDMETHODCALLTYPE PortableDeviceResources::Cancel() noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceResources::Cancel", {}, []() -> HRESULT { return S_OK; });
}

HRESULT STDMETHODCALLTYPE PortableDeviceResources::CreateResource(IPortableDeviceValues *, IStream **data, DWORD *,
                                                                  LPWSTR *cookie) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceResources::CreateResource", {}, [&]() -> HRESULT {
        if (data) *data = nullptr;
        if (cookie) *cookie = nullptr;
        return E_NOTIMPL;
    });
}

}  // namespace vphone
