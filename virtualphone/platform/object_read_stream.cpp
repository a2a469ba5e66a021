#include "virtualphone/platform/object_read_stream.h"

#include "virtualphone/platform/com_out.h"

#include <algorithm>

namespace vphone {

HRESULT STDMETHODCALLTYPE ObjectReadStream::Read(void *buffer, ULONG count, ULONG *read) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceDataStream::Read", {objectId_, NumberArg(count)},
                          [&]() -> HRESULT {
        if (read) *read = 0;
        if (!buffer) return STG_E_INVALIDPOINTER;
        const ULONG limit = phone_->Controls().ReadLimit();
        ULONG got = 0;
        const LONGLONG began = Link::Now();
        const HRESULT hr = reader_->Read(position_, buffer, limit ? std::min(count, limit) : count, &got);
        if (FAILED(hr)) return hr;
        phone_->Controls().Cable().ChargeBytes(got, began);
        position_ += got;
        if (read) *read = got;
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE ObjectReadStream::Write(const void *, ULONG, ULONG *written) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceDataStream::Write", {objectId_}, [&]() -> HRESULT {
        if (written) *written = 0;
        return STG_E_ACCESSDENIED;
    });
}

HRESULT STDMETHODCALLTYPE ObjectReadStream::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER *position) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceDataStream::Seek", {objectId_}, [&]() -> HRESULT {
        long long base = 0;
        switch (origin) {
            case STREAM_SEEK_SET: break;
            case STREAM_SEEK_CUR: base = static_cast<long long>(position_); break;
            case STREAM_SEEK_END: base = static_cast<long long>(data_->Size()); break;
            default: return STG_E_INVALIDFUNCTION;
        }
        if (base + move.QuadPart < 0) return STG_E_INVALIDFUNCTION;
        position_ = static_cast<std::uint64_t>(base + move.QuadPart);
        if (position) position->QuadPart = position_;
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE ObjectReadStream::Commit(DWORD) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceDataStream::Commit", {objectId_},
                          []() -> HRESULT { return S_OK; });
}

HRESULT STDMETHODCALLTYPE ObjectReadStream::Revert() noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceDataStream::Revert", {objectId_},
                          []() -> HRESULT { return S_OK; });
}

HRESULT STDMETHODCALLTYPE ObjectReadStream::Stat(STATSTG *stat, DWORD flags) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceDataStream::Stat", {objectId_}, [&]() -> HRESULT {
        return FillStat(stat, flags, objectId_, data_->Size(), STGM_READ);
    });
}

HRESULT STDMETHODCALLTYPE ObjectReadStream::GetObjectID(LPWSTR *objectId) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceDataStream::GetObjectID", {objectId_}, [&]() -> HRESULT {
        if (!objectId) return E_POINTER;
        return CopyToTaskMem(objectId_, objectId);
    });
}

HRESULT STDMETHODCALLTYPE ObjectReadStream::Cancel() noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceDataStream::Cancel", {objectId_},
                          []() -> HRESULT { return S_OK; });
}

}  // namespace vphone
