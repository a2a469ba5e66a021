// The read stream of an object's data or thumbnail: reads straight from the data source into the
// caller's buffer, in the sizes the phone's controls allow.
#pragma once

#include "virtualphone/platform/data_stream_base.h"
#include "virtualphone/platform/phone_method.h"

#include <memory>
#include <string>

namespace vphone {

class ObjectReadStream final : public DataStreamBase<ObjectReadStream> {
public:
    ObjectReadStream(std::shared_ptr<Phone> phone, std::wstring objectId, DataPtr data,
                     std::unique_ptr<DataReader> reader) noexcept
        : phone_(std::move(phone)), objectId_(std::move(objectId)), data_(std::move(data)), reader_(std::move(reader)) {}

    HRESULT STDMETHODCALLTYPE Read(void *buffer, ULONG count, ULONG *read) noexcept override;
    HRESULT STDMETHODCALLTYPE Write(const void *buffer, ULONG count, ULONG *written) noexcept override;
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER *position) noexcept override;
    HRESULT STDMETHODCALLTYPE Commit(DWORD flags) noexcept override;
    HRESULT STDMETHODCALLTYPE Revert() noexcept override;
    HRESULT STDMETHODCALLTYPE Stat(STATSTG *stat, DWORD flags) noexcept override;
    HRESULT STDMETHODCALLTYPE GetObjectID(LPWSTR *objectId) noexcept override;
    HRESULT STDMETHODCALLTYPE Cancel() noexcept override;

private:
    ConnectedPhone phone_;
    std::wstring objectId_;
    DataPtr data_;  // keeps the bytes readable even if the object goes meanwhile
    std::unique_ptr<DataReader> reader_;
    std::uint64_t position_ = 0;
};

}  // namespace vphone
