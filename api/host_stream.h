// A stream of the host's, handed from the calling thread to the call's worker. An apartment-bound
// stream (one made on the host's single-threaded UI thread) may only be called from its apartment: it
// is marshalled to the worker, whose calls the calling thread serves while it pumps its messages.
#pragma once

#include <objidl.h>
#include <wrl/client.h>

class HostStream {
public:
    // On the calling thread. A thread outside COM has no apartment to marshal from; its stream is
    // passed as it is.
    explicit HostStream(IStream *stream) noexcept;
    // Releases what the worker never took.
    ~HostStream();
    HostStream(const HostStream &) = delete;
    HostStream &operator=(const HostStream &) = delete;

    // Once, on the worker: the stream to use there (null for a null stream), or the marshalling's
    // failure.
    HRESULT Take(Microsoft::WRL::ComPtr<IStream> &stream) noexcept;

private:
    HRESULT marshalled_ = S_OK;
    Microsoft::WRL::ComPtr<IStream> direct_;
    Microsoft::WRL::ComPtr<IStream> transport_;  // the marshalled stream
};
