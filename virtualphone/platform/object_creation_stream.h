// The stream of CreateObjectWithPropertiesAndData: the data goes into a data file of the phone's, and
// the object exists only once Commit has checked that all the announced bytes came, unless the phone's
// profile shows uploads at once: then the object is there, empty, until Commit gives it its data or a
// client deletes it.
#pragma once

#include "virtualphone/platform/data_stream_base.h"
#include "virtualphone/platform/phone_method.h"

#include <memory>
#include <mutex>
#include <string>

namespace vphone {

class ObjectCreationStream final : public DataStreamBase<ObjectCreationStream> {
public:
    // object: the new object without its data (with its id when the phone holds it already); size: the
    // bytes announced in WPD_OBJECT_SIZE.
    ObjectCreationStream(std::shared_ptr<Phone> phone, PhoneObject object, std::uint64_t size, DataFile file) noexcept;
    ~ObjectCreationStream();

    HRESULT STDMETHODCALLTYPE Read(void *buffer, ULONG count, ULONG *read) noexcept override;
    HRESULT STDMETHODCALLTYPE Write(const void *buffer, ULONG count, ULONG *written) noexcept override;
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER *position) noexcept override;
    HRESULT STDMETHODCALLTYPE Commit(DWORD flags) noexcept override;
    HRESULT STDMETHODCALLTYPE Revert() noexcept override;
    HRESULT STDMETHODCALLTYPE Stat(STATSTG *stat, DWORD flags) noexcept override;
    HRESULT STDMETHODCALLTYPE GetObjectID(LPWSTR *objectId) noexcept override;
    HRESULT STDMETHODCALLTYPE Cancel() noexcept override;

private:
    enum class State { Open, Committed, Abandoned };
    void Abandon() noexcept;
    // Appends the bytes of one Write to the object's data file.
    HRESULT Store(const void *buffer, ULONG count, ULONG *written);

    ConnectedPhone phone_;
    std::mutex mutex_;
    PhoneObject object_;
    std::uint64_t size_;
    DataFile file_;
    std::uint64_t written_ = 0;
    State state_ = State::Open;
};

}  // namespace vphone
