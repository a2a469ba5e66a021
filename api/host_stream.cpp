#include "api/host_stream.h"

#include <objbase.h>

HostStream::HostStream(IStream *stream) noexcept {
    if (!stream) return;
    marshalled_ = CoMarshalInterThreadInterfaceInStream(__uuidof(IStream), stream, &transport_);
    if (marshalled_ == CO_E_NOTINITIALIZED) {
        direct_ = stream;
        marshalled_ = S_OK;
    }
}

HostStream::~HostStream() {
    if (!transport_) return;
    const LARGE_INTEGER start = {};
    transport_->Seek(start, STREAM_SEEK_SET, nullptr);
    CoReleaseMarshalData(transport_.Get());
}

HRESULT HostStream::Take(Microsoft::WRL::ComPtr<IStream> &stream) noexcept {
    stream.Reset();
    if (FAILED(marshalled_)) return marshalled_;
    if (!transport_) {
        stream = direct_;
        return S_OK;
    }
    // The call releases the transport whatever its outcome.
    return CoGetInterfaceAndReleaseStream(transport_.Detach(), __uuidof(IStream),
                                          reinterpret_cast<void **>(stream.GetAddressOf()));
}
