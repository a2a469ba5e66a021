#include "virtualphone/platform/object_creation_stream.h"

#include "virtualphone/platform/com_out.h"
#include "virtualphone/platform/wpd_errors.h"

namespace vphone {

ObjectCreationStream::ObjectCreationStream(std::shared_ptr<Phone> phone, PhoneObject object, std::uint64_t size,
                                           DataFile file) noexcept
    : phone_(std::move(phone)), object_(std::move(object)), size_(size), file_(std::move(file)) {}

ObjectCreationStream::~ObjectCreationStream() { Abandon(); }

void ObjectCreationStream::Abandon() noexcept {
    if (state_ != State::Open) return;
    state_ = State::Abandoned;
    file_.handle.reset();
    DeleteFileW(file_.path.c_str());
}

HRESULT STDMETHODCALLTYPE ObjectCreationStream::Read(void *, ULONG, ULONG *read) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceDataStream::Read", {object_.name}, [&]() -> HRESULT {
        if (read) *read = 0;
        return STG_E_ACCESSDENIED;
    });
}

HRESULT STDMETHODCALLTYPE ObjectCreationStream::Write(const void *buffer, ULONG count, ULONG *written) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceDataStream::Write", {object_.name, NumberArg(count)},
                          [&]() -> HRESULT {
        if (written) *written = 0;
        if (!buffer) return STG_E_INVALIDPOINTER;
        // The bytes cross the cable whether the phone keeps them or not; it stores them as they come.
        const LONGLONG began = Link::Now();
        const HRESULT hr = Store(buffer, count, written);
        phone_->Controls().Cable().ChargeBytes(count, began);
        return hr;
    });
}

HRESULT ObjectCreationStream::Store(const void *buffer, ULONG count, ULONG *written) {
    std::lock_guard lock(mutex_);
    if (state_ != State::Open) return STG_E_REVERTED;
    // An MTP object is sent with its size announced: more bytes than that are refused.
    if (count > size_ - written_) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    DWORD done = 0;
    if (!WriteFile(file_.handle.get(), buffer, count, &done, nullptr)) return HRESULT_FROM_WIN32(GetLastError());
    written_ += done;
    if (written) *written = done;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ObjectCreationStream::Seek(LARGE_INTEGER move, DWORD origin,
                                                     ULARGE_INTEGER *position) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceDataStream::Seek", {object_.name}, [&]() -> HRESULT {
        // Data is sent in order: only asking where the stream stands is possible.
        if (move.QuadPart != 0 || origin != STREAM_SEEK_CUR) return STG_E_INVALIDFUNCTION;
        std::lock_guard lock(mutex_);
        if (position) position->QuadPart = written_;
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE ObjectCreationStream::Commit(DWORD) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceDataStream::Commit", {object_.name}, [&]() -> HRESULT {
        std::lock_guard lock(mutex_);
        if (state_ == State::Committed) return S_OK;
        if (state_ != State::Open) return STG_E_REVERTED;
        if (written_ != size_) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
        // The data file is the phone's from here, whether it keeps the object or not. An object the
        // phone showed from its creation on gets its data; any other appears now.
        state_ = State::Abandoned;
        const HRESULT hr = phone_->AddWithData(object_, std::move(file_), written_, &object_.id);
        if (FAILED(hr)) return hr;
        state_ = State::Committed;
        phone_->Controls().Record("created", object_.id + L", " + object_.name + L", " + NumberArg(written_) +
                                                 L" bytes");
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE ObjectCreationStream::Revert() noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceDataStream::Revert", {object_.name}, [&]() -> HRESULT {
        if (!phone_->Profile().revertsUploads) return E_NOTIMPL;
        std::lock_guard lock(mutex_);
        if (state_ == State::Committed) return STG_E_INVALIDFUNCTION;
        Abandon();
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE ObjectCreationStream::Stat(STATSTG *stat, DWORD flags) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceDataStream::Stat", {object_.name}, [&]() -> HRESULT {
        return FillStat(stat, flags, object_.name, size_, STGM_WRITE);
    });
}

HRESULT STDMETHODCALLTYPE ObjectCreationStream::GetObjectID(LPWSTR *objectId) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceDataStream::GetObjectID", {object_.name},
                          [&]() -> HRESULT {
        if (!objectId) return E_POINTER;
        *objectId = nullptr;
        std::lock_guard lock(mutex_);
        if (state_ != State::Committed) return kObjectNotCommitted;
        return CopyToTaskMem(object_.id, objectId);
    });
}

HRESULT STDMETHODCALLTYPE ObjectCreationStream::Cancel() noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceDataStream::Cancel", {object_.name}, [&]() -> HRESULT {
        std::lock_guard lock(mutex_);
        Abandon();
        return S_OK;
    });
}

}  // namespace vphone
