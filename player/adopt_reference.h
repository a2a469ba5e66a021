// Takes over the one reference that win::ComObject::Create hands out. mingw's ComPtr::Attach adds a
// reference of its own (WRL's does not), so an attached new object would never be freed.
#pragma once

#include <wrl/client.h>

template <class T>
Microsoft::WRL::ComPtr<T> AdoptReference(T *object) noexcept {
    Microsoft::WRL::ComPtr<T> owner;
    *owner.GetAddressOf() = object;
    return owner;
}
