// What the phone's two data streams share: the IStream members neither of them supports, and the
// base interfaces a client may ask the data stream for.
#pragma once

#include "device/wpd_api.h"
#include "virtualphone/platform/platform_object.h"

#include <cstdint>
#include <string>

namespace vphone {

template <class Derived>
class DataStreamBase : public PlatformObject<Derived, IPortableDeviceDataStream> {
public:
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) noexcept override { return STG_E_INVALIDFUNCTION; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream *, ULARGE_INTEGER, ULARGE_INTEGER *, ULARGE_INTEGER *) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) noexcept override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) noexcept override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream **stream) noexcept override {
        if (stream) *stream = nullptr;
        return E_NOTIMPL;
    }

    void *QueryBaseInterface(REFIID iid) noexcept {
        if (iid == __uuidof(IStream) || iid == __uuidof(ISequentialStream)) {
            return static_cast<IStream *>(static_cast<Derived *>(this));
        }
        return nullptr;
    }

protected:
    ~DataStreamBase() = default;
};

// Fills a STATSTG for a stream of size bytes named name (unless the caller asks for no name).
HRESULT FillStat(STATSTG *stat, DWORD flags, const std::wstring &name, std::uint64_t size, DWORD mode) noexcept;

}  // namespace vphone
